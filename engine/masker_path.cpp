// The Masker (role 2) and Self (role 3) path of processChunk. Block rate
// first: where the source levels come from and how they line up in time, the
// source's masking spread, the instance's own levels and their prominence,
// and one target gain per band. Then per sample: band gates with stereo link,
// the bells, the time-domain removal of the four lowest bands and the hand-off
// of the others to the spectral stage, Listen and Bell Listen. Meters last.
//
// Audio thread only: no allocation, no lock, bounded registry reads.
#include <algorithm>
#include <cmath>

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/masking_gain_law.h"
#include "engine/masking_guards.h"
#include "engine/masking_meters.h"
#include "engine/masking_prominence.h"
#include "engine/masking_spread.h"
#include "engine/spectral_engine.h"
#include "engine/stereo_link.h"

namespace ostrel
{
namespace
{

// Everything the block-rate half hands to the sample loop.
struct MaskingChunk
{
    bool sourceLive = false;
    MaskingSpread spread;
    double prominenceDb[kBandCount] = {};
    double targetGain[kBandCount] = {};
    ChunkThresholds thresholds;
    bool holdsSlot = false;
    int heldSlot = -1;
};

void countUpTo(int32_t& counter)
{
    if (counter < kStaleCount)
        ++counter;
}

// Local source (sidechain or, for Self, the main input): this chunk's band
// levels of its mid signal.
void measureLocalSource(SpectralEngine& e, const double* a, const double* b, int n,
                        double src[kBandCount])
{
    double cumulative[kEdgeCount] = {};
    double total = 0.0;
    for (int t = 0; t < n; ++t)
    {
        const double mid = (finiteOrZero(a[t]) + finiteOrZero(b[t])) * 0.5;
        e.analysisLowpassBank.accumulate(mid, cumulative);
        total += mid * mid;
    }
    float levels[kBandCount];
    bandLevelsFromEnergies(cumulative, total, n, levels);
    for (int k = 0; k < kBandCount; ++k)
        src[k] = levels[k];
}

// The block-rate half: source selection and alignment, spread, own levels and
// publication, prominence, guards, coordinator gains, balance and targets.
void computeMaskingChunk(SpectralEngine& e, const double* in0, const double* in1, int n,
                         int64_t hostSamplePos, bool transportRunning, const double* side0,
                         const double* side1, MaskingChunk& c)
{
    PeerRegistry& registry = *e.registry;
    const bool self = e.settings.role == kRoleSelf;
    PeerSlot& tgt = registry.slots[slotOfChannelIndex(e.settings.channelIndex)];

    const int held = e.link.slotIndex.load(std::memory_order_relaxed);
    c.heldSlot = held;
    c.holdsSlot = held >= 0 &&
                  registry.slots[held].ownerId.load(std::memory_order_acquire) == e.link.instanceId;

    // 1. Source selection.
    const bool targetLive = tgt.ownerId.load(std::memory_order_acquire) != 0 &&
                            tgt.role.load(std::memory_order_relaxed) == kPeerRoleSource;
    const uint64_t seq = tgt.levelSeq.load(std::memory_order_acquire) & ~uint64_t{1};
    if (seq != e.sourceSeenSeq)
    {
        e.sourceSeenSeq = seq;
        e.chunksSinceSourceUpdate = 0;
    }
    else
    {
        countUpTo(e.chunksSinceSourceUpdate);
    }
    const bool sourceFresh =
        static_cast<double>(e.chunksSinceSourceUpdate) * n < 1.5 * e.sampleRate;
    const bool sidechain = e.settings.sidechainOn != 0 && side0 != nullptr;
    const bool local = sidechain || self;
    c.sourceLive = local || targetLive;
    const bool useRegistry = !local && targetLive && sourceFresh;

    // 2. "linked" and "peers".
    e.linked.store(c.sourceLive ? 1 : 0, std::memory_order_relaxed);
    e.peersMeter.store(local ? 1 : tgt.holderCount.load(std::memory_order_relaxed),
                       std::memory_order_relaxed);

    // 3.-6. The source level vector.
    double src[kBandCount];
    if (local)
    {
        const double* a = self ? in0 : side0;
        const double* b = self ? in1 : (side1 != nullptr ? side1 : side0);
        measureLocalSource(e, a, b, n, src);
    }
    else
    {
        float levels[kBandCount];
        int64_t srcEnd = -1;
        readLevels(tgt, levels, nullptr, &srcEnd);
        const float* use = levels;
        if (useRegistry && transportRunning && srcEnd >= 0 && hostSamplePos >= 0)
            use = alignSourceLevels(e.sourceHistory, e.historyWritePos, e.lastBlockEnd,
                                    hostSamplePos, n, levels, srcEnd);
        for (int k = 0; k < kBandCount; ++k)
            src[k] = useRegistry ? use[k] : -1.0;
    }
    double peak = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        src[k] = std::max(0.0, src[k]);
        peak = std::max(peak, src[k]);
    }
    for (int k = 0; k < kBandCount; ++k)
        e.srcMeter[k].store(peak > 1e-9 ? static_cast<float>(src[k] / peak) : 0.0f,
                            std::memory_order_relaxed);

    // 7. Peak hold: instant attack, 100 ms release.
    const double holdDecay = std::exp(-n / (0.1 * e.sampleRate));
    for (int k = 0; k < kBandCount; ++k)
    {
        e.heldSourceLevel[k] = std::max(holdDecay * e.heldSourceLevel[k], src[k]);
        src[k] = e.heldSourceLevel[k];
    }

    // 8.-9. Masking spread (Self replaces it with its own neighbourhood below).
    if (!self)
        computeMaskingSpread(src, e.centreHz, e.barkOfBand, e.bandWeight, c.spread);

    // 10.-11. Depth after mute, thresholds.
    double depthDb = e.settings.depthScaleDb;
    if (c.holdsSlot && registry.slots[held].mute.load(std::memory_order_relaxed) != 0)
        depthDb = 0.0;
    c.thresholds = chunkThresholds(self, e.settings.selectivity, depthDb, e.settings.depthBiasDb);

    // 12. Own levels from the envelopes as they stand at the chunk start.
    double own[kBandCount];
    double peakOwn = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        own[k] = std::sqrt(0.5 * (e.bandEnvelope0[k] + e.bandEnvelope1[k]) + kLevelFloor);
        peakOwn = std::max(peakOwn, own[k]);
    }
    for (int k = 0; k < kBandCount; ++k)
        e.maskMeter[k].store(peakOwn > 1e-9 ? static_cast<float>(own[k] / peakOwn) : 0.0f,
                             std::memory_order_relaxed);

    // 13. Publication of a Masker's own levels and balance.
    if (c.holdsSlot)
    {
        beginLevels(registry, e.link);
        for (int k = 0; k < kBandCount; ++k)
            writeLevel(registry, e.link, k, static_cast<float>(own[k]));
        publishBlock(registry, e.link, hostSamplePos, n);
        double e0 = 0.0;
        double e1 = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            e0 += e.bandEnvelope0[k];
            e1 += e.bandEnvelope1[k];
        }
        registry.slots[held].balance.store(static_cast<float>((e0 - e1) / (e0 + e1 + 1e-20)),
                                           std::memory_order_relaxed);
    }

    // 14.-15. Neighbour median and prominence; Self masks with its own neighbourhood.
    double median[kBandCount];
    computeProminence(own, median, c.prominenceDb);
    if (self)
    {
        double peakW = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            c.spread.maskSpread[k] = median[k];
            c.spread.weightedSpread[k] = median[k] * e.bandWeight[k];
            peakW = std::max(peakW, c.spread.weightedSpread[k]);
        }
        c.spread.spreadFloor = std::max(1e-6, 1e-3 * peakW);
    }

    // 16.-17. Guards, attack and release.
    updateGuardWeights(
        e.settings.lowGuardHz, e.settings.highGuardHz, e.edgeHz,
        GuardWeightsRef{e.lastLowGuardHz, e.lastHighGuardHz, e.lowGuardWeight, e.highGuardWeight});
    const ChunkSmoothing smoothing = chunkSmoothing(n, e.sampleRate);

    // 18. The coordinator's gains, while passes keep coming (half a second of audio).
    bool useCoord = false;
    if (c.holdsSlot)
    {
        const int64_t passes = registry.header.coordinatorPassCount.load(std::memory_order_acquire);
        if (passes != e.passCountSeen)
        {
            e.passCountSeen = passes;
            e.chunksSincePass = 0;
        }
        else
        {
            countUpTo(e.chunksSincePass);
        }
        useCoord = e.chunksSincePass < std::ceil(0.5 * e.sampleRate / n);
        if (useCoord)
        {
            for (int k = 0; k < kBandCount; ++k)
            {
                const float g = registry.slots[held].coordGains[k].load(std::memory_order_relaxed);
                e.coordGainCopy[k] = std::isfinite(g) ? g : 1.0f;
            }
        }
    }

    // 19. Stereo balance mismatch with the Source.
    double mismatch = 0.0;
    if (c.holdsSlot && c.sourceLive)
    {
        double p0 = 0.0;
        double p1 = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            p0 += e.bandEnergy0[k];
            p1 += e.bandEnergy1[k];
        }
        mismatch = balanceMismatch(tgt.balance.load(std::memory_order_relaxed), p0, p1);
    }

    // 20. Target gain per band.
    for (int k = 0; k < kBandCount; ++k)
    {
        BandTargetInputs in;
        in.sourceLive = c.sourceLive;
        in.useCoord = useCoord;
        in.maskSpread = c.spread.maskSpread[k];
        in.own = own[k];
        in.coordGain = e.coordGainCopy[k];
        in.mismatch = mismatch;
        const double u = bandTargetGain(k, in, c.thresholds);
        c.targetGain[k] = smoothAndGuard(u, e.blockGain[k], smoothing, c.thresholds.depthFloor,
                                         e.lowGuardWeight[k], e.highGuardWeight[k]);
    }
}

GateSetupInputs gateInputsOfBand(const MaskingChunk& c, int band, double amountDivisor,
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

// A non-finite output sample becomes the fully delayed dry sample, or silence
// when that is not finite either (a non-finite input sample reaches the output
// through the dry path 1264 samples later).
double finiteOutput(double out, double dry)
{
    if (std::isfinite(out))
        return out;
    return std::isfinite(dry) ? dry : 0.0;
}

} // namespace

void SpectralEngine::processMaskerChunk(const double* in0, const double* in1, double* out0,
                                        double* out1, int n, int64_t hostSamplePos,
                                        bool transportRunning, const double* side0,
                                        const double* side1)
{
    if (n <= 0)
        return;
    MaskingChunk c;
    computeMaskingChunk(*this, in0, in1, n, hostSamplePos, transportRunning, side0, side1, c);

    // A start from rest: the delay lines refill before anything is gated.
    if (settled)
    {
        settled = 0;
        warmupCount = 0;
        for (DynamicBell& bell : bells)
            resetBellGates(bell);
    }

    // Stereo link from the smoothed coherence of the previous chunks.
    for (int m = 0; m < kBandCount; ++m)
    {
        const StereoLinkBand link =
            stereoLinkFromStatistics(bandCross[m], bandEnergy0[m], bandEnergy1[m]);
        stereoLink[m] = link.stereoLink;
        linkRatio[m] = link.linkRatio;
        if (stereoLink[m] > 0.6)
        {
            const uint8_t either = (gateOpen0[m] || gateOpen1[m]) ? 1 : 0;
            gateOpen0[m] = either;
            gateOpen1[m] = either;
        }
    }

    GateSetup gates[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
        gates[m] =
            makeGateSetup(gateInputsOfBand(c, m, c.thresholds.bandAmountDivisor, c.targetGain[m]));

    BellChunk bellChunk[kBellCount];
    for (int b = 0; b < kBellCount; ++b)
    {
        setupBellChunk(bells[b], settings.bellFreqHz[b], settings.bellQ[b],
                       settings.bellDepthPercent[b], settings.bellActive[b] != 0, centreHz, n,
                       sampleRate, bellChunk[b]);
        setBellGate(bellChunk[b],
                    gateInputsOfBand(c, bellChunk[b].nearest, c.thresholds.bellAmountDivisor, 1.0));
        beginBellMeter(bells[b]);
    }

    // Listen: the parameter, or the link matrix's solo of this instance's slot.
    const bool soloed =
        c.holdsSlot && registry->header.soloIndex.load(std::memory_order_relaxed) == c.heldSlot;
    const double listenTarget = (settings.listen != 0 || soloed) ? 1.0 : 0.0;
    const int bellListenSetting =
        (settings.bellListen >= 0 && settings.bellListen < kBellCount) ? settings.bellListen : -1;

    MaskingMeterSums sums;
    double sumCross[kBandCount] = {};
    double sumSquare0[kBandCount] = {};
    double sumSquare1[kBandCount] = {};

    double x0[kBandCount];
    double x1[kBandCount];
    double outBand[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double a0 = in0[t];
        const double a1 = in1[t];
        bandFilter[0].step(a0, x0);
        bandFilter[1].step(a1, x1);

        const int w = delayWritePos;
        const auto [r, d0, d1] = exchangeDry(a0, a1);

        const bool primed = warmupCount >= lookaheadDelay;
        if (!primed)
            ++warmupCount;

        const double* delayed0 = bandDelay[0][r];
        const double* delayed1 = bandDelay[1][r];
        // The dip meter compares with the input as the spectral stage sees it.
        const int rMeter = (r + kDelayLength - kStftSize) % kDelayLength;
        const double* meterIn0 = bandDelay[0][rMeter];
        const double* meterIn1 = bandDelay[1][rMeter];

        // Stereo statistics, envelopes and the dip meter's input: straight
        // arithmetic over all bands that the compiler can vectorise.
        for (int m = 0; m < kBandCount; ++m)
        {
            sumCross[m] += x0[m] * x1[m];
            sumSquare0[m] += x0[m] * x0[m];
            sumSquare1[m] += x1[m] * x1[m];
            followEnvelope(bandEnvelope0[m], x0[m], bandAttack[0][m], bandRelease[0][m]);
            followEnvelope(bandEnvelope1[m], x1[m], bandAttack[1][m], bandRelease[1][m]);
            const double mid = 0.5 * (meterIn0[m] + meterIn1[m]);
            sums.inEnergy[m] += mid * mid;
        }

        // Gates, glides and the stereo link, once the lookahead has filled.
        if (primed)
        {
            for (int m = 0; m < kBandCount; ++m)
            {
                const GateSetup& g = gates[m];
                if (!g.eligibleOpen && gateGain0[m] == 1.0 && gateGain1[m] == 1.0)
                {
                    // Not considered in either state and at rest: the full
                    // step would close the gates and leave every gain at 1.0.
                    gateOpen0[m] = 0;
                    gateOpen1[m] = 0;
                    gateAmount0[m] = 0.0;
                    gateAmount1[m] = 0.0;
                    bandGain[0][m] = 1.0;
                    bandGain[1][m] = 1.0;
                    continue;
                }
                const double t0 =
                    gateStep(gateOpen0[m], gateAmount0[m], bandEnvelope0[m], g, levelDecay);
                const double t1 =
                    gateStep(gateOpen1[m], gateAmount1[m], bandEnvelope1[m], g, levelDecay);
                glideGain(gateGain0[m], t0, glideCoef);
                glideGain(gateGain1[m], t1, glideCoef);
                double g0 = gateGain0[m];
                double g1 = gateGain1[m];
                linkChannelGains(g0, g1, stereoLink[m], linkRatio[m]);
                bandGain[0][m] = g0;
                bandGain[1][m] = g1;
            }
        }

        // The lowest bands are removed here in the time domain, the others
        // by the spectral stage.
        double sub0 = 0.0;
        double sub1 = 0.0;
        for (int m = 0; m < kTimeDomainBands; ++m)
        {
            stftBandGain[0][m] = 1.0;
            stftBandGain[1][m] = 1.0;
            sub0 += delayed0[m] * (1.0 - bandGain[0][m]);
            sub1 += delayed1[m] * (1.0 - bandGain[1][m]);
        }
        for (int m = kTimeDomainBands; m < kBandCount; ++m)
        {
            stftBandGain[0][m] = bandGain[0][m];
            stftBandGain[1][m] = bandGain[1][m];
        }
        for (int m = 0; m < kBandCount; ++m)
        {
            const double v = std::max(1.0 - bandGain[0][m], 1.0 - bandGain[1][m]);
            const bool dipped = v > 1e-6;
            sums.dipSum[m] += dipped ? v : 0.0;
            sums.dipCount[m] += dipped ? 1 : 0;
        }
        double* write0 = bandDelay[0][w];
        double* write1 = bandDelay[1][w];
        for (int m = 0; m < kBandCount; ++m)
        {
            write0[m] = x0[m];
            write1[m] = x1[m];
        }

        // Bells, and the signal Bell Listen hands to the spectral stage.
        const int bellSelected = primed ? bellListenSetting : -1;
        double bellSignal0 = 0.0;
        double bellSignal1 = 0.0;
        for (int b = 0; b < kBellCount; ++b)
        {
            double y0;
            double y1;
            bellSampleStep(bells[b], bellChunk[b], a0, a1, r, w, primed, glideCoef, levelDecay,
                           sub0, sub1, y0, y1);
            if (b == bellSelected)
            {
                bellSignal0 = y0;
                bellSignal1 = y1;
            }
        }
        delayWritePos = (w + 1) % kDelayLength;

        const StftSample s = stft.step(d0, d1, sub0, sub1, bellSignal0, bellSignal1,
                                       stftBandGain[0], stftBandGain[1]);

        outputBandFilter.step(0.5 * (s.out0 + s.out1), outBand);
        for (int m = 0; m < kBandCount; ++m)
            sums.outEnergy[m] += outBand[m] * outBand[m];

        // Listen crossfade toward what is removed.
        listenMix += (listenTarget - listenMix) * glideCoef;
        if (listenTarget == 0.0 && listenMix < 1e-6)
            listenMix = 0.0;
        else if (listenTarget == 1.0 && listenMix > 0.999999)
            listenMix = 1.0;
        double o0 = s.out0;
        double o1 = s.out1;
        if (listenMix > 0.0)
        {
            o0 += listenMix * (s.removed0 - o0);
            o1 += listenMix * (s.removed1 - o1);
        }

        // Bell Listen: a new selection starts its crossfade from the normal output.
        if (bellSelected != lastBellListen)
        {
            bellListenMix = 0.0;
            lastBellListen = bellSelected;
        }
        if (bellSelected >= 0)
        {
            bellListenMix += (1.0 - bellListenMix) * glideCoef;
        }
        else
        {
            bellListenMix -= bellListenMix * glideCoef;
            if (bellListenMix < 1e-6)
                bellListenMix = 0.0;
        }
        if (bellListenMix > 0.0 && bellSelected >= 0)
        {
            o0 += bellListenMix * (s.bell0 - o0);
            o1 += bellListenMix * (s.bell1 - o1);
        }

        out0[t] = finiteOutput(o0, s.dry0);
        out1[t] = finiteOutput(o1, s.dry1);
    }

    // End of chunk: bell meters, stereo statistics, band meters.
    for (DynamicBell& bell : bells)
        finishBellMeter(bell);

    const double k = 1.0 - std::exp(-n / (0.08 * sampleRate));
    for (int m = 0; m < kBandCount; ++m)
    {
        bandCross[m] += k * (sumCross[m] / n - bandCross[m]);
        bandEnergy0[m] += k * (sumSquare0[m] / n - bandEnergy0[m]);
        bandEnergy1[m] += k * (sumSquare1[m] / n - bandEnergy1[m]);
    }

    float dips[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
    {
        dips[m] = dipMeterDb(sums.outEnergy[m], sums.inEnergy[m]);
        dipMeter[m].store(dips[m], std::memory_order_relaxed);
    }
    touchedCount.store(touchedBands(sums), std::memory_order_relaxed);
    nullSmoothed += (1.0 - std::exp(-n / (0.2 * sampleRate))) * (nullTarget(dips) - nullSmoothed);
    nullMeter.store(static_cast<float>(nullSmoothed), std::memory_order_relaxed);
}

} // namespace ostrel
