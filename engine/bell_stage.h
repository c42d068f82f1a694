// The four dynamic bells of a Masker/Self instance as one stage: their
// filters, envelopes, gates and gains, and their lookahead line. The engine
// sets a chunk up per bell, runs it sample by sample (lanes on the
// Masker/Self path, one release step on the release and Source paths) and
// reads the dip meters. The per-sample calls are defined here so that they
// inline into the paths' loops.
//
// Threads: everything runs on the audio thread, apart from reset (main
// thread, audio stopped) and dipDb (the idle thread, relaxed).
#pragma once

#include "engine/band_gates.h"
#include "engine/bell_lanes.h"
#include "engine/dynamic_bells.h"
#include "engine/vector_clones.h"

#include <atomic>

namespace ostrel
{

class BellStage
{
public:
    // Full reset at sampleRate: every bell unset and neutral, the lookahead
    // line silent. Main thread, audio stopped.
    void reset(double sampleRate);

    // A start from rest: gains 1.0, gates closed (the filters carry on).
    void settle();
    // Entering Masker/Self from another path. A bell at rest stood still and
    // holds old audio: it starts afresh, keeping its glided frequency and Q.
    // A bell still releasing ran on: only its envelopes and gates restart,
    // its gains glide on.
    void freshen(double sampleRate);

    // Block-rate set-up of bell b for a chunk of n samples (and the start of
    // its dip meter's chunk): see setupBellChunk.
    void setupChunk(int b, double freqHz, double q, double depthPercent, bool active,
                    const double centreHz[kBandCount], int n, double sampleRate, BellChunk& out)
    {
        setupBellChunk(bells_[b], freqHz, q, depthPercent, active, centreHz, n, sampleRate, out);
        beginBellMeter(bells_[b]);
    }
    // End of the meters' chunk: each bell's mean dip in dB.
    void finishMeters();

    // The Masker/Self path's chunk: the bells' state is loaded into lanes,
    // stepped once per sample, and stored back.
    void loadLanes(BellLanes& lanes, const BellChunk chunks[kBellCount])
    {
        lanes.load(bells_, chunks);
    }
    OSTREL_INLINE_IN_CLONES void stepLanes(BellLanes& lanes, double in0, double in1, int readPos,
                                           int writePos, bool primed, double glideCoef,
                                           double levelDecay, double& sub0, double& sub1)
    {
        lanes.step(delay_, in0, in1, readPos, writePos, primed, glideCoef, levelDecay, sub0, sub1);
    }
    // The same, each lane's removed part left in removed (BellLanes::stepRemoved).
    OSTREL_INLINE_IN_CLONES void stepLanes(BellLanes& lanes, double in0, double in1, int readPos,
                                           int writePos, bool primed, double glideCoef,
                                           double levelDecay, double removed[kBellLanes])
    {
        lanes.stepRemoved(delay_, in0, in1, readPos, writePos, primed, glideCoef, levelDecay,
                          removed);
    }
    // A lane's lookahead-delayed signal at a line position (what Bell Listen
    // hears of it).
    double delayed(int readPos, int lane) const { return delay_.lanes[readPos][lane]; }
    void storeLanes(const BellLanes& lanes) { lanes.store(bells_); }

    // One sample on the release and Source paths: the filters and the
    // lookahead line keep running, the gains glide toward 1.0 and what they
    // still remove is added to sub0/sub1.
    void releaseSample(double in0, double in1, int readPos, int writePos, double glideCoef,
                       double& sub0, double& sub1)
    {
        for (int b = 0; b < kBellCount; ++b)
            bellReleaseStep(bells_[b], b, delay_, in0, in1, readPos, writePos, glideCoef, sub0,
                            sub1);
    }

    // --- read-only queries -------------------------------------------------
    // Whether every bell is fully at rest (both gains exactly 1.0).
    bool atRest() const;
    bool atRest(int b) const { return bellAtRest(bells_[b]); }
    // The gain a bell applies on a channel (1.0 = no dip).
    double gain(int b, int channel) const
    {
        return channel == 0 ? bells_[b].bellGain0 : bells_[b].bellGain1;
    }
    // A bell's glided frequency in Hz; negative while unset.
    float glidedFrequency(int b) const { return bells_[b].bellFreqSmoothed; }
    // "bellDip": the last chunk's mean applied dip in dB (0 when none). Any
    // thread (relaxed).
    float dipDb(int b) const { return bells_[b].bellDipMeter.load(std::memory_order_relaxed); }

private:
    // The reference paths of the tests drive the bells a bell at a time
    // (the loops as they were before the lanes) and seed states.
    friend struct BellStageProbe;

    DynamicBell bells_[kBellCount];
    BellDelayLine delay_;
};

} // namespace ostrel
