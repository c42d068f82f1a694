// The block-rate half of the masking stage, once per analysis period: at its
// start, where the source levels come from and how they line up in time, the
// source's masking spread, the instance's own levels and their prominence, one
// target gain per band and the gate and bell set-ups; at its end, stereo
// statistics, meters and the local source's levels.
//
// Audio thread only: no allocation, no lock, bounded registry reads.
#include "engine/masking_stage.h"

#include <algorithm>
#include <cmath>

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/bell_stage.h"
#include "engine/engine_role.h"
#include "engine/gate_threshold_powers.h"
#include "engine/masking_gain_law.h"
#include "engine/masking_guards.h"
#include "engine/masking_meters.h"
#include "engine/masking_prominence.h"
#include "engine/masking_spread.h"
#include "engine/period_coefficients.h"
#include "engine/shared_gains.h"
#include "engine/stereo_link.h"
#include "link/monotonic_clock.h"

namespace ostrel
{
namespace
{

void countUpTo(int32_t& counter)
{
    if (counter < kStaleCount)
        ++counter;
}

// Closes the local source's period: its band levels become the source of the
// next period's decisions.
void closeLocalSource(const MidLevelSums& sums, double levels[kBandCount])
{
    float closed[kBandCount];
    bandLevelsFromEnergies(sums.cumulative, sums.midEnergy, sums.count, closed);
    for (int k = 0; k < kBandCount; ++k)
        levels[k] = std::isfinite(closed[k]) ? closed[k] : 0.0;
}

// The Source's levels of the period that ended when this one (n samples
// from hostSamplePos) starts: every publication since the last period is
// taken from the slot's history into the engine's own, which is then
// searched; a Source that ran a whole host block ahead is met where this
// instance is. Without such levels (the Source has just started, or the
// transport jumped) the Source counts as silent for this period, as it
// does for a host that runs this instance first: what it hears never
// depends on which instance the host runs first.
const float* alignedSourceLevels(SourceTracking& tracking, const PeerSlot& source,
                                 int64_t hostSamplePos, int n)
{
    const uint64_t count = publicationCount(source);
    // Another Source, or a new holder of its slot (its count started over):
    // nothing recorded so far describes it.
    if (&source != tracking.publishedSlot || count < tracking.publishedSeen)
    {
        clearSourceHistory(tracking.sourceHistory, tracking.historyWritePos);
        tracking.publishedSlot = &source;
        tracking.publishedSeen = 0;
    }
    noteChunkPosition(tracking.sourceHistory, tracking.historyWritePos, tracking.lastBlockEnd,
                      hostSamplePos - n, n);
    uint64_t from = tracking.publishedSeen;
    if (count - from > static_cast<uint64_t>(kLevelHistorySize))
        from = count - kLevelHistorySize;
    for (uint64_t i = from; i < count; ++i)
    {
        float levels[kBandCount];
        int64_t end = -1;
        if (readPublishedLevels(source, i, levels, &end))
            recordSourceLevels(tracking.sourceHistory, tracking.historyWritePos, levels, end);
    }
    tracking.publishedSeen = count;
    const float* use =
        sourceLevelsEndingBy(tracking.sourceHistory, tracking.historyWritePos, hostSamplePos);
    static constexpr float kSilent[kBandCount] = {};
    return use != nullptr ? use : kSilent;
}

// Which source this period follows, its level vector (aligned in time,
// peak-held) and the "linked", "peers" and "src" meters. Fills c's source
// fields and src; when the Source's publications are used, `published`
// receives them as read (before the peak hold) and the result is true.
bool selectSource(const MaskingContext& ctx, SourceTracking& tracking,
                  const double localLevels[kBandCount], const PeerSlot& tgt, int n,
                  int64_t hostSamplePos, bool transportRunning, bool sidechainConnected,
                  const PeriodCoefficients& coefficients, MaskingDecision& c,
                  double src[kBandCount], float published[kBandCount])
{
    const bool self = ctx.settings.role == kRoleSelf;
    const SourceState target = readSourceState(tgt);
    if (target.levelSeq != tracking.sourceSeenSeq)
    {
        tracking.sourceSeenSeq = target.levelSeq;
        tracking.chunksSinceSourceUpdate = 0;
    }
    else
    {
        countUpTo(tracking.chunksSinceSourceUpdate);
    }
    const bool sourceFresh =
        static_cast<double>(tracking.chunksSinceSourceUpdate) * n < 1.5 * ctx.tables.sampleRate;
    const bool sidechain = ctx.settings.sidechainOn != 0 && sidechainConnected;
    const bool local = sidechain || self;
    c.localSource = local;
    c.sidechainSource = sidechain && !self;
    c.sourceLive = local || target.sourceHolds;
    const bool useRegistry = !local && target.sourceHolds && sourceFresh;

    ctx.meters.linked.store(c.sourceLive ? 1 : 0, std::memory_order_relaxed);
    ctx.meters.peersMeter.store(local ? 1 : holderCountOf(tgt), std::memory_order_relaxed);

    if (local)
    {
        // The last closed period's measurement.
        for (int k = 0; k < kBandCount; ++k)
            src[k] = localLevels[k];
    }
    else
    {
        float levels[kBandCount];
        int64_t srcEnd = -1;
        readLevels(tgt, levels, nullptr, &srcEnd);
        const float* use = levels;
        // The levels of the Source's period that ended when this one starts.
        if (useRegistry && transportRunning && srcEnd >= 0 && hostSamplePos >= 0)
            use = alignedSourceLevels(tracking, tgt, hostSamplePos, n);
        for (int k = 0; k < kBandCount; ++k)
        {
            src[k] = useRegistry ? use[k] : -1.0;
            published[k] = useRegistry ? use[k] : 0.0f;
        }
    }
    for (int k = 0; k < kBandCount; ++k)
        src[k] = std::max(0.0, src[k]);
    smoothLevelMeter(ctx.meters.srcEnergy, src, coefficients.levelMeterStep, ctx.meters.srcMeter);

    // Peak hold: instant attack, 100 ms release.
    const double holdDecay = coefficients.holdDecay;
    for (int k = 0; k < kBandCount; ++k)
    {
        tracking.heldSourceLevel[k] = std::max(holdDecay * tracking.heldSourceLevel[k], src[k]);
        src[k] = tracking.heldSourceLevel[k];
    }
    return useRegistry;
}

// The instance's own levels, from the band envelopes as they stand now.
void ownLevels(const GateState& gates, double own[kBandCount])
{
    for (int k = 0; k < kBandCount; ++k)
        own[k] = std::sqrt(0.5 * (gates.bandEnvelope0[k] + gates.bandEnvelope1[k]) + kLevelFloor);
}

// A Masker that holds a slot shares the room its Source leaves with the
// other Maskers of that Source: all of them compute the same curve from the
// publications that ended by this period's start.
bool takeSharedGains(const MaskingContext& ctx, SourceTracking& tracking, const MaskingDecision& c,
                     bool fromRegistry, const float published[kBandCount], int64_t hostSamplePos,
                     bool transportRunning)
{
    if (!c.holdsSlot || !fromRegistry)
        return false;
    const int64_t periodStart = transportRunning && hostSamplePos >= 0 ? hostSamplePos : -1;
    sharedGainCurve(ctx.registry, slotOfChannelIndex(ctx.settings.channelIndex), periodStart,
                    published, monotonicMs(), tracking.sharedGains);
    return true;
}

// The block-rate half, at the start of a period of n samples: source
// selection and alignment, spread, own levels and publication, prominence,
// guards, shared gains, balance and targets.
// The stage's state the block-rate work reads and writes.
struct StageState
{
    SourceTracking& tracking;
    MaskingState& targets;
    StereoStatistics& stereo;
    GateState& gates;
    MaskerPeriod& period;
    const PeriodCoefficients& coefficients;
};

void computeMaskingChunk(const MaskingContext& ctx, const StageState& st, int n,
                         int64_t hostSamplePos, bool transportRunning, bool sidechainConnected,
                         MaskingDecision& c)
{
    PeerRegistry& registry = ctx.registry;
    const bool self = ctx.settings.role == kRoleSelf;
    const PeerSlot& tgt = registry.slots[slotOfChannelIndex(ctx.settings.channelIndex)];
    c.heldSlot = heldSlot(registry, ctx.link);
    c.holdsSlot = c.heldSlot >= 0;

    double src[kBandCount];
    float published[kBandCount];
    const bool fromRegistry =
        selectSource(ctx, st.tracking, st.period.localLevels, tgt, n, hostSamplePos,
                     transportRunning, sidechainConnected, st.coefficients, c, src, published);

    // Masking spread (Self replaces it with its own neighbourhood below).
    if (!self)
        computeMaskingSpread(src, ctx.tables.centreHz, ctx.tables.bandWeight,
                             layoutSpreadGeometry(), c.spread);

    // Depth after mute, thresholds.
    double depthDb = ctx.settings.depthScaleDb;
    if (c.holdsSlot && isSlotMuted(registry, c.heldSlot))
        depthDb = 0.0;
    c.thresholds =
        chunkThresholds(self, ctx.settings.selectivity, depthDb, ctx.settings.depthBiasDb);

    double own[kBandCount];
    ownLevels(st.gates, own);

    // Neighbour median and prominence; Self masks with its own neighbourhood.
    double median[kBandCount];
    computeProminence(own, median, c.prominenceDb);
    if (self)
    {
        double peakW = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            c.spread.maskSpread[k] = median[k];
            c.spread.weightedSpread[k] = median[k] * ctx.tables.bandWeight[k];
            peakW = std::max(peakW, c.spread.weightedSpread[k]);
        }
        c.spread.spreadFloor = std::max(1e-6, 1e-3 * peakW);
    }

    // Guards, attack and release.
    updateGuardWeights(ctx.settings.lowGuardHz, ctx.settings.highGuardHz, ctx.tables.edgeHz,
                       GuardWeightsRef{st.targets.lastLowGuardHz, st.targets.lastHighGuardHz,
                                       st.targets.lowGuardWeight, st.targets.highGuardWeight});
    const ChunkSmoothing& smoothing = st.coefficients.smoothing;
    const bool useShared = takeSharedGains(ctx, st.tracking, c, fromRegistry, published,
                                           hostSamplePos, transportRunning);

    // Stereo balance mismatch with the Source.
    double mismatch = 0.0;
    if (c.holdsSlot && c.sourceLive)
    {
        double p0 = 0.0;
        double p1 = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            p0 += st.stereo.bandEnergy0[k];
            p1 += st.stereo.bandEnergy1[k];
        }
        mismatch = balanceMismatch(balanceOf(tgt), p0, p1);
    }

    // Target gain per band.
    for (int k = 0; k < kBandCount; ++k)
    {
        BandTargetInputs in;
        in.sourceLive = c.sourceLive;
        in.useShared = useShared;
        in.maskSpread = c.spread.maskSpread[k];
        in.own = own[k];
        in.sharedGain = st.tracking.sharedGains[k];
        in.mismatch = mismatch;
        const double u = bandTargetGain(k, in, c.thresholds);
        c.targetGain[k] =
            smoothAndGuard(u, st.targets.blockGain[k], smoothing, c.thresholds.depthFloor,
                           st.targets.lowGuardWeight[k], st.targets.highGuardWeight[k]);
    }
}

GateSetupInputs gateInputsOfBand(const MaskingDecision& c, int band, double amountDivisor,
                                 double targetGain)
{
    GateSetupInputs in;
    in.sourceLive = c.sourceLive;
    in.maskSpread = c.spread.maskSpread[band];
    in.weightedSpread = c.spread.weightedSpread[band];
    in.spreadFloor = c.spread.spreadFloor;
    in.prominenceDb = c.prominenceDb[band];
    in.prominenceThresholdDb = c.thresholds.prominenceThresholdDb;
    in.openThresholdDb = c.thresholds.openThresholdDb;
    in.closeThresholdDb = c.thresholds.closeThresholdDb;
    in.amountDivisor = amountDivisor;
    in.targetGain = targetGain;
    return in;
}

} // namespace

// The period's block-rate set-up: decisions, stereo link from the smoothed
// coherence of the closed periods, gate and bell set-ups, and empty sums.
MaskingStage::MeterStarts MaskingStage::beginPeriod(const MaskingContext& ctx,
                                                    int64_t hostSamplePos, bool transportRunning,
                                                    bool sidechainConnected)
{
    MaskerPeriod& p = period_;
    const int n = ctx.length;
    const PeriodCoefficients& coefficients = coefficients_.of(n, ctx.tables.sampleRate);
    computeMaskingChunk(ctx,
                        StageState{tracking_, targets_, stereo_, gates_, period_, coefficients}, n,
                        hostSamplePos, transportRunning, sidechainConnected, p.decision);

    // A Masker measures its own track for the "mask" meter only while an
    // editor shows it (Self has it already: its source is its own input);
    // the dip meters likewise.
    const bool editorShown = ctx.meters.wanted.load(std::memory_order_relaxed) != 0;
    const bool ownMetered = editorShown && ctx.settings.role == kRoleMasker;
    MeterStarts starts;
    starts.own = ownMetered && !p.ownMetered;
    p.ownMetered = ownMetered;
    starts.dips = editorShown && !p.dipsFiltered;
    p.dipsFiltered = editorShown;
    p.dipMetered = editorShown && ctx.dipInputHeld;
    const MaskingDecision& c = p.decision;

    const ChunkThresholds& th = c.thresholds;
    const GateThresholdPowers bandPowers =
        gateThresholdPowers(th.openThresholdDb, th.closeThresholdDb, th.bandAmountDivisor);
    const GateThresholdPowers bellPowers =
        th.bellAmountDivisor == th.bandAmountDivisor
            ? bandPowers
            : gateThresholdPowers(th.openThresholdDb, th.closeThresholdDb, th.bellAmountDivisor);
    for (int m = 0; m < kBandCount; ++m)
    {
        const StereoLinkBand link = stereoLinkFromStatistics(
            stereo_.bandCross[m], stereo_.bandEnergy0[m], stereo_.bandEnergy1[m]);
        stereo_.stereoLink[m] = link.stereoLink;
        stereo_.linkRatio[m] = link.linkRatio;
        if (stereo_.stereoLink[m] > 0.6)
        {
            const uint8_t either = (gates_.gateOpen0[m] || gates_.gateOpen1[m]) ? 1 : 0;
            gates_.gateOpen0[m] = either;
            gates_.gateOpen1[m] = either;
        }
        p.gates[m] = makeGateSetup(gateInputsOfBand(c, m, th.bandAmountDivisor, c.targetGain[m]),
                                   bandPowers);
    }

    for (int b = 0; b < kBellCount; ++b)
    {
        BellChunk& bell = p.bells[b];
        ctx.bells.setupChunk(b, ctx.settings.bellFreqHz[b], ctx.settings.bellQ[b],
                             ctx.settings.bellDepthPercent[b], ctx.settings.bellActive[b] != 0,
                             ctx.tables.centreHz, n, ctx.tables.sampleRate, bell);
        // Judged against its nearest band, with the bell's floor as the gain at full amount.
        bell.gate = makeGateSetup(
            gateInputsOfBand(c, bell.nearest, th.bellAmountDivisor, bell.floor), bellPowers);
    }
    p.resetSums();
    return starts;
}

namespace
{

// Adds a smoothed statistic's new period mean, unless the period's sum
// overflowed (a huge sample must not poison it for good).
void smoothStatistic(double& value, double sum, int n, double k)
{
    const double mean = sum / n;
    if (std::isfinite(mean))
        value += k * (mean - value);
}

// A Masker that holds a slot publishes its levels as the period ends, with
// the period's end position and its balance: the other Maskers of its
// Source count them from their next period on, whichever runs first.
void publishOwnLevels(const MaskingContext& ctx, const GateState& gates)
{
    const int n = ctx.length;
    double own[kBandCount];
    ownLevels(gates, own);
    PeerRegistry& registry = ctx.registry;
    beginLevels(registry, ctx.link);
    for (int k = 0; k < kBandCount; ++k)
        writeLevel(registry, ctx.link, k, static_cast<float>(own[k]));
    // Without a host position the end reads as unknown (-1), never as a
    // position near the start.
    const int64_t start = ctx.startPos >= 0 ? ctx.startPos : -1 - int64_t{n};
    publishBlock(registry, ctx.link, start, n);
    double e0 = 0.0;
    double e1 = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        e0 += gates.bandEnvelope0[k];
        e1 += gates.bandEnvelope1[k];
    }
    publishBalance(registry, ctx.link, static_cast<float>((e0 - e1) / (e0 + e1 + 1e-20)));
}

} // namespace

// The period closes: bell meters, stereo statistics, band meters and the
// local source's levels.
void MaskingStage::closePeriod(const MaskingContext& ctx)
{
    MaskerPeriod& p = period_;
    const int n = ctx.length;
    EngineMeters& meters = ctx.meters;
    ctx.bells.finishMeters();

    const PeriodCoefficients& coefficients = coefficients_.of(n, ctx.tables.sampleRate);
    const double k = coefficients.statisticStep;
    for (int m = 0; m < kBandCount; ++m)
    {
        smoothStatistic(stereo_.bandCross[m], p.sumCross[m], n, k);
        smoothStatistic(stereo_.bandEnergy0[m], p.sumSquare0[m], n, k);
        smoothStatistic(stereo_.bandEnergy1[m], p.sumSquare1[m], n, k);
    }

    float dips[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
    {
        dips[m] = dipMeterDb(p.meterSums.outEnergy[m], p.meterSums.inEnergy[m]);
        meters.dipMeter[m].store(dips[m], std::memory_order_relaxed);
    }
    meters.touchedCount.store(touchedBands(p.meterSums), std::memory_order_relaxed);
    meters.nullSmoothed += coefficients.nullStep * (nullTarget(dips) - meters.nullSmoothed);
    meters.nullMeter.store(static_cast<float>(meters.nullSmoothed), std::memory_order_relaxed);

    if (p.decision.localSource)
        closeLocalSource(p.localSums, p.localLevels);
    if (p.decision.holdsSlot)
        publishOwnLevels(ctx, gates_);

    // This track's level curve, measured as a Source measures its own.
    const double step = coefficients.levelMeterStep;
    if (ctx.settings.role == kRoleSelf)
        smoothLevelMeter(meters.maskEnergy, p.localLevels, step, meters.maskMeter);
    else if (p.ownMetered)
    {
        double own[kBandCount];
        closeLocalSource(p.ownSums, own);
        smoothLevelMeter(meters.maskEnergy, own, step, meters.maskMeter);
    }
}

// --- state outside the periods ------------------------------------------------

void MaskingStage::reset()
{
    period_.reset();
    tracking_.reset();
    targets_.reset();
    stereo_.reset();
    gates_.reset();
}

void MaskingStage::changeRole(const BandGains& gains)
{
    gates_.closeAll();
    for (int k = 0; k < kBandCount; ++k)
    {
        gates_.gateGain0[k] = gains.bandGain[0][k];
        gates_.gateGain1[k] = gains.bandGain[1][k];
        tracking_.heldSourceLevel[k] = 0.0;
        targets_.blockGain[k] = 1.0;
    }
    period_.reset();
}

void MaskingStage::freshen()
{
    std::fill(std::begin(gates_.bandEnvelope0), std::end(gates_.bandEnvelope0), 0.0);
    std::fill(std::begin(gates_.bandEnvelope1), std::end(gates_.bandEnvelope1), 0.0);
}

} // namespace ostrel
