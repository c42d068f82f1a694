// What a Source measures and publishes: over each analysis period the 24 band
// levels of its mid signal and the energies of its two channels; when the
// period closes, the levels, its priority and its stereo balance go into the
// slot it holds, and its level curve into the meters. The measuring loop is
// defined here so that it inlines into the Source path's loop.
//
// Threads: the audio thread, apart from reset while audio is stopped.
#pragma once

#include "engine/band_levels.h"
#include "engine/biquad.h"
#include "engine/filter_banks.h"
#include "engine/vector_clones.h"
#include "link/peer_registry.h"

#include <cstdint>

namespace ostrel
{

struct EngineMeters;

class SourceStage
{
public:
    // A new period (or role, or sample rate): the sums start from nothing.
    void reset() { sums_.reset(); }

    // n samples of the running period. A non-finite sample counts as
    // silence in every measurement. lowpass splits the mid signal into the
    // band edges' cumulative energies.
    OSTREL_INLINE_IN_CLONES void measure(const double* in0, const double* in1, int n,
                                         LowpassBank& lowpass)
    {
        measure(in0, in1, n, lowpass, [](int) {});
    }
    // The same, with alongside(t) run in the same loop after sample t is
    // measured: independent work that fills the recursion's wait.
    template <class Alongside>
    OSTREL_INLINE_IN_CLONES void measure(const double* in0, const double* in1, int n,
                                         LowpassBank& lowpass, Alongside&& alongside)
    {
        double midEnergy = 0.0;
        double energy0 = 0.0;
        double energy1 = 0.0;
        for (int t = 0; t < n; ++t)
        {
            const double a0 = analysedSample(in0[t]);
            const double a1 = analysedSample(in1[t]);
            const double mid = (a0 + a1) * 0.5;
            lowpass.accumulate(mid, sums_.cumulative);
            midEnergy += mid * mid;
            energy0 += a0 * a0;
            energy1 += a1 * a1;
            alongside(t);
        }
        sums_.midEnergy += midEnergy;
        sums_.energy0 += energy0;
        sums_.energy1 += energy1;
        sums_.count += n;
    }

    // The closed period: its band levels and balance published into `slot`
    // (only while this instance holds it, under the slot's level counter)
    // with the period's start and the priority; the level curve and the
    // slot's holder count into the meters whether or not the slot is held.
    void publishPeriod(PeerRegistry& registry, PeerLink& link, int slot, int64_t periodStart,
                       int32_t priority, double sampleRate, EngineMeters& meters) const;

    // --- read-only queries --------------------------------------------------
    // Samples measured in the running period.
    int measuredSamples() const { return sums_.count; }
    // The running period's band levels (linear RMS of the mid signal).
    void levels(float out[kBandCount]) const;
    // +1 all left, -1 all right, 0 for silence; sums that overflowed say nothing.
    double balance() const;

private:
    // The reference paths measure sample by sample into the same sums.
    friend struct SourceStageProbe;

    MidLevelSums sums_;
};

} // namespace ostrel
