// The Masker (role 2) and Self (role 3) path of processChunk, per sample: the
// band filters, the masking stage's envelopes and gates, the bells, the
// time-domain removal of the four lowest bands and the hand-off of the others
// to the spectral stage, Listen and Bell Listen. The masking stage's
// block-rate half, at each analysis period's start and end, is
// engine/masker_decisions.cpp.
//
// Audio thread only: no allocation, no lock, bounded registry reads.
#include "engine/bell_lanes.h"
#include "engine/engine_parts.h"
#include "engine/masking_stage.h"
#include "engine/vector_clones.h"

namespace ostrel
{
namespace
{

// The dip meter reads the mid band line a spectral frame behind the lookahead.
static_assert(kLookaheadSamples + kStftSize < DelayLines::kMidBandRing);

// The four lowest bands are removed here in the time domain (added to
// sub0/sub1); the others are left to the spectral stage.
OSTREL_INLINE_IN_CLONES void removeLowBands(const BandGains& gains, const double* delayed0,
                                            const double* delayed1, double& sub0, double& sub1)
{
    for (int m = 0; m < kTimeDomainBands; ++m)
    {
        sub0 += delayed0[m] * (1.0 - gains.bandGain[0][m]);
        sub1 += delayed1[m] * (1.0 - gains.bandGain[1][m]);
    }
}

} // namespace

template <bool kGatherRamps>
OSTREL_VECTOR_BODY void
EngineParts::processMaskerChunkBody(const double* in0, const double* in1, double* out0,
                                    double* out1, int n, int64_t hostSamplePos,
                                    bool transportRunning, const double* side0, const double* side1)
{
    if (n <= 0)
        return;
    const bool fromRest = path.leaveRest();
    refillStftRings();
    if (period.starts())
        beginMaskerPeriod(hostSamplePos, transportRunning, side0 != nullptr);

    // A start from rest: the delay lines refill before anything is gated.
    if (fromRest)
    {
        masking.startFromRest();
        bells.settle();
    }

    // The local source of the next period's decisions.
    masking.measureSlice(filters.analysis(), filters.ownLevel(), in0, in1, side0, side1, n);

    // Listen: the parameter, or the link matrix's solo of this instance's slot.
    const int heldSlot = masking.heldSlot();
    const bool soloed = heldSlot >= 0 && isSlotSoloed(*registry, heldSlot);
    const double listenTarget = (chunkSettings.listen != 0 || soloed) ? 1.0 : 0.0;
    const int bellListenSetting =
        (chunkSettings.bellListen >= 0 && chunkSettings.bellListen < kBellCount)
            ? chunkSettings.bellListen
            : -1;

    const BandTables& tables = filters.tables();
    BandGateLanes gateLanes;
    masking.loadGates(gateLanes);
    // Gates that none may open (where the source is quiet) release, and once
    // at rest they stay there for the chunk.
    GateRuns gateRuns(gateLanes);
    BellLanes bellLanes;
    bells.loadLanes(bellLanes, masking.bellChunks());
    alignas(kLaneAlign) double x0[kBandCount];
    alignas(kLaneAlign) double x1[kBandCount];
    alignas(kLaneAlign) double outBand[kBandCount];
    // The gates' steps gather their ramping lanes or not, as chosen for the
    // chunk: a test that always goes one way in it, and none in a version
    // that never gathers. Else they take groups of the version's width.
    const bool gatherRamps = kGatherRamps && masking.gatherRamps();
    constexpr RampPass kRampGroups = kGatherRamps ? RampPass::NarrowGroups : RampPass::WideGroups;
    const int lookahead = delays.lookaheadDelay;
    for (int t = 0; t < n; ++t)
    {
        const double a0 = in0[t];
        const double a1 = in1[t];
        const int w = delays.delayWritePos;
        const auto [r, d0, d1] = delays.exchangeDry(a0, a1);
        const bool primed = masking.advanceWarmup(lookahead);

        // The bells first: their chain of filter, envelope, gate and glide is
        // long and needs nothing else of the sample, so it runs alongside the
        // band work that follows. What they remove is added after the lowest
        // bands, as before.
        alignas(kLaneAlign) double bellRemoved[kBellLanes];
        bells.stepLanes(bellLanes, a0, a1, r, w, primed, tables.glideCoef, tables.levelDecay,
                        bellRemoved);

        filters.splitInput(0, a0, x0);
        filters.splitInput(1, a1, x1);
        const double* delayed0 = delays.lowBands(r, 0);
        const double* delayed1 = delays.lowBands(r, 1);
        masking.follow(tables, x0, x1);
        // The dip meter compares with the input as the spectral stage sees it.
        if (masking.dipMetered())
            masking.meterInput(delays.midBands(r + kDelayLength - kStftSize));

        // Gates, glides and the stereo link, once the lookahead has filled.
        if (primed)
        {
            if (gatherRamps)
                masking.stepGates<RampPass::Gathered>(gateLanes, gateRuns, gains, tables);
            else
                masking.stepGates<kRampGroups>(gateLanes, gateRuns, gains, tables);
        }

        double sub0 = 0.0;
        double sub1 = 0.0;
        removeLowBands(gains, delayed0, delayed1, sub0, sub1);
        if (masking.dipMetered())
            masking.meterDips(gains);
        delays.writeBands(w, x0, x1);

        // The signal Bell Listen hands to the spectral stage.
        const int bellFed = listening.stepBellSelection(primed ? bellListenSetting : -1);
        double bellSignal0 = 0.0;
        double bellSignal1 = 0.0;
        if (primed)
        {
            BellLanes::addRemoved(bellRemoved, sub0, sub1);
            if (bellFed >= 0)
            {
                bellSignal0 = bells.delayed(r, bellLane(bellFed, 0));
                bellSignal1 = bells.delayed(r, bellLane(bellFed, 1));
            }
        }
        delays.delayWritePos = (w + 1) % kDelayLength;

        if (stft.nextStepCompletesHop())
            gains.handToSpectralStage();
        const StftSample s = stft.step(d0, d1, sub0, sub1, bellSignal0, bellSignal1,
                                       gains.stftBandGain[0], gains.stftBandGain[1]);

        if (masking.dipsFiltered())
        {
            filters.splitOutput(0.5 * (s.out0 + s.out1), outBand);
            if (masking.dipMetered())
                masking.meterOutput(outBand);
        }

        double o0 = s.out0;
        double o1 = s.out1;
        listening.mix(tables.glideCoef, s, listenTarget, o0, o1);
        out0[t] = finiteOrAlignedDry(o0, s.dry0);
        out1[t] = finiteOrAlignedDry(o1, s.dry1);
    }
    masking.storeGates(gateLanes);
    bells.storeLanes(bellLanes);

    if (period.closesWith(n))
        closeMaskerPeriod();
}

void EngineParts::processMaskerChunk(const double* in0, const double* in1, double* out0,
                                     double* out1, int n, int64_t hostSamplePos,
                                     bool transportRunning, const double* side0,
                                     const double* side1)
{
    OSTREL_VECTOR_DISPATCH_BY_WIDTH(
        processMaskerChunkBody<false>(in0, in1, out0, out1, n, hostSamplePos, transportRunning,
                                      side0, side1),
        processMaskerChunkBody<true>(in0, in1, out0, out1, n, hostSamplePos, transportRunning,
                                     side0, side1));
}

void EngineParts::beginMaskerPeriod(int64_t hostSamplePos, bool transportRunning,
                                    bool sidechainConnected)
{
    // The dip meters read the mid band ring a whole latency back: it is
    // written while an editor shows them, and they measure once it is full.
    delays.keepMidBands(meters.wanted.load(std::memory_order_relaxed) != 0);
    MaskingContext ctx = maskingContext();
    ctx.dipInputHeld = delays.midBandsHeld(kLookaheadSamples + kStftSize);
    const MaskingStage::MeterStarts starts =
        masking.beginPeriod(ctx, hostSamplePos, transportRunning, sidechainConnected);
    // A meter that starts measuring starts from silence.
    if (starts.own)
        filters.clearOwnLevelState();
    if (starts.dips)
        filters.clearOutputState();
}

void EngineParts::closeMaskerPeriod()
{
    masking.closePeriod(maskingContext());
}

} // namespace ostrel
