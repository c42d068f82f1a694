#include "engine/masker_decisions.h"

#include <algorithm>
#include <cmath>

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/engine_parts.h"
#include "engine/masking_gain_law.h"
#include "engine/masking_guards.h"
#include "engine/masking_meters.h"
#include "engine/masking_prominence.h"
#include "engine/masking_spread.h"
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
const float* alignedSourceLevels(EngineParts& e, const PeerSlot& source, int64_t hostSamplePos,
                                 int n)
{
    const uint64_t count = publicationCount(source);
    // Another Source, or a new holder of its slot (its count started over):
    // nothing recorded so far describes it.
    if (&source != e.tracking.publishedSlot || count < e.tracking.publishedSeen)
    {
        clearSourceHistory(e.tracking.sourceHistory, e.tracking.historyWritePos);
        e.tracking.publishedSlot = &source;
        e.tracking.publishedSeen = 0;
    }
    noteChunkPosition(e.tracking.sourceHistory, e.tracking.historyWritePos, e.tracking.lastBlockEnd,
                      hostSamplePos - n, n);
    uint64_t from = e.tracking.publishedSeen;
    if (count - from > static_cast<uint64_t>(kLevelHistorySize))
        from = count - kLevelHistorySize;
    for (uint64_t i = from; i < count; ++i)
    {
        float levels[kBandCount];
        int64_t end = -1;
        if (readPublishedLevels(source, i, levels, &end))
            recordSourceLevels(e.tracking.sourceHistory, e.tracking.historyWritePos, levels, end);
    }
    e.tracking.publishedSeen = count;
    const float* use =
        sourceLevelsEndingBy(e.tracking.sourceHistory, e.tracking.historyWritePos, hostSamplePos);
    static constexpr float kSilent[kBandCount] = {};
    return use != nullptr ? use : kSilent;
}

// Which source this period follows, its level vector (aligned in time,
// peak-held) and the "linked", "peers" and "src" meters. Fills c's source
// fields and src; when the Source's publications are used, `published`
// receives them as read (before the peak hold) and the result is true.
bool selectSource(EngineParts& e, const PeerSlot& tgt, int n, int64_t hostSamplePos,
                  bool transportRunning, bool sidechainConnected, MaskingDecision& c,
                  double src[kBandCount], float published[kBandCount])
{
    const bool self = e.chunkSettings.role == kRoleSelf;
    const SourceState target = readSourceState(tgt);
    if (target.levelSeq != e.tracking.sourceSeenSeq)
    {
        e.tracking.sourceSeenSeq = target.levelSeq;
        e.tracking.chunksSinceSourceUpdate = 0;
    }
    else
    {
        countUpTo(e.tracking.chunksSinceSourceUpdate);
    }
    const bool sourceFresh =
        static_cast<double>(e.tracking.chunksSinceSourceUpdate) * n < 1.5 * e.tables.sampleRate;
    const bool sidechain = e.chunkSettings.sidechainOn != 0 && sidechainConnected;
    const bool local = sidechain || self;
    c.localSource = local;
    c.sidechainSource = sidechain && !self;
    c.sourceLive = local || target.sourceHolds;
    const bool useRegistry = !local && target.sourceHolds && sourceFresh;

    e.meters.linked.store(c.sourceLive ? 1 : 0, std::memory_order_relaxed);
    e.meters.peersMeter.store(local ? 1 : holderCountOf(tgt), std::memory_order_relaxed);

    if (local)
    {
        // The last closed period's measurement.
        for (int k = 0; k < kBandCount; ++k)
            src[k] = e.maskerPeriod.localLevels[k];
    }
    else
    {
        float levels[kBandCount];
        int64_t srcEnd = -1;
        readLevels(tgt, levels, nullptr, &srcEnd);
        const float* use = levels;
        // The levels of the Source's period that ended when this one starts.
        if (useRegistry && transportRunning && srcEnd >= 0 && hostSamplePos >= 0)
            use = alignedSourceLevels(e, tgt, hostSamplePos, n);
        for (int k = 0; k < kBandCount; ++k)
        {
            src[k] = useRegistry ? use[k] : -1.0;
            published[k] = useRegistry ? use[k] : 0.0f;
        }
    }
    for (int k = 0; k < kBandCount; ++k)
        src[k] = std::max(0.0, src[k]);
    smoothLevelMeter(e.meters.srcEnergy, src, levelMeterStep(n, e.tables.sampleRate),
                     e.meters.srcMeter);

    // Peak hold: instant attack, 100 ms release.
    const double holdDecay = std::exp(-n / (0.1 * e.tables.sampleRate));
    for (int k = 0; k < kBandCount; ++k)
    {
        e.tracking.heldSourceLevel[k] = std::max(holdDecay * e.tracking.heldSourceLevel[k], src[k]);
        src[k] = e.tracking.heldSourceLevel[k];
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
bool takeSharedGains(EngineParts& e, const MaskingDecision& c, bool fromRegistry,
                     const float published[kBandCount], int64_t hostSamplePos,
                     bool transportRunning)
{
    if (!c.holdsSlot || !fromRegistry)
        return false;
    const int64_t periodStart = transportRunning && hostSamplePos >= 0 ? hostSamplePos : -1;
    sharedGainCurve(*e.registry, slotOfChannelIndex(e.chunkSettings.channelIndex), periodStart,
                    published, monotonicMs(), e.tracking.sharedGains);
    return true;
}

// The block-rate half, at the start of a period of n samples: source
// selection and alignment, spread, own levels and publication, prominence,
// guards, shared gains, balance and targets.
void computeMaskingChunk(EngineParts& e, int n, int64_t hostSamplePos, bool transportRunning,
                         bool sidechainConnected, MaskingDecision& c)
{
    PeerRegistry& registry = *e.registry;
    const bool self = e.chunkSettings.role == kRoleSelf;
    const PeerSlot& tgt = registry.slots[slotOfChannelIndex(e.chunkSettings.channelIndex)];
    c.heldSlot = heldSlot(registry, *e.link);
    c.holdsSlot = c.heldSlot >= 0;

    double src[kBandCount];
    float published[kBandCount];
    const bool fromRegistry = selectSource(e, tgt, n, hostSamplePos, transportRunning,
                                           sidechainConnected, c, src, published);

    // Masking spread (Self replaces it with its own neighbourhood below).
    if (!self)
        computeMaskingSpread(src, e.tables.centreHz, e.tables.barkOfBand, e.tables.bandWeight,
                             c.spread);

    // Depth after mute, thresholds.
    double depthDb = e.chunkSettings.depthScaleDb;
    if (c.holdsSlot && isSlotMuted(registry, c.heldSlot))
        depthDb = 0.0;
    c.thresholds =
        chunkThresholds(self, e.chunkSettings.selectivity, depthDb, e.chunkSettings.depthBiasDb);

    double own[kBandCount];
    ownLevels(e.gates, own);

    // Neighbour median and prominence; Self masks with its own neighbourhood.
    double median[kBandCount];
    computeProminence(own, median, c.prominenceDb);
    if (self)
    {
        double peakW = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            c.spread.maskSpread[k] = median[k];
            c.spread.weightedSpread[k] = median[k] * e.tables.bandWeight[k];
            peakW = std::max(peakW, c.spread.weightedSpread[k]);
        }
        c.spread.spreadFloor = std::max(1e-6, 1e-3 * peakW);
    }

    // Guards, attack and release.
    updateGuardWeights(e.chunkSettings.lowGuardHz, e.chunkSettings.highGuardHz, e.tables.edgeHz,
                       GuardWeightsRef{e.masking.lastLowGuardHz, e.masking.lastHighGuardHz,
                                       e.masking.lowGuardWeight, e.masking.highGuardWeight});
    const ChunkSmoothing smoothing = chunkSmoothing(n, e.tables.sampleRate);
    const bool useShared =
        takeSharedGains(e, c, fromRegistry, published, hostSamplePos, transportRunning);

    // Stereo balance mismatch with the Source.
    double mismatch = 0.0;
    if (c.holdsSlot && c.sourceLive)
    {
        double p0 = 0.0;
        double p1 = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            p0 += e.stereo.bandEnergy0[k];
            p1 += e.stereo.bandEnergy1[k];
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
        in.sharedGain = e.tracking.sharedGains[k];
        in.mismatch = mismatch;
        const double u = bandTargetGain(k, in, c.thresholds);
        c.targetGain[k] =
            smoothAndGuard(u, e.masking.blockGain[k], smoothing, c.thresholds.depthFloor,
                           e.masking.lowGuardWeight[k], e.masking.highGuardWeight[k]);
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

// The period's block-rate set-up: decisions, stereo link from the smoothed
// coherence of the closed periods, gate and bell set-ups, and empty sums.
} // namespace

void beginMaskerPeriod(EngineParts& e, int64_t hostSamplePos, bool transportRunning,
                       bool sidechainConnected)
{
    MaskerPeriod& p = e.maskerPeriod;
    const int n = e.period.length;
    computeMaskingChunk(e, n, hostSamplePos, transportRunning, sidechainConnected, p.decision);

    // A Masker measures its own track for the "mask" meter only while an
    // editor shows it (Self has it already: its source is its own input);
    // the dip meters likewise.
    const bool editorShown = e.meters.wanted.load(std::memory_order_relaxed) != 0;
    const bool ownMetered = editorShown && e.chunkSettings.role == kRoleMasker;
    if (ownMetered && !p.ownMetered)
        e.meterLowpassBank.clearState();
    p.ownMetered = ownMetered;
    if (editorShown && !p.dipMetered)
        e.outputBandFilter.clearState();
    p.dipMetered = editorShown;
    const MaskingDecision& c = p.decision;

    for (int m = 0; m < kBandCount; ++m)
    {
        const StereoLinkBand link = stereoLinkFromStatistics(
            e.stereo.bandCross[m], e.stereo.bandEnergy0[m], e.stereo.bandEnergy1[m]);
        e.stereo.stereoLink[m] = link.stereoLink;
        e.stereo.linkRatio[m] = link.linkRatio;
        if (e.stereo.stereoLink[m] > 0.6)
        {
            const uint8_t either = (e.gates.gateOpen0[m] || e.gates.gateOpen1[m]) ? 1 : 0;
            e.gates.gateOpen0[m] = either;
            e.gates.gateOpen1[m] = either;
        }
        p.gates[m] =
            makeGateSetup(gateInputsOfBand(c, m, c.thresholds.bandAmountDivisor, c.targetGain[m]));
    }

    for (int b = 0; b < kBellCount; ++b)
    {
        BellChunk& bell = p.bells[b];
        e.bells.setupChunk(b, e.chunkSettings.bellFreqHz[b], e.chunkSettings.bellQ[b],
                           e.chunkSettings.bellDepthPercent[b], e.chunkSettings.bellActive[b] != 0,
                           e.tables.centreHz, n, e.tables.sampleRate, bell);
        setBellGate(bell, gateInputsOfBand(c, bell.nearest, c.thresholds.bellAmountDivisor, 1.0));
    }
    p.resetSums();
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
void publishOwnLevels(EngineParts& e, int n)
{
    double own[kBandCount];
    ownLevels(e.gates, own);
    PeerRegistry& registry = *e.registry;
    beginLevels(registry, *e.link);
    for (int k = 0; k < kBandCount; ++k)
        writeLevel(registry, *e.link, k, static_cast<float>(own[k]));
    // Without a host position the end reads as unknown (-1), never as a
    // position near the start.
    const int64_t start = e.period.startPos >= 0 ? e.period.startPos : -1 - int64_t{n};
    publishBlock(registry, *e.link, start, n);
    double e0 = 0.0;
    double e1 = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        e0 += e.gates.bandEnvelope0[k];
        e1 += e.gates.bandEnvelope1[k];
    }
    publishBalance(registry, *e.link, static_cast<float>((e0 - e1) / (e0 + e1 + 1e-20)));
}

} // namespace

// The period closes: bell meters, stereo statistics, band meters and the
// local source's levels.
void closeMaskerPeriod(EngineParts& e)
{
    MaskerPeriod& p = e.maskerPeriod;
    const int n = e.period.length;
    e.bells.finishMeters();

    const double k = 1.0 - std::exp(-n / (0.08 * e.tables.sampleRate));
    for (int m = 0; m < kBandCount; ++m)
    {
        smoothStatistic(e.stereo.bandCross[m], p.sumCross[m], n, k);
        smoothStatistic(e.stereo.bandEnergy0[m], p.sumSquare0[m], n, k);
        smoothStatistic(e.stereo.bandEnergy1[m], p.sumSquare1[m], n, k);
    }

    float dips[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
    {
        dips[m] = dipMeterDb(p.meterSums.outEnergy[m], p.meterSums.inEnergy[m]);
        e.meters.dipMeter[m].store(dips[m], std::memory_order_relaxed);
    }
    e.meters.touchedCount.store(touchedBands(p.meterSums), std::memory_order_relaxed);
    e.meters.nullSmoothed += (1.0 - std::exp(-n / (0.2 * e.tables.sampleRate))) *
                             (nullTarget(dips) - e.meters.nullSmoothed);
    e.meters.nullMeter.store(static_cast<float>(e.meters.nullSmoothed), std::memory_order_relaxed);

    if (p.decision.localSource)
        closeLocalSource(p.localSums, p.localLevels);
    if (p.decision.holdsSlot)
        publishOwnLevels(e, n);

    // This track's level curve, measured as a Source measures its own.
    const double step = levelMeterStep(n, e.tables.sampleRate);
    if (e.chunkSettings.role == kRoleSelf)
        smoothLevelMeter(e.meters.maskEnergy, p.localLevels, step, e.meters.maskMeter);
    else if (p.ownMetered)
    {
        double own[kBandCount];
        closeLocalSource(p.ownSums, own);
        smoothLevelMeter(e.meters.maskEnergy, own, step, e.meters.maskMeter);
    }
}

} // namespace ostrel
