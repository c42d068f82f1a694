// Listen (the output crossfades toward what the dips remove) and Bell Listen
// (toward one bell's signal), each with a 20 ms crossfade. The Masker/Self
// path follows the parameters; the release path only lets Listen glide out.
// The per-sample steps are defined here so that they inline into the paths'
// loops.
//
// Threads: the audio thread, apart from reset (main thread, audio stopped).
#pragma once

#include "engine/glide.h"
#include "engine/stft_frame_engine.h"
#include "engine/vector_clones.h"

#include <cstdint>

namespace ostrel
{

// The crossfades' state.
struct ListenState
{
    double listenMix = 0.0;
    double bellListenMix = 0.0;
    // Bell Listen follows its selection when the bell's signal leaves the
    // spectral stage, kStftSize samples after it was asked for.
    int32_t bellListenAsked = -1;           // the selection as it stands
    int32_t bellListenAskedAge = kStftSize; // samples since it last changed
    int32_t lastBellListen = -1;            // the selection the output now hears
    int32_t bellListenFed = -1;             // the bell whose signal enters the spectral stage
};

class ListenStage
{
public:
    // Both crossfades at rest, Listen where its parameter stands.
    void reset(bool listenOn)
    {
        l_ = ListenState{};
        l_.listenMix = listenOn ? 1.0 : 0.0;
    }
    // Leaving the Masker/Self path: Bell Listen stops at once.
    void resetBellListen()
    {
        l_.bellListenMix = 0.0;
        l_.bellListenAsked = -1;
        l_.bellListenAskedAge = kStftSize;
        l_.lastBellListen = -1;
        l_.bellListenFed = -1;
    }
    // Listen is still heard (its crossfade is not at rest).
    bool listenHeard() const { return l_.listenMix > 0.0; }

    // Bell Listen's selection as the output hears it: a bell's signal leaves
    // the spectral stage kStftSize samples after it entered, so the crossfade
    // follows the selection that late. Returns the bell whose signal enters
    // the stage now (kept while a crossfade away from it still plays).
    OSTREL_INLINE_IN_CLONES int stepBellSelection(int asked)
    {
        if (asked != l_.bellListenAsked)
        {
            l_.bellListenAsked = asked;
            l_.bellListenAskedAge = 0;
        }
        if (l_.bellListenAskedAge < kStftSize && ++l_.bellListenAskedAge == kStftSize)
            l_.lastBellListen = l_.bellListenAsked;
        if (asked >= 0)
            l_.bellListenFed = asked;
        else if (l_.bellListenAskedAge >= kStftSize && l_.bellListenMix == 0.0)
            l_.bellListenFed = -1;
        return l_.bellListenFed;
    }

    // Listen (toward what is removed) and Bell Listen (toward the heard bell).
    OSTREL_INLINE_IN_CLONES void mix(double glideCoef, const StftSample& s, double listenTarget,
                                     double& o0, double& o1)
    {
        l_.listenMix += (listenTarget - l_.listenMix) * glideCoef;
        if (listenTarget == 0.0 && l_.listenMix < 1e-6)
            l_.listenMix = 0.0;
        else if (listenTarget == 1.0 && l_.listenMix > 0.999999)
            l_.listenMix = 1.0;
        if (l_.listenMix > 0.0)
        {
            o0 += l_.listenMix * (s.removed0 - o0);
            o1 += l_.listenMix * (s.removed1 - o1);
        }

        if (l_.lastBellListen >= 0)
        {
            l_.bellListenMix += (1.0 - l_.bellListenMix) * glideCoef;
        }
        else
        {
            l_.bellListenMix -= l_.bellListenMix * glideCoef;
            if (l_.bellListenMix < 1e-6)
                l_.bellListenMix = 0.0;
        }
        if (l_.bellListenMix > 0.0)
        {
            o0 += l_.bellListenMix * (s.bell0 - o0);
            o1 += l_.bellListenMix * (s.bell1 - o1);
        }
    }

    // The release path: Listen glides out.
    void release(double glideCoef, const StftSample& s, double& o0, double& o1)
    {
        l_.listenMix = glideToZero(l_.listenMix, glideCoef);
        if (l_.listenMix > 0.0)
        {
            o0 += l_.listenMix * (s.removed0 - o0);
            o1 += l_.listenMix * (s.removed1 - o1);
        }
    }

private:
    ListenState l_;
    friend struct ListenStageProbe;
};

} // namespace ostrel
