// The masking of the Masker (role 2) and Self (role 3) path as one stage:
// where the source's levels come from and how fresh they are, the block-rate
// decisions of each analysis period (spread, prominence, target gains, the
// guards, the stereo link, the gates' set-ups), and sample by sample the band
// envelopes, the period's sums and the band gates that turn the decisions
// into the gains applied. The engine begins and closes each period and runs
// the stage's sample steps inside its own loop; the per-sample calls are
// defined here so that they inline into that loop.
//
// Threads: everything runs on the audio thread, apart from reset (main
// thread, audio stopped).
#pragma once

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/band_tables.h"
#include "engine/engine_settings.h"
#include "engine/engine_state.h"
#include "engine/filter_banks.h"
#include "engine/masker_period.h"
#include "engine/masking_gate_lanes.h"
#include "engine/period_coefficients.h"
#include "engine/vector_clones.h"
#include "link/peer_registry.h"

#include <algorithm>
#include <cstdint>

namespace ostrel
{

class BellStage;

// What a period's block-rate work reads and writes around the stage.
struct MaskingContext
{
    const SettingsSnapshot& settings;
    const BandTables& tables;
    PeerRegistry& registry;
    PeerLink& link;
    EngineMeters& meters;
    // The bells take their chunk's set-up from the period's decisions.
    BellStage& bells;
    int length;       // samples in the period
    int64_t startPos; // host position of its first sample, -1 when unknown
    // The input the dip meters compare with reaches back far enough (the
    // mid band ring is kept only while an editor shows the meters).
    bool dipInputHeld = true;
};

class MaskingStage
{
public:
    // Full reset: no source known, every gate closed at 1.0, the statistics,
    // smoothed targets and the period's state cleared. Main thread.
    void reset();
    // Another registry: nothing recorded about a source there holds.
    void forgetSource() { tracking_.reset(); }
    // A role or bypass change: the gates close and continue from the gains
    // in use (a dip in progress glides on), the held source levels and the
    // smoothed targets start afresh, and so does the period.
    void changeRole(const BandGains& gains);
    // Entering the path from another: the others do not follow the band
    // envelopes, so the gates start from silence.
    void freshen();
    // A start from rest: the lookahead refills before anything is gated.
    void startFromRest() { gates_.warmupCount = 0; }

    // --- block rate (engine/masker_decisions.cpp) ----------------------------
    // Which meters start measuring with a period (their filters then start
    // from silence).
    struct MeterStarts
    {
        bool own = false;  // this track's own level ("mask")
        bool dips = false; // the dip meters (their output band filters)
    };
    // The period's set-up, before its first sample.
    MeterStarts beginPeriod(const MaskingContext& ctx, int64_t hostSamplePos, bool transportRunning,
                            bool sidechainConnected);
    // The period closes, after its last sample.
    void closePeriod(const MaskingContext& ctx);

    // --- a slice ---------------------------------------------------------
    // Measures the slice's local source (the sidechain, or Self's own input)
    // and, while it is metered, this track's own level. side0 may be null
    // (a sidechain gone mid-period counts as silence), side1 too (mono).
    OSTREL_INLINE_IN_CLONES void measureSlice(LowpassBank& analysis, LowpassBank& own,
                                              const double* in0, const double* in1,
                                              const double* side0, const double* side1, int n)
    {
        MaskerPeriod& p = period_;
        if (p.decision.localSource)
        {
            if (p.decision.sidechainSource)
            {
                if (side0 != nullptr)
                    accumulateMidLevels(analysis, side0, side1 != nullptr ? side1 : side0, n,
                                        p.localSums);
                else
                    p.localSums.count += n;
            }
            else
                accumulateMidLevels(analysis, in0, in1, n, p.localSums);
        }
        if (p.ownMetered)
            accumulateMidLevels(own, in0, in1, n, p.ownSums);
    }

    // The slot this instance holds in the period (-1: none).
    int heldSlot() const { return period_.decision.holdsSlot ? period_.decision.heldSlot : -1; }
    // The bells' set-ups of the period.
    const BellChunk* bellChunks() const { return period_.bells; }
    // The dip meters measure this period.
    bool dipMetered() const { return period_.dipMetered != 0; }
    // The output's band signals are followed this period (dipMetered, or
    // about to be).
    bool dipsFiltered() const { return period_.dipsFiltered != 0; }

    // The chunk's gates as lanes, and back.
    void loadGates(BandGateLanes& lanes) const { lanes.load(period_.gates, gates_); }
    // Storing also chooses how the next chunk's steps take their ramp
    // logarithms (gatherRamps).
    void storeGates(const BandGateLanes& lanes)
    {
        lanes.store(gates_);
        rampGathering_.update(lanes);
    }
    // The next chunk's steps gather their ramping lanes
    // (stepGates<RampPass::Gathered>).
    bool gatherRamps() const { return rampGathering_.gathers(); }

    // --- a sample --------------------------------------------------------
    // Counts the sample toward the lookahead's refill: true once it is full
    // (the gates then step).
    bool advanceWarmup(int lookahead)
    {
        const bool primed = gates_.warmupCount >= lookahead;
        if (!primed)
            ++gates_.warmupCount;
        return primed;
    }
    // The period's stereo sums and the band envelopes: straight arithmetic
    // over all bands that the compiler can vectorise.
    OSTREL_INLINE_IN_CLONES void follow(const BandTables& tables, const double x0[kBandCount],
                                        const double x1[kBandCount])
    {
        MaskerPeriod& p = period_;
        for (int m = 0; m < kBandCount; ++m)
        {
            p.sumCross[m] += x0[m] * x1[m];
            p.sumSquare0[m] += x0[m] * x0[m];
            p.sumSquare1[m] += x1[m] * x1[m];
            followEnvelope(gates_.bandEnvelope0[m], x0[m], tables.bandAttack[0][m],
                           tables.bandRelease[0][m]);
            followEnvelope(gates_.bandEnvelope1[m], x1[m], tables.bandAttack[1][m],
                           tables.bandRelease[1][m]);
        }
    }
    // Gates, glides and the stereo link of the bands that still move, into
    // the band gains. kPass: the vector version's, or Gathered where
    // gatherRamps chose it for the chunk (the output is the same any way).
    template <RampPass kPass = RampPass::WideGroups>
    OSTREL_INLINE_IN_CLONES void stepGates(BandGateLanes& lanes, GateRuns& runs, BandGains& gains,
                                           const BandTables& tables)
    {
        if (runs.from() >= runs.to())
            return;
        // All bands with bounds known to the compiler: whole vectors.
        if (runs.all())
            stepBandGates<kPass>(gates_, lanes, gains, stereo_, tables, 0, kBandCount);
        else
            stepBandGates<kPass>(gates_, lanes, gains, stereo_, tables, runs.from(), runs.to());
        runs.update(lanes, gates_, gains);
    }
    // The dip meters' sums (while dipMetered): the input's mid band signals
    // as the spectral stage sees them, the larger channel dip of each band,
    // and the output's band signals.
    OSTREL_INLINE_IN_CLONES void meterInput(const double mid[kBandCount])
    {
        for (int m = 0; m < kBandCount; ++m)
            period_.meterSums.inEnergy[m] += mid[m] * mid[m];
    }
    OSTREL_INLINE_IN_CLONES void meterDips(const BandGains& gains)
    {
        MaskingMeterSums& sums = period_.meterSums;
        for (int m = 0; m < kBandCount; ++m)
        {
            const double v = std::max(1.0 - gains.bandGain[0][m], 1.0 - gains.bandGain[1][m]);
            const bool dipped = v > 1e-6;
            sums.dipSum[m] += dipped ? v : 0.0;
            sums.dipCount[m] += dipped ? 1 : 0;
        }
    }
    OSTREL_INLINE_IN_CLONES void meterOutput(const double band[kBandCount])
    {
        for (int m = 0; m < kBandCount; ++m)
            period_.meterSums.outEnergy[m] += band[m] * band[m];
    }

    // --- read-only queries -------------------------------------------------
    bool gateOpen(int channel, int band) const
    {
        return (channel == 0 ? gates_.gateOpen0[band] : gates_.gateOpen1[band]) != 0;
    }
    double gateAmount(int channel, int band) const
    {
        return channel == 0 ? gates_.gateAmount0[band] : gates_.gateAmount1[band];
    }
    // The gate's own gain, before the stereo link.
    double gateGain(int channel, int band) const
    {
        return channel == 0 ? gates_.gateGain0[band] : gates_.gateGain1[band];
    }
    double envelope(int channel, int band) const
    {
        return channel == 0 ? gates_.bandEnvelope0[band] : gates_.bandEnvelope1[band];
    }
    // Samples counted toward the lookahead's refill (at most the lookahead).
    int warmupCount() const { return gates_.warmupCount; }
    double stereoLink(int band) const { return stereo_.stereoLink[band]; }
    double linkRatio(int band) const { return stereo_.linkRatio[band]; }
    // The smoothed block-rate target gain of a band.
    double blockGain(int band) const { return targets_.blockGain[band]; }
    // The source's level of a band as peak-held.
    double heldSourceLevel(int band) const { return tracking_.heldSourceLevel[band]; }
    // The gain curve shared with the other Maskers of the Source.
    float sharedGain(int band) const { return tracking_.sharedGains[band]; }
    // Periods since the source last published (counts up to kStaleCount).
    int32_t periodsSinceSourceUpdate() const { return tracking_.chunksSinceSourceUpdate; }
    // The Source's publications recorded for alignment: the next entry
    // written, and the host position entry i ends at (-1: empty).
    int32_t sourceHistoryWritePos() const { return tracking_.historyWritePos; }
    int64_t sourceHistoryEnd(int i) const { return tracking_.sourceHistory[i].position; }

private:
    // Adds a slice's mid signal to a period's band-level sums, as the Source
    // path measures its own.
    OSTREL_INLINE_IN_CLONES static void accumulateMidLevels(LowpassBank& bank, const double* a,
                                                            const double* b, int n,
                                                            MidLevelSums& sums)
    {
        double total = 0.0;
        for (int t = 0; t < n; ++t)
        {
            const double mid = (analysedSample(a[t]) + analysedSample(b[t])) * 0.5;
            bank.accumulate(mid, sums.cumulative);
            total += mid * mid;
        }
        sums.midEnergy += total;
        sums.count += n;
    }

    // The reference paths of the tests step the gates a band at a time (the
    // loops as they were before the lanes), and tests seed states.
    friend struct MaskingStageProbe;

    SourceTracking tracking_;
    MaskingState targets_;
    StereoStatistics stereo_;
    GateState gates_;
    MaskerPeriod period_;
    // Worked out from the period's length and the rate alone: a reset leaves it.
    PeriodCoefficientCache coefficients_;
    // A choice of speed only, following the signal: a reset leaves it.
    RampGathering rampGathering_;
};

} // namespace ostrel
