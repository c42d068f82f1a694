// The Masker (role 2) and Self (role 3) path of processChunk, per sample:
// band gates with stereo link, the bells, the time-domain removal of the four
// lowest bands and the hand-off of the others to the spectral stage, Listen
// and Bell Listen. The block-rate half, at each analysis period's start and
// end, is engine/masker_decisions.cpp.
//
// Audio thread only: no allocation, no lock, bounded registry reads.
#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/bell_lanes.h"
#include "engine/engine_parts.h"
#include "engine/lane_log.h"
#include "engine/masker_decisions.h"
#include "engine/masking_meters.h"
#include "engine/stereo_link.h"
#include "engine/vector_clones.h"

namespace ostrel
{
namespace
{

// The dip meter reads the mid band line a spectral frame behind the lookahead.
static_assert(kLookaheadSamples + kStftSize < DelayLines::kMidBandRing);

// Adds a slice's mid signal to a period's band-level sums, as the Source
// path measures its own.
OSTREL_INLINE_IN_CLONES void accumulateMidLevels(LowpassBank& bank, const double* a,
                                                 const double* b, int n, MidLevelSums& sums)
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

// Local source (sidechain or, for Self, the main input).
OSTREL_INLINE_IN_CLONES void accumulateLocalSource(EngineParts& e, const double* a, const double* b,
                                                   int n, MidLevelSums& sums)
{
    accumulateMidLevels(e.analysisLowpassBank, a, b, n, sums);
}

// One sample of the period's stereo sums and the band envelopes: straight
// arithmetic over all bands that the compiler can vectorise.
OSTREL_INLINE_IN_CLONES void followBands(MaskerPeriod& p, GateState& gates,
                                         const BandTables& tables, const double x0[kBandCount],
                                         const double x1[kBandCount])
{
    for (int m = 0; m < kBandCount; ++m)
    {
        p.sumCross[m] += x0[m] * x1[m];
        p.sumSquare0[m] += x0[m] * x0[m];
        p.sumSquare1[m] += x1[m] * x1[m];
        followEnvelope(gates.bandEnvelope0[m], x0[m], tables.bandAttack[0][m],
                       tables.bandRelease[0][m]);
        followEnvelope(gates.bandEnvelope1[m], x1[m], tables.bandAttack[1][m],
                       tables.bandRelease[1][m]);
    }
}

// Adds this sample's larger channel dip of each band to the meter sums.
OSTREL_INLINE_IN_CLONES void countDips(const BandGains& gains, MaskingMeterSums& sums)
{
    for (int m = 0; m < kBandCount; ++m)
    {
        const double v = std::max(1.0 - gains.bandGain[0][m], 1.0 - gains.bandGain[1][m]);
        const bool dipped = v > 1e-6;
        sums.dipSum[m] += dipped ? v : 0.0;
        sums.dipCount[m] += dipped ? 1 : 0;
    }
}

// The chunk's band gates as lanes: their setups as structure of arrays and
// the open flags as doubles, so a sample's step over the bands vectorises.
struct BandGateLanes
{
    alignas(kLaneAlign) double eligibleClosed[kBandCount];
    alignas(kLaneAlign) double eligibleOpen[kBandCount];
    alignas(kLaneAlign) double openPower[kBandCount];
    alignas(kLaneAlign) double closePower[kBandCount];
    alignas(kLaneAlign) double fullPower[kBandCount];
    alignas(kLaneAlign) double targetGain[kBandCount];
    alignas(kLaneAlign) double open0[kBandCount];
    alignas(kLaneAlign) double open1[kBandCount];
    alignas(kLaneAlign) double ramp0[kBandCount];
    alignas(kLaneAlign) double ramp1[kBandCount];
    alignas(kLaneAlign) double rampScale[kBandCount];
    alignas(kLaneAlign) double rampOffset[kBandCount];

    void load(const GateSetup setups[kBandCount], const GateState& gates)
    {
        for (int m = 0; m < kBandCount; ++m)
        {
            const GateSetup& g = setups[m];
            loadGateSetupLane(*this, m, g);
            const GateRampLine ramp = gateRampLine(g);
            rampScale[m] = ramp.scale;
            rampOffset[m] = ramp.offset;
            open0[m] = gates.gateOpen0[m] != 0 ? 1.0 : 0.0;
            open1[m] = gates.gateOpen1[m] != 0 ? 1.0 : 0.0;
        }
    }
    void store(GateState& gates) const
    {
        for (int m = 0; m < kBandCount; ++m)
        {
            gates.gateOpen0[m] = open0[m] != 0.0 ? 1 : 0;
            gates.gateOpen1[m] = open1[m] != 0.0 ? 1 : 0;
        }
    }

    // Whether any gate of bands [from, to) may open in this chunk.
    bool anyEligible(int from, int to) const
    {
        uint64_t any = 0;
        for (int m = from; m < to; ++m)
            any |= std::bit_cast<uint64_t>(eligibleClosed[m]) |
                   std::bit_cast<uint64_t>(eligibleOpen[m]);
        return any != 0;
    }

    // Every gate of bands [from, to) closed with no amount and every gain at
    // exactly 1.0. With none of them eligible this is where a step leaves
    // them, so the steps after it change nothing there and may be left out.
    bool atRest(const GateState& gates, const BandGains& gains, int from, int to) const
    {
        bool rest = true;
        for (int m = from; m < to; ++m)
            rest &= open0[m] == 0.0 && open1[m] == 0.0 && gates.gateAmount0[m] == 0.0 &&
                    gates.gateAmount1[m] == 0.0 && gates.gateGain0[m] == 1.0 &&
                    gates.gateGain1[m] == 1.0 && gains.bandGain[0][m] == 1.0 &&
                    gains.bandGain[1][m] == 1.0;
        return rest;
    }
};

// Runs of eight bands: a run of gates that none may open comes to rest and is
// then left out of the sample steps for the rest of the chunk. The steps
// cover the runs from the first to the last that still move.
class GateRuns
{
public:
    static constexpr int kRun = 8;
    static constexpr int kRuns = kBandCount / kRun;
    static_assert(kBandCount % kRun == 0);

    explicit GateRuns(const BandGateLanes& lanes)
    {
        for (int r = 0; r < kRuns; ++r)
        {
            ineligible[r] = !lanes.anyEligible(r * kRun, r * kRun + kRun);
            waking += ineligible[r] ? 1 : 0;
        }
    }

    int from() const { return first; }
    int to() const { return last; }
    bool all() const { return first == 0 && last == kBandCount; }

    // After a step: marks the runs that have come to rest.
    void update(const BandGateLanes& lanes, const GateState& gates, const BandGains& gains)
    {
        if (waking == 0)
            return;
        for (int r = 0; r < kRuns; ++r)
            if (ineligible[r] && !resting[r] &&
                lanes.atRest(gates, gains, r * kRun, r * kRun + kRun))
            {
                resting[r] = true;
                --waking;
            }
        first = 0;
        while (first < kBandCount && resting[first / kRun])
            first += kRun;
        last = kBandCount;
        while (last > first && resting[last / kRun - 1])
            last -= kRun;
    }

private:
    bool ineligible[kRuns] = {};
    bool resting[kRuns] = {};
    int waking = 0; // ineligible runs not yet at rest
    int first = 0;
    int last = kBandCount;
};

// One sample of the gates, glides and stereo link of every band. A band that
// no gate considers and whose gains rest at 1.0 comes out of the full step
// closed and at 1.0; the select keeps that exact whatever the link says.
OSTREL_INLINE_IN_CLONES void stepBandGates(GateState& __restrict gates, BandGateLanes& __restrict l,
                                           BandGains& __restrict gains,
                                           const StereoStatistics& __restrict stereo,
                                           const BandTables& tables, int from, int to)
{
    const double levelDecay = tables.levelDecay;
    const double glideCoef = tables.glideCoef;
    for (int m = from; m < to; ++m)
    {
        l.ramp0[m] = gateLaneStep(l.open0[m], gates.gateAmount0[m], gates.bandEnvelope0[m],
                                  l.eligibleClosed[m], l.eligibleOpen[m], l.openPower[m],
                                  l.closePower[m], l.fullPower[m], levelDecay);
        l.ramp1[m] = gateLaneStep(l.open1[m], gates.gateAmount1[m], gates.bandEnvelope1[m],
                                  l.eligibleClosed[m], l.eligibleOpen[m], l.openPower[m],
                                  l.closePower[m], l.fullPower[m], levelDecay);
    }
    // A few lanes are on the ramp at a time; their amounts take a logarithm,
    // computed in one vectorised pass over each run of eight bands that
    // holds one, and kept where a lane is on the ramp.
    constexpr int kRun = GateRuns::kRun;
    for (int first = from; first < to; first += kRun)
    {
        // The flags are +0.0 or 1.0: OR-ing their bits is a vector reduction,
        // where comparing each would be a scalar chain.
        uint64_t anyRamp = 0;
        for (int m = first; m < first + kRun; ++m)
            anyRamp |= std::bit_cast<uint64_t>(l.ramp0[m]) | std::bit_cast<uint64_t>(l.ramp1[m]);
        if (anyRamp == 0)
            continue;
        for (int m = first; m < first + kRun; ++m)
        {
            const double a0 = gateRampAmountFromLn(logLane(gates.bandEnvelope0[m] + 1e-30),
                                                   l.rampScale[m], l.rampOffset[m]);
            const double a1 = gateRampAmountFromLn(logLane(gates.bandEnvelope1[m] + 1e-30),
                                                   l.rampScale[m], l.rampOffset[m]);
            gates.gateAmount0[m] = l.ramp0[m] != 0.0 ? a0 : gates.gateAmount0[m];
            gates.gateAmount1[m] = l.ramp1[m] != 0.0 ? a1 : gates.gateAmount1[m];
        }
    }
    for (int m = from; m < to; ++m)
    {
        const double rest = laneMask(l.eligibleOpen[m] == 0.0) *
                            laneMask(gates.gateGain0[m] == 1.0) *
                            laneMask(gates.gateGain1[m] == 1.0);
        double g0 = gates.gateGain0[m];
        double g1 = gates.gateGain1[m];
        glideGainLane(g0, gateLaneTarget(l.open0[m], gates.gateAmount0[m], l.targetGain[m]),
                      glideCoef);
        glideGainLane(g1, gateLaneTarget(l.open1[m], gates.gateAmount1[m], l.targetGain[m]),
                      glideCoef);
        gates.gateGain0[m] = rest != 0.0 ? 1.0 : g0;
        gates.gateGain1[m] = rest != 0.0 ? 1.0 : g1;
        linkChannelGains(g0, g1, stereo.stereoLink[m], stereo.linkRatio[m]);
        gains.bandGain[0][m] = rest != 0.0 ? 1.0 : g0;
        gains.bandGain[1][m] = rest != 0.0 ? 1.0 : g1;
    }
}

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

// Bell Listen's selection as the output hears it: a bell's signal leaves the
// spectral stage kStftSize samples after it entered, so the crossfade follows
// the selection that late. Returns the bell whose signal enters the stage now
// (kept while a crossfade away from it still plays).
OSTREL_INLINE_IN_CLONES int stepBellListenSelection(ListenState& l, int asked)
{
    if (asked != l.bellListenAsked)
    {
        l.bellListenAsked = asked;
        l.bellListenAskedAge = 0;
    }
    if (l.bellListenAskedAge < kStftSize && ++l.bellListenAskedAge == kStftSize)
        l.lastBellListen = l.bellListenAsked;
    if (asked >= 0)
        l.bellListenFed = asked;
    else if (l.bellListenAskedAge >= kStftSize && l.bellListenMix == 0.0)
        l.bellListenFed = -1;
    return l.bellListenFed;
}

// Listen (toward what is removed) and Bell Listen (toward the heard bell).
OSTREL_INLINE_IN_CLONES void applyListenMixes(ListenState& l, double glideCoef, const StftSample& s,
                                              double listenTarget, double& o0, double& o1)
{
    l.listenMix += (listenTarget - l.listenMix) * glideCoef;
    if (listenTarget == 0.0 && l.listenMix < 1e-6)
        l.listenMix = 0.0;
    else if (listenTarget == 1.0 && l.listenMix > 0.999999)
        l.listenMix = 1.0;
    if (l.listenMix > 0.0)
    {
        o0 += l.listenMix * (s.removed0 - o0);
        o1 += l.listenMix * (s.removed1 - o1);
    }

    if (l.lastBellListen >= 0)
    {
        l.bellListenMix += (1.0 - l.bellListenMix) * glideCoef;
    }
    else
    {
        l.bellListenMix -= l.bellListenMix * glideCoef;
        if (l.bellListenMix < 1e-6)
            l.bellListenMix = 0.0;
    }
    if (l.bellListenMix > 0.0)
    {
        o0 += l.bellListenMix * (s.bell0 - o0);
        o1 += l.bellListenMix * (s.bell1 - o1);
    }
}

} // namespace

OSTREL_VECTOR_BODY void
EngineParts::processMaskerChunkBody(const double* in0, const double* in1, double* out0,
                                    double* out1, int n, int64_t hostSamplePos,
                                    bool transportRunning, const double* side0, const double* side1)
{
    if (n <= 0)
        return;
    MaskerPeriod& p = maskerPeriod;
    path.restsSinceChange = 0;
    refillStftRings();
    if (period.starts())
        beginMaskerPeriod(*this, hostSamplePos, transportRunning, side0 != nullptr);

    // A start from rest: the delay lines refill before anything is gated.
    if (path.settled)
    {
        path.settled = 0;
        gates.warmupCount = 0;
        bells.settle();
    }

    // The local source of the next period's decisions.
    if (p.decision.localSource)
    {
        if (p.decision.sidechainSource)
        {
            // A sidechain that went away mid-period counts as silence.
            if (side0 != nullptr)
                accumulateLocalSource(*this, side0, side1 != nullptr ? side1 : side0, n,
                                      p.localSums);
            else
                p.localSums.count += n;
        }
        else
            accumulateLocalSource(*this, in0, in1, n, p.localSums);
    }
    if (p.ownMetered)
        accumulateMidLevels(meterLowpassBank, in0, in1, n, p.ownSums);

    // Listen: the parameter, or the link matrix's solo of this instance's slot.
    const MaskingDecision& c = p.decision;
    const bool soloed = c.holdsSlot && isSlotSoloed(*registry, c.heldSlot);
    const double listenTarget = (chunkSettings.listen != 0 || soloed) ? 1.0 : 0.0;
    const int bellListenSetting =
        (chunkSettings.bellListen >= 0 && chunkSettings.bellListen < kBellCount)
            ? chunkSettings.bellListen
            : -1;

    MaskingMeterSums& sums = p.meterSums;
    BandGateLanes gateLanes;
    gateLanes.load(p.gates, gates);
    // Gates that none may open (where the source is quiet) release, and once
    // at rest they stay there for the chunk.
    GateRuns gateRuns(gateLanes);
    BellLanes bellLanes;
    bells.loadLanes(bellLanes, p.bells);
    alignas(kLaneAlign) double x0[kBandCount];
    alignas(kLaneAlign) double x1[kBandCount];
    alignas(kLaneAlign) double outBand[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double a0 = in0[t];
        const double a1 = in1[t];
        bandFilter[0].step(a0, x0);
        bandFilter[1].step(a1, x1);

        const int w = delays.delayWritePos;
        const auto [r, d0, d1] = exchangeDry(a0, a1);

        const bool primed = gates.warmupCount >= delays.lookaheadDelay;
        if (!primed)
            ++gates.warmupCount;

        const double* delayed0 = delays.lowBands(r, 0);
        const double* delayed1 = delays.lowBands(r, 1);
        followBands(p, gates, tables, x0, x1);
        if (p.dipMetered)
        {
            // The dip meter compares with the input as the spectral stage sees it.
            const double* meterMid = delays.midBands(r + kDelayLength - kStftSize);
            for (int m = 0; m < kBandCount; ++m)
                sums.inEnergy[m] += meterMid[m] * meterMid[m];
        }

        // Gates, glides and the stereo link, once the lookahead has filled.
        if (primed && gateRuns.from() < gateRuns.to())
        {
            // All bands with bounds known to the compiler: whole vectors.
            if (gateRuns.all())
                stepBandGates(gates, gateLanes, gains, stereo, tables, 0, kBandCount);
            else
                stepBandGates(gates, gateLanes, gains, stereo, tables, gateRuns.from(),
                              gateRuns.to());
            gateRuns.update(gateLanes, gates, gains);
        }

        double sub0 = 0.0;
        double sub1 = 0.0;
        removeLowBands(gains, delayed0, delayed1, sub0, sub1);
        if (p.dipMetered)
            countDips(gains, sums);
        delays.writeBands(w, x0, x1);

        // Bells, and the signal Bell Listen hands to the spectral stage.
        const int bellFed = stepBellListenSelection(listening, primed ? bellListenSetting : -1);
        bells.stepLanes(bellLanes, a0, a1, r, w, primed, tables.glideCoef, tables.levelDecay, sub0,
                        sub1);
        const double bellSignal0 = bellFed >= 0 ? bellLanes.y[bellLane(bellFed, 0)] : 0.0;
        const double bellSignal1 = bellFed >= 0 ? bellLanes.y[bellLane(bellFed, 1)] : 0.0;
        delays.delayWritePos = (w + 1) % kDelayLength;

        if (stft.nextStepCompletesHop())
            gains.handToSpectralStage();
        const StftSample s = stft.step(d0, d1, sub0, sub1, bellSignal0, bellSignal1,
                                       gains.stftBandGain[0], gains.stftBandGain[1]);

        if (p.dipMetered)
        {
            outputBandFilter.step(0.5 * (s.out0 + s.out1), outBand);
            for (int m = 0; m < kBandCount; ++m)
                sums.outEnergy[m] += outBand[m] * outBand[m];
        }

        double o0 = s.out0;
        double o1 = s.out1;
        applyListenMixes(listening, tables.glideCoef, s, listenTarget, o0, o1);
        out0[t] = finiteOrAlignedDry(o0, s.dry0);
        out1[t] = finiteOrAlignedDry(o1, s.dry1);
    }
    gateLanes.store(gates);
    bells.storeLanes(bellLanes);

    if (period.closesWith(n))
        closeMaskerPeriod(*this);
}

void EngineParts::processMaskerChunk(const double* in0, const double* in1, double* out0,
                                     double* out1, int n, int64_t hostSamplePos,
                                     bool transportRunning, const double* side0,
                                     const double* side1)
{
    OSTREL_VECTOR_DISPATCH(processMaskerChunkBody(in0, in1, out0, out1, n, hostSamplePos,
                                                  transportRunning, side0, side1));
}

} // namespace ostrel
