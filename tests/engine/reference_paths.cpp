// The engine's per-sample paths as they were before they were optimised, kept
// here (and only here) as the reference the product's paths must match: the
// same block-rate code, the original sample loops, transform and spectral
// stage.
#include "engine/reference_paths.h"

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/bell_stage_probe.h"
#include "engine/engine_parts_probe.h"
#include "engine/float_mode_guard.h"
#include "engine/glide.h"
#include "engine/listen_stage_probe.h"
#include "engine/masking_meters.h"
#include "engine/masking_stage_probe.h"
#include "engine/source_stage_probe.h"
#include "engine/stereo_link.h"
#include "engine/stft_frame_probe.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace ostrel::reference
{
namespace
{

double finiteOrAlignedDry(double out, double alignedDry)
{
    return EngineParts::finiteOrAlignedDry(out, alignedDry);
}

bool anyGainBelowUnity(const double* gains)
{
    bool anyDip = false;
    for (int k = 0; k < kBandCount; ++k)
        anyDip |= gains[k] < 1.0;
    return anyDip;
}

// Share of a bin that a band gain removes; a gain outside 0..1 never boosts.
double removedShare(double gain)
{
    return std::clamp(1.0 - gain, 0.0, 1.0);
}

void oneChannel(StftFrameState& s, int channel, const double* gains)
{
    const double* in = s.inputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
    {
        s.fftRe[k] = in[(s.ringPos + k) & (kStftSize - 1)] * s.window[k];
        s.fftIm[k] = 0.0;
    }
    fft(s.fftRe, s.fftIm, kStftSize, -1);

    // Keep only what the gains take away, conjugate-symmetric so the result is real.
    for (int j = 0; j < kStftBins; ++j)
    {
        const double m = removedShare(gains[s.bandOfBin[j]]);
        s.fftRe[j] *= m;
        s.fftIm[j] *= m;
        if (j > 0 && j < kStftSize / 2)
        {
            s.fftRe[kStftSize - j] = s.fftRe[j];
            s.fftIm[kStftSize - j] = -s.fftIm[j];
        }
    }
    fft(s.fftRe, s.fftIm, kStftSize, +1);

    const double scale = 1.0 / (s.overlapNorm * kStftSize);
    double* out = s.outputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
        out[(s.ringPos + k) & (kStftSize - 1)] += s.fftRe[k] * s.window[k] * scale;
}

void bothChannels(StftFrameState& s, const double* gains0, const double* gains1)
{
    const double* in0 = s.inputRing[0];
    const double* in1 = s.inputRing[1];
    for (int k = 0; k < kStftSize; ++k)
    {
        const int p = (s.ringPos + k) & (kStftSize - 1);
        s.fftRe[k] = in0[p] * s.window[k];
        s.fftIm[k] = in1[p] * s.window[k];
    }
    fft(s.fftRe, s.fftIm, kStftSize, -1);

    // DC and Nyquist are their own mirrors: the real part is channel 0's, the
    // imaginary part channel 1's.
    for (int j : {0, kStftSize / 2})
    {
        s.fftRe[j] *= removedShare(gains0[s.bandOfBin[j]]);
        s.fftIm[j] *= removedShare(gains1[s.bandOfBin[j]]);
    }
    for (int j = 1; j < kStftSize / 2; ++j)
    {
        const int mirror = kStftSize - j;
        const double xr = s.fftRe[j], xi = s.fftIm[j];
        const double yr = s.fftRe[mirror], yi = s.fftIm[mirror];
        const double m0 = removedShare(gains0[s.bandOfBin[j]]);
        const double m1 = removedShare(gains1[s.bandOfBin[j]]);
        // Channel 0's bin A = (X[j] + conj X[n-j]) / 2, channel 1's B = (X[j] - conj X[n-j]) / 2i.
        const double aRe = 0.5 * (xr + yr) * m0;
        const double aIm = 0.5 * (xi - yi) * m0;
        const double bRe = 0.5 * (xi + yi) * m1;
        const double bIm = -0.5 * (xr - yr) * m1;
        // X'[j] = A + iB, X'[n-j] = conj A + i conj B.
        s.fftRe[j] = aRe - bIm;
        s.fftIm[j] = aIm + bRe;
        s.fftRe[mirror] = aRe + bIm;
        s.fftIm[mirror] = bRe - aIm;
    }
    fft(s.fftRe, s.fftIm, kStftSize, +1);

    const double scale = 1.0 / (s.overlapNorm * kStftSize);
    double* out0 = s.outputRing[0];
    double* out1 = s.outputRing[1];
    for (int k = 0; k < kStftSize; ++k)
    {
        const int p = (s.ringPos + k) & (kStftSize - 1);
        const double w = s.window[k] * scale;
        out0[p] += s.fftRe[k] * w;
        out1[p] += s.fftIm[k] * w;
    }
}

void frame(StftFrameState& s, const double* gains0, const double* gains1)
{
    const bool dip0 = anyGainBelowUnity(gains0);
    const bool dip1 = anyGainBelowUnity(gains1);
    if (dip0 && dip1)
        bothChannels(s, gains0, gains1);
    else if (dip0)
        oneChannel(s, 0, gains0);
    else if (dip1)
        oneChannel(s, 1, gains1);
}

StftSample stftStep(StftFrameEngine& stage, double dry0, double dry1, double sub0, double sub1,
                    double bell0, double bell1, const double* gains0, const double* gains1)
{
    StftFrameState& s = StftFrameProbe::state(stage);
    const int p = s.ringPos;
    // The analysis frame treats a non-finite input as silence so it cannot
    // spread over a whole frame; the dry ring keeps the sample as it came.
    s.inputRing[0][p] = finiteOrZero(dry0);
    s.inputRing[1][p] = finiteOrZero(dry1);

    StftSample out;
    out.dry0 = s.dryRing[0][p];
    out.dry1 = s.dryRing[1][p];
    const double delayedSub0 = s.subtractRing[0][p];
    const double delayedSub1 = s.subtractRing[1][p];
    out.bell0 = s.bellListenRing[0][p];
    out.bell1 = s.bellListenRing[1][p];
    s.dryRing[0][p] = dry0;
    s.dryRing[1][p] = dry1;
    s.subtractRing[0][p] = sub0;
    s.subtractRing[1][p] = sub1;
    s.bellListenRing[0][p] = bell0;
    s.bellListenRing[1][p] = bell1;

    const double spectral0 = s.outputRing[0][p];
    const double spectral1 = s.outputRing[1][p];
    s.outputRing[0][p] = 0.0;
    s.outputRing[1][p] = 0.0;

    out.removed0 = delayedSub0 + spectral0;
    out.removed1 = delayedSub1 + spectral1;
    out.out0 = out.dry0 - out.removed0;
    out.out1 = out.dry1 - out.removed1;

    s.ringPos = (p + 1) & (kStftSize - 1);
    if (++s.hopCounter == kStftHop)
    {
        s.hopCounter = 0;
        frame(s, gains0, gains1);
    }
    return out;
}

void releaseSample(EnginePartsProbe& e, double in0, double in1, const double* y0, const double* y1,
                   int readPos, double d0, double d1, double& out0, double& out1)
{
    const int w = e.delays.delayWritePos;
    double sub0 = 0.0;
    double sub1 = 0.0;
    const double* delayed0 = e.delays.lowBands(readPos, 0);
    const double* delayed1 = e.delays.lowBands(readPos, 1);
    for (int k = 0; k < kBandCount; ++k)
    {
        e.gains.bandGain[0][k] = glideToUnity(e.gains.bandGain[0][k], e.filters.tables().glideCoef);
        e.gains.bandGain[1][k] = glideToUnity(e.gains.bandGain[1][k], e.filters.tables().glideCoef);
    }
    for (int k = 0; k < kTimeDomainBands; ++k)
    {
        e.gains.stftBandGain[0][k] = 1.0;
        e.gains.stftBandGain[1][k] = 1.0;
        sub0 += (1.0 - e.gains.bandGain[0][k]) * delayed0[k];
        sub1 += (1.0 - e.gains.bandGain[1][k]) * delayed1[k];
    }
    for (int k = kTimeDomainBands; k < kBandCount; ++k)
    {
        e.gains.stftBandGain[0][k] = e.gains.bandGain[0][k];
        e.gains.stftBandGain[1][k] = e.gains.bandGain[1][k];
    }
    e.delays.writeBands(w, y0, y1);
    e.bells.releaseSample(in0, in1, readPos, w, e.filters.tables().glideCoef, sub0, sub1);

    const StftSample s = stftStep(e.stft, d0, d1, sub0, sub1, 0.0, 0.0, e.gains.stftBandGain[0],
                                  e.gains.stftBandGain[1]);
    double o0 = s.out0;
    double o1 = s.out1;
    ListenState& listen = ListenStageProbe::state(e.listening);
    listen.listenMix = glideToZero(listen.listenMix, e.filters.tables().glideCoef);
    if (listen.listenMix > 0.0)
    {
        o0 += listen.listenMix * (s.removed0 - o0);
        o1 += listen.listenMix * (s.removed1 - o1);
    }
    out0 = finiteOrAlignedDry(o0, s.dry0);
    out1 = finiteOrAlignedDry(o1, s.dry1);
}

// One sample of one bell on the Masker/Self path, a bell at a time.
void bellSampleStep(DynamicBell& bell, int b, BellDelayLine& line, const BellChunk& chunk,
                    double in0, double in1, int readPos, int writePos, bool primed,
                    double glideCoef, double levelDecay, double& sub0, double& sub1, double& y0,
                    double& y1)
{
    const double z0 = bell.bellFilter0.step(in0);
    const double z1 = bell.bellFilter1.step(in1);
    line.lanes[writePos][bellLane(b, 0)] = z0;
    line.lanes[writePos][bellLane(b, 1)] = z1;
    followEnvelope(bell.bellEnvelope0, z0, bell.bellAttack, bell.bellRelease);
    followEnvelope(bell.bellEnvelope1, z1, bell.bellAttack, bell.bellRelease);
    if (!primed)
    {
        y0 = 0.0;
        y1 = 0.0;
        return;
    }
    y0 = line.lanes[readPos][bellLane(b, 0)];
    y1 = line.lanes[readPos][bellLane(b, 1)];
    double target0 = 1.0;
    double target1 = 1.0;
    if (chunk.active)
    {
        target0 = gateStep(bell.bellGateOpen0, bell.bellGateAmount0, bell.bellEnvelope0, chunk.gate,
                           levelDecay);
        target1 = gateStep(bell.bellGateOpen1, bell.bellGateAmount1, bell.bellEnvelope1, chunk.gate,
                           levelDecay);
    }
    glideGain(bell.bellGain0, target0, glideCoef);
    glideGain(bell.bellGain1, target1, glideCoef);
    sub0 += (1.0 - bell.bellGain0) * y0;
    sub1 += (1.0 - bell.bellGain1) * y1;
    const double d0 = 1.0 - bell.bellGain0;
    const double d1 = 1.0 - bell.bellGain1;
    const double v = d0 > d1 ? d0 : d1;
    if (v > 1e-6)
    {
        bell.dipSum += v;
        ++bell.dipCount;
    }
}

void accumulateLocalSource(EnginePartsProbe& e, const double* a, const double* b, int n,
                           MidLevelSums& sums)
{
    double total = 0.0;
    for (int t = 0; t < n; ++t)
    {
        const double mid = (analysedSample(a[t]) + analysedSample(b[t])) * 0.5;
        e.filters.analysis().accumulate(mid, sums.cumulative);
        total += mid * mid;
    }
    sums.midEnergy += total;
    sums.count += n;
}

// One sample of the period's stereo sums, the band envelopes and the dip
// meter's input: straight arithmetic over all bands that the compiler can
// vectorise.
void followBands(MaskerPeriod& p, GateState& gates, const BandTables& tables,
                 const double x0[kBandCount], const double x1[kBandCount],
                 const double meterMid[kBandCount])
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
        const double mid = meterMid[m];
        p.meterSums.inEnergy[m] += mid * mid;
    }
}

// Adds this sample's larger channel dip of each band to the meter sums.
void countDips(const BandGains& gains, MaskingMeterSums& sums)
{
    for (int m = 0; m < kBandCount; ++m)
    {
        const double v = std::max(1.0 - gains.bandGain[0][m], 1.0 - gains.bandGain[1][m]);
        const bool dipped = v > 1e-6;
        sums.dipSum[m] += dipped ? v : 0.0;
        sums.dipCount[m] += dipped ? 1 : 0;
    }
}

// One sample of the gates, glides and stereo link of every band.
void stepBandGates(GateState& gates, BandGains& gains, const StereoStatistics& stereo,
                   const BandTables& tables, const GateSetup setups[kBandCount])
{
    for (int m = 0; m < kBandCount; ++m)
    {
        const GateSetup& g = setups[m];
        if (!g.eligibleOpen && gates.gateGain0[m] == 1.0 && gates.gateGain1[m] == 1.0)
        {
            // Not considered in either state and at rest: the full step would
            // close the gates and leave every gain at 1.0.
            gates.gateOpen0[m] = 0;
            gates.gateOpen1[m] = 0;
            gates.gateAmount0[m] = 0.0;
            gates.gateAmount1[m] = 0.0;
            gains.bandGain[0][m] = 1.0;
            gains.bandGain[1][m] = 1.0;
            continue;
        }
        const double t0 = gateStep(gates.gateOpen0[m], gates.gateAmount0[m], gates.bandEnvelope0[m],
                                   g, tables.levelDecay);
        const double t1 = gateStep(gates.gateOpen1[m], gates.gateAmount1[m], gates.bandEnvelope1[m],
                                   g, tables.levelDecay);
        glideGain(gates.gateGain0[m], t0, tables.glideCoef);
        glideGain(gates.gateGain1[m], t1, tables.glideCoef);
        double g0 = gates.gateGain0[m];
        double g1 = gates.gateGain1[m];
        linkChannelGains(g0, g1, stereo.stereoLink[m], stereo.linkRatio[m]);
        gains.bandGain[0][m] = g0;
        gains.bandGain[1][m] = g1;
    }
}

// The four lowest bands are removed here in the time domain (added to
// sub0/sub1); the others are handed to the spectral stage.
void removeLowBands(BandGains& gains, const double* delayed0, const double* delayed1, double& sub0,
                    double& sub1)
{
    for (int m = 0; m < kTimeDomainBands; ++m)
    {
        gains.stftBandGain[0][m] = 1.0;
        gains.stftBandGain[1][m] = 1.0;
        sub0 += delayed0[m] * (1.0 - gains.bandGain[0][m]);
        sub1 += delayed1[m] * (1.0 - gains.bandGain[1][m]);
    }
    for (int m = kTimeDomainBands; m < kBandCount; ++m)
    {
        gains.stftBandGain[0][m] = gains.bandGain[0][m];
        gains.stftBandGain[1][m] = gains.bandGain[1][m];
    }
}

// Bell Listen's selection as the output hears it: a bell's signal leaves the
// spectral stage kStftSize samples after it entered, so the crossfade follows
// the selection that late. Returns the bell whose signal enters the stage now
// (kept while a crossfade away from it still plays).
int stepBellListenSelection(ListenState& l, int asked)
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
void applyListenMixes(ListenState& l, double glideCoef, const StftSample& s, double listenTarget,
                      double& o0, double& o1)
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

void releaseChunk(EnginePartsProbe& e, const double* in0, const double* in1, double* out0,
                  double* out1, int n, int slot)
{
    e.meters.peersMeter.store(holderCountOf(e.registry->slots[slot]), std::memory_order_relaxed);

    if (!e.anyDipOrListen())
    {
        // Settled: nothing to release. Band and bell filters rest untouched.
        e.path.settle();
        for (int t = 0; t < n; ++t)
        {
            const double x0 = in0[t];
            const double x1 = in1[t];
            const DryTap dry = e.delays.exchangeDry(x0, x1);
            e.delays.advance();
            const StftSample s =
                stftStep(e.stft, dry.d0, dry.d1, 0.0, 0.0, 0.0, 0.0, e.filters.tables().unityGains,
                         e.filters.tables().unityGains);
            out0[t] = finiteOrAlignedDry(s.out0, s.dry0);
            out1[t] = finiteOrAlignedDry(s.out1, s.dry1);
        }
        return;
    }

    double y0[kBandCount];
    double y1[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double x0 = in0[t];
        const double x1 = in1[t];
        e.filters.splitInput(0, x0, y0);
        e.filters.splitInput(1, x1, y1);

        const auto [r, d0, d1] = e.delays.exchangeDry(x0, x1);
        releaseSample(e, x0, x1, y0, y1, r, d0, d1, out0[t], out1[t]);
        e.delays.advance();
    }
}

void sourceChunk(EnginePartsProbe& e, const double* in0, const double* in1, double* out0,
                 double* out1, int n, int64_t hostSamplePos, int slot)
{
    (void)hostSamplePos; // the period's start position is what gets published
    e.path.leaveRest();
    const bool releasing = e.anyDipOrListen();

    if (e.period.starts())
        e.source.reset();
    MidLevelSums& sums = SourceStageProbe::sums(e.source);
    double midEnergy = 0.0;
    double energy0 = 0.0;
    double energy1 = 0.0;

    double y0[kBandCount];
    double y1[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double x0 = in0[t];
        const double x1 = in1[t];

        // A non-finite sample counts as silence in every measurement.
        const double a0 = analysedSample(x0);
        const double a1 = analysedSample(x1);
        const double mid = (a0 + a1) * 0.5;
        e.filters.analysis().accumulate(mid, sums.cumulative);
        midEnergy += mid * mid;
        energy0 += a0 * a0;
        energy1 += a1 * a1;

        e.filters.splitInput(0, x0, y0);
        e.filters.splitInput(1, x1, y1);

        const int w = e.delays.delayWritePos;
        const auto [r, d0, d1] = e.delays.exchangeDry(x0, x1);

        if (releasing)
        {
            // Dips left from a previous role fade exactly as on the release path.
            releaseSample(e, x0, x1, y0, y1, r, d0, d1, out0[t], out1[t]);
        }
        else
        {
            e.delays.writeBands(w, y0, y1);
            const StftSample s =
                stftStep(e.stft, d0, d1, 0.0, 0.0, 0.0, 0.0, e.filters.tables().unityGains,
                         e.filters.tables().unityGains);
            out0[t] = finiteOrAlignedDry(s.out0, s.dry0);
            out1[t] = finiteOrAlignedDry(s.out1, s.dry1);
        }
        e.delays.advance();
    }
    sums.midEnergy += midEnergy;
    sums.energy0 += energy0;
    sums.energy1 += energy1;
    sums.count += n;

    if (e.period.closesWith(n))
        e.source.publishPeriod(*e.registry, *e.link, slot, e.period.startPos(),
                               e.chunkSettings.priority, e.filters.tables().sampleRate, e.meters);
    else
        e.meters.peersMeter.store(holderCountOf(e.registry->slots[slot]),
                                  std::memory_order_relaxed);
}

void maskerChunk(EnginePartsProbe& e, const double* in0, const double* in1, double* out0,
                 double* out1, int n, int64_t hostSamplePos, bool transportRunning,
                 const double* side0, const double* side1)
{
    if (n <= 0)
        return;
    MaskerPeriod& p = MaskingStageProbe::period(e.masking);
    GateState& gates = MaskingStageProbe::gates(e.masking);
    if (e.period.starts())
        e.beginMaskerPeriod(hostSamplePos, transportRunning, side0 != nullptr);

    // A start from rest: the delay lines refill before anything is gated.
    if (e.path.leaveRest())
    {
        gates.warmupCount = 0;
        e.bells.settle();
    }

    // The local source of the next period's decisions.
    if (p.decision.localSource)
    {
        if (p.decision.sidechainSource)
        {
            // A sidechain that went away mid-period counts as silence.
            if (side0 != nullptr)
                accumulateLocalSource(e, side0, side1 != nullptr ? side1 : side0, n, p.localSums);
            else
                p.localSums.count += n;
        }
        else
            accumulateLocalSource(e, in0, in1, n, p.localSums);
    }

    // Listen: the parameter, or the link matrix's solo of this instance's slot.
    const MaskingDecision& c = p.decision;
    const bool soloed = c.holdsSlot && isSlotSoloed(*e.registry, c.heldSlot);
    const double listenTarget = (e.chunkSettings.listen != 0 || soloed) ? 1.0 : 0.0;
    const int bellListenSetting =
        (e.chunkSettings.bellListen >= 0 && e.chunkSettings.bellListen < kBellCount)
            ? e.chunkSettings.bellListen
            : -1;

    MaskingMeterSums& sums = p.meterSums;
    double x0[kBandCount];
    double x1[kBandCount];
    double outBand[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double a0 = in0[t];
        const double a1 = in1[t];
        e.filters.splitInput(0, a0, x0);
        e.filters.splitInput(1, a1, x1);

        const int w = e.delays.delayWritePos;
        const auto [r, d0, d1] = e.delays.exchangeDry(a0, a1);

        const bool primed = gates.warmupCount >= e.delays.lookaheadDelay;
        if (!primed)
            ++gates.warmupCount;

        const double* delayed0 = e.delays.lowBands(r, 0);
        const double* delayed1 = e.delays.lowBands(r, 1);
        // The dip meter compares with the input as the spectral stage sees it.
        const int rMeter = (r + kDelayLength - kStftSize) % kDelayLength;
        const double* meterMid = e.delays.midBands(rMeter);

        followBands(p, gates, e.filters.tables(), x0, x1, meterMid);

        // Gates, glides and the stereo link, once the lookahead has filled.
        if (primed)
            stepBandGates(gates, e.gains, MaskingStageProbe::stereo(e.masking), e.filters.tables(),
                          p.gates);

        double sub0 = 0.0;
        double sub1 = 0.0;
        removeLowBands(e.gains, delayed0, delayed1, sub0, sub1);
        countDips(e.gains, sums);
        e.delays.writeBands(w, x0, x1);

        // Bells, and the signal Bell Listen hands to the spectral stage.
        const int bellFed = stepBellListenSelection(ListenStageProbe::state(e.listening),
                                                    primed ? bellListenSetting : -1);
        double bellSignal0 = 0.0;
        double bellSignal1 = 0.0;
        for (int b = 0; b < kBellCount; ++b)
        {
            double y0;
            double y1;
            bellSampleStep(BellStageProbe::bell(e.bells, b), b, BellStageProbe::line(e.bells),
                           p.bells[b], a0, a1, r, w, primed, e.filters.tables().glideCoef,
                           e.filters.tables().levelDecay, sub0, sub1, y0, y1);
            if (b == bellFed)
            {
                bellSignal0 = y0;
                bellSignal1 = y1;
            }
        }
        e.delays.delayWritePos = (w + 1) % kDelayLength;

        const StftSample s = stftStep(e.stft, d0, d1, sub0, sub1, bellSignal0, bellSignal1,
                                      e.gains.stftBandGain[0], e.gains.stftBandGain[1]);

        e.filters.splitOutput(0.5 * (s.out0 + s.out1), outBand);
        for (int m = 0; m < kBandCount; ++m)
            sums.outEnergy[m] += outBand[m] * outBand[m];

        double o0 = s.out0;
        double o1 = s.out1;
        applyListenMixes(ListenStageProbe::state(e.listening), e.filters.tables().glideCoef, s,
                         listenTarget, o0, o1);
        out0[t] = finiteOrAlignedDry(o0, s.dry0);
        out1[t] = finiteOrAlignedDry(o1, s.dry1);
    }

    if (e.period.closesWith(n))
        e.closeMaskerPeriod();
}

void slice(EnginePartsProbe& e, const double* in0, const double* in1, double* out0, double* out1,
           int n, int64_t hostSamplePos, bool transportRunning, const double* side0,
           const double* side1)
{
    // One consistent copy of the settings for the whole slice.
    e.chunkSettings = e.settings.snapshot();
    const int role = e.chunkSettings.role;
    const int slot = slotOfChannelIndex(e.chunkSettings.channelIndex);
    const bool bypassOn = e.chunkSettings.bypass != 0 || e.hostBypassed;

    if (e.path.changesTo(role, bypassOn))
        e.resetOnRoleChange(role, bypassOn);

    if (e.period.starts())
        e.period.begin(hostSamplePos);

    // The idle thread watches this to tell whether audio is running.
    e.link->blockCounter.fetch_add(1, std::memory_order_relaxed);
    attach(*e.registry, *e.link, role, slot, bypassOn, e.chunkSettings.sidechainOn != 0);

    if (bypassOn || role == kRoleOff)
        releaseChunk(e, in0, in1, out0, out1, n, slot);
    else if (role == kRoleSource)
        sourceChunk(e, in0, in1, out0, out1, n, hostSamplePos, slot);
    else
        maskerChunk(e, in0, in1, out0, out1, n, hostSamplePos, transportRunning, side0, side1);

    e.period.advance(n);
}

} // namespace

void fft(double* re, double* im, int n, int direction)
{
    for (int i = 1, j = 0; i < n; ++i)
    {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
        {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }

    for (int d = 2; d <= n; d <<= 1)
    {
        const double angle = direction * 2.0 * std::numbers::pi / d;
        const double stepRe = std::cos(angle);
        const double stepIm = std::sin(angle);
        const int half = d >> 1;
        // The twiddle of butterfly k in every group is the k-th step of the
        // recurrence from 1; running all groups for one k reuses it, so the
        // recurrence's dependency chain is half long instead of n/2.
        double wRe = 1.0;
        double wIm = 0.0;
        for (int k = 0; k < half; ++k)
        {
            for (int group = 0; group < n; group += d)
            {
                const int lo = group + k;
                const int up = lo + half;
                const double tRe = wRe * re[up] - wIm * im[up];
                const double tIm = wRe * im[up] + wIm * re[up];
                re[up] = re[lo] - tRe;
                im[up] = im[lo] - tIm;
                re[lo] += tRe;
                im[lo] += tIm;
            }
            const double nextRe = wRe * stepRe - wIm * stepIm;
            wIm = wRe * stepIm + wIm * stepRe;
            wRe = nextRe;
        }
    }
}

void processChunk(SpectralEngine& engine, const double* in0, const double* in1, double* out0,
                  double* out1, int n, int64_t hostSamplePos, bool transportRunning,
                  const double* side0, const double* side1)
{
    EnginePartsProbe e(engine);
    const FloatModeGuard floatMode;
    // Slices end where an analysis period ends, so the block-rate work runs
    // once per period whatever the host's block size.
    int done = 0;
    while (done < n)
    {
        const int m = std::min(n - done, e.samplesLeftInPeriod());
        slice(e, in0 + done, in1 + done, out0 + done, out1 + done, m,
              hostSamplePos >= 0 ? hostSamplePos + done : -1, transportRunning,
              side0 != nullptr ? side0 + done : nullptr, side1 != nullptr ? side1 + done : nullptr);
        done += m;
    }
}

void stftFrame(StftFrameEngine& s, const double* gains0, const double* gains1)
{
    frame(StftFrameProbe::state(s), gains0, gains1);
}

} // namespace ostrel::reference
