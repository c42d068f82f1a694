#include "engine/stft_frame_engine.h"

#include "engine/vector_clones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>

namespace ostrel
{

void StftFrameEngine::init(const double edgeHz[kEdgeCount], double sampleRate)
{
    for (int i = 0; i < kStftSize; ++i)
        window[i] = std::sqrt(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kStftSize));

    double norm = 0.0;
    for (int i = 0; i < kStftSize; i += kStftHop)
        norm += window[i] * window[i];
    overlapNorm = norm > 1e-9 ? norm : 1.0;

    for (int j = 0; j < kStftBins; ++j)
    {
        const double hz = j * sampleRate / kStftSize;
        int band = kEdgeCount;
        for (int e = 0; e < kEdgeCount; ++e)
        {
            if (edgeHz[e] > hz)
            {
                band = e;
                break;
            }
        }
        bandOfBin[j] = band;
    }
    const int16_t* reversed = fftBitReversal();
    for (int j = 0; j < kStftSize; ++j)
        bandAtPosition[reversed[j]] = bandOfBin[std::min(j, kStftSize - j)];

    std::memset(inputRing, 0, sizeof(inputRing));
    std::memset(dryRing, 0, sizeof(dryRing));
    std::memset(subtractRing, 0, sizeof(subtractRing));
    std::memset(bellListenRing, 0, sizeof(bellListenRing));
    std::memset(outputRing, 0, sizeof(outputRing));
    std::memset(fftRe, 0, sizeof(fftRe));
    std::memset(fftIm, 0, sizeof(fftIm));
    std::memset(maskedRe, 0, sizeof(maskedRe));
    std::memset(maskedIm, 0, sizeof(maskedIm));
    ringPos = 0;
    hopCounter = 0;
    // Empty rings: a plain delay from the start.
    quietSamples = kStftSize;
    dryRingsInLine = false;
}

void StftFrameEngine::refillDryRings(const double* const line[2], int lineLength, int newest)
{
    dryRingsInLine = false;
    for (int c = 0; c < 2; ++c)
    {
        int from = newest;
        for (int k = 1; k <= kStftSize; ++k)
        {
            const int p = (ringPos - k) & (kStftSize - 1);
            const double x = line[c][from];
            dryRing[c][p] = x;
            inputRing[c][p] = finiteOrZero(x);
            from = from == 0 ? lineLength - 1 : from - 1;
        }
    }
}

namespace
{

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

// out[k] += frame[k] * window[k] * scale for both channels, k < n.
void addWindowed(double* __restrict out0, double* __restrict out1, const double* __restrict re,
                 const double* __restrict im, const double* __restrict window, double scale, int n)
{
    for (int k = 0; k < n; ++k)
    {
        const double w = window[k] * scale;
        out0[k] += re[k] * w;
        out1[k] += im[k] * w;
    }
}

} // namespace

void StftFrameEngine::processFrame(const double* gains0, const double* gains1)
{
    const bool dip0 = anyGainBelowUnity(gains0);
    const bool dip1 = anyGainBelowUnity(gains1);
    if (dip0 || dip1)
        quietSamples = 0;
    if (dip0 && dip1)
        processBothChannels(gains0, gains1);
    else if (dip0)
        processChannel(0, gains0);
    else if (dip1)
        processChannel(1, gains1);
}

void StftFrameEngine::processChannel(int channel, const double* gains)
{
    const double* in = inputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
    {
        fftRe[k] = in[(ringPos + k) & (kStftSize - 1)] * window[k];
        fftIm[k] = 0.0;
    }
    fft(fftRe, fftIm, -1);

    // Keep only what the gains take away, conjugate-symmetric so the result is real.
    for (int j = 0; j < kStftBins; ++j)
    {
        const double m = removedShare(gains[bandOfBin[j]]);
        fftRe[j] *= m;
        fftIm[j] *= m;
        if (j > 0 && j < kStftSize / 2)
        {
            fftRe[kStftSize - j] = fftRe[j];
            fftIm[kStftSize - j] = -fftIm[j];
        }
    }
    fft(fftRe, fftIm, +1);

    const double scale = 1.0 / (overlapNorm * kStftSize);
    double* out = outputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
        out[(ringPos + k) & (kStftSize - 1)] += fftRe[k] * window[k] * scale;
}

namespace
{

// The transform's fixed tables: the bit-reversal swaps, and the forward
// twiddles of every stage (stage d's half starts at index d / 2 - 1... laid
// out as stage after stage, kStftSize - 1 entries in all).
struct FftTables
{
    int16_t bitReversed[kStftSize];
    int16_t swapA[kStftSize / 2];
    int16_t swapB[kStftSize / 2];
    int swaps = 0;
    double twiddleRe[kStftSize];
    double twiddleIm[kStftSize];
    // The same twiddles with each stage's entries in bit-reversed order: the
    // transform that leaves its result bit-reversed takes them in that order.
    double reversedTwiddleRe[kStftSize];
    double reversedTwiddleIm[kStftSize];

    FftTables()
    {
        const int n = kStftSize;
        bitReversed[0] = 0;
        for (int i = 1, j = 0; i < n; ++i)
        {
            int bit = n >> 1;
            for (; j & bit; bit >>= 1)
                j ^= bit;
            j ^= bit;
            bitReversed[i] = static_cast<int16_t>(j);
            if (i < j)
            {
                swapA[swaps] = static_cast<int16_t>(i);
                swapB[swaps] = static_cast<int16_t>(j);
                ++swaps;
            }
        }
        int at = 0;
        for (int d = 2; d <= n; d <<= 1)
        {
            const double angle = -2.0 * std::numbers::pi / d;
            const double stepRe = std::cos(angle);
            const double stepIm = std::sin(angle);
            double wRe = 1.0;
            double wIm = 0.0;
            for (int k = 0; k < d / 2; ++k)
            {
                twiddleRe[at + k] = wRe;
                twiddleIm[at + k] = wIm;
                const double nextRe = wRe * stepRe - wIm * stepIm;
                wIm = wRe * stepIm + wIm * stepRe;
                wRe = nextRe;
            }
            at += d / 2;
        }
        // t reversed within a stage's log2(half) bits is its reversal over
        // all ten bits, shifted down.
        at = 0;
        for (int half = 1; half < n; half <<= 1)
        {
            for (int t = 0; t < half; ++t)
            {
                const int k = bitReversed[t] / (n / half);
                reversedTwiddleRe[at + t] = twiddleRe[at + k];
                reversedTwiddleIm[at + t] = twiddleIm[at + k];
            }
            at += half;
        }
    }
};

const FftTables& fftTables()
{
    static const FftTables tables;
    return tables;
}

// One butterfly: the upper point turned by the twiddle c, then sum and difference.
inline void butterfly(double& reLo, double& imLo, double& reUp, double& imUp, double cRe,
                      double cIm)
{
    const double tRe = cRe * reUp - cIm * imUp;
    const double tIm = cRe * imUp + cIm * reUp;
    reUp = reLo - tRe;
    imUp = imLo - tIm;
    reLo += tRe;
    imLo += tIm;
}

// The first two stages (groups of two, then of four) for each group of four
// points held in registers: the same butterflies with the same twiddles as
// stage by stage, without the loop of one or two butterflies per group.
template <bool Inverse>
inline void fftFirstStages(double* __restrict re, double* __restrict im, const double* wRe,
                           const double* wIm)
{
    double cRe[3];
    double cIm[3];
    for (int k = 0; k < 3; ++k)
    {
        cRe[k] = wRe[k];
        cIm[k] = Inverse ? -wIm[k] : wIm[k];
    }
    for (int group = 0; group < kStftSize; group += 4)
    {
        double r[4];
        double i[4];
        for (int k = 0; k < 4; ++k)
        {
            r[k] = re[group + k];
            i[k] = im[group + k];
        }
        butterfly(r[0], i[0], r[1], i[1], cRe[0], cIm[0]);
        butterfly(r[2], i[2], r[3], i[3], cRe[0], cIm[0]);
        butterfly(r[0], i[0], r[2], i[2], cRe[1], cIm[1]);
        butterfly(r[1], i[1], r[3], i[3], cRe[2], cIm[2]);
        for (int k = 0; k < 4; ++k)
        {
            re[group + k] = r[k];
            im[group + k] = i[k];
        }
    }
}

// Two stages in one pass, d and 2d: each group of 2d points is four runs of
// d / 2 points, whose butterflies of both stages are made in registers. The
// same butterflies with the same twiddles as stage after stage, in half the
// passes over the arrays.
template <bool Inverse, int d>
inline void fftStagePair(double* __restrict re, double* __restrict im, const double* wRe,
                         const double* wIm, const double* wRe2, const double* wIm2)
{
    constexpr int quarter = d >> 1;
    for (int group = 0; group < kStftSize; group += 2 * d)
    {
        double* __restrict reLo = re + group;
        double* __restrict imLo = im + group;
        double* __restrict reUp = reLo + d;
        double* __restrict imUp = imLo + d;
        for (int k = 0; k < quarter; ++k)
        {
            const double cRe = wRe[k];
            const double cIm = Inverse ? -wIm[k] : wIm[k];
            const double c2Re = wRe2[k];
            const double c2Im = Inverse ? -wIm2[k] : wIm2[k];
            const double c3Re = wRe2[quarter + k];
            const double c3Im = Inverse ? -wIm2[quarter + k] : wIm2[quarter + k];
            double r0 = reLo[k], i0 = imLo[k], r1 = reLo[quarter + k], i1 = imLo[quarter + k];
            double r2 = reUp[k], i2 = imUp[k], r3 = reUp[quarter + k], i3 = imUp[quarter + k];
            butterfly(r0, i0, r1, i1, cRe, cIm);
            butterfly(r2, i2, r3, i3, cRe, cIm);
            butterfly(r0, i0, r2, i2, c2Re, c2Im);
            butterfly(r1, i1, r3, i3, c3Re, c3Im);
            reLo[k] = r0;
            imLo[k] = i0;
            reLo[quarter + k] = r1;
            imLo[quarter + k] = i1;
            reUp[k] = r2;
            imUp[k] = i2;
            reUp[quarter + k] = r3;
            imUp[quarter + k] = i3;
        }
    }
}

} // namespace

// Two stages at a time, each group's butterflies in a row: independent,
// contiguous and so vectorised, with the twiddles read from the table. Each
// pair's group size is a constant, so the compiler sees every loop's length.
OSTREL_VECTOR_BODY void fftFromBitReversedBody(double* re, double* im, int direction)
{
    const FftTables& t = fftTables();
    if (direction < 0)
        fftFirstStages<false>(re, im, t.twiddleRe, t.twiddleIm);
    else
        fftFirstStages<true>(re, im, t.twiddleRe, t.twiddleIm);
    // Stages 8 and 16, 32 and 64, 128 and 256, 512 and 1024: their twiddles
    // start after the 1 + 2 of the first two.
    static_assert(kStftSize == 1024);
    const double* wRe = t.twiddleRe;
    const double* wIm = t.twiddleIm;
    if (direction < 0)
    {
        fftStagePair<false, 8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
        fftStagePair<false, 32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
        fftStagePair<false, 128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
        fftStagePair<false, 512>(re, im, wRe + 255, wIm + 255, wRe + 511, wIm + 511);
    }
    else
    {
        fftStagePair<true, 8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
        fftStagePair<true, 32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
        fftStagePair<true, 128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
        fftStagePair<true, 512>(re, im, wRe + 255, wIm + 255, wRe + 511, wIm + 511);
    }
}

void fftFromBitReversed(double* re, double* im, int direction)
{
    OSTREL_VECTOR_DISPATCH(fftFromBitReversedBody(re, im, direction));
}

namespace
{

// Stages d and 2d of the forward transform on points kept at bit-reversed
// positions (they enter in natural order). Stage d pairs points kStftSize / d
// apart, and every butterfly of a run of them takes the same twiddle: the
// butterflies of fftFromBitReversed with their own twiddles, so the results
// are its own, only placed bit-reversed.
template <int d>
inline void reversedStagePair(double* __restrict re, double* __restrict im, const double* cRe,
                              const double* cIm, const double* c2Re, const double* c2Im)
{
    constexpr int span = kStftSize / d;
    constexpr int span2 = span / 2;
    for (int t = 0; t < d / 2; ++t)
    {
        const double wRe = cRe[t], wIm = cIm[t];
        const double loRe = c2Re[2 * t], loIm = c2Im[2 * t];
        const double upRe = c2Re[2 * t + 1], upIm = c2Im[2 * t + 1];
        double* __restrict r = re + t * 2 * span;
        double* __restrict i = im + t * 2 * span;
        for (int u = 0; u < span2; ++u)
        {
            double r0 = r[u], i0 = i[u], r1 = r[span2 + u], i1 = i[span2 + u];
            double r2 = r[span + u], i2 = i[span + u];
            double r3 = r[span + span2 + u], i3 = i[span + span2 + u];
            butterfly(r0, i0, r2, i2, wRe, wIm);
            butterfly(r1, i1, r3, i3, wRe, wIm);
            butterfly(r0, i0, r1, i1, loRe, loIm);
            butterfly(r2, i2, r3, i3, upRe, upIm);
            r[u] = r0;
            i[u] = i0;
            r[span2 + u] = r1;
            i[span2 + u] = i1;
            r[span + u] = r2;
            i[span + u] = i2;
            r[span + span2 + u] = r3;
            i[span + span2 + u] = i3;
        }
    }
}

} // namespace

OSTREL_VECTOR_BODY void fftToBitReversedBody(double* re, double* im)
{
    const FftTables& t = fftTables();
    const double* wRe = t.reversedTwiddleRe;
    const double* wIm = t.reversedTwiddleIm;
    static_assert(kStftSize == 1024);
    reversedStagePair<2>(re, im, wRe, wIm, wRe + 1, wIm + 1);
    reversedStagePair<8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
    reversedStagePair<32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
    reversedStagePair<128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
    reversedStagePair<512>(re, im, wRe + 255, wIm + 255, wRe + 511, wIm + 511);
}

void fftToBitReversed(double* re, double* im)
{
    OSTREL_VECTOR_DISPATCH(fftToBitReversedBody(re, im));
}

const int16_t* fftBitReversal()
{
    return fftTables().bitReversed;
}

void fft(double* re, double* im, int direction)
{
    const FftTables& t = fftTables();
    for (int i = 0; i < t.swaps; ++i)
    {
        std::swap(re[t.swapA[i]], re[t.swapB[i]]);
        std::swap(im[t.swapA[i]], im[t.swapB[i]]);
    }
    fftFromBitReversed(re, im, direction);
}

namespace
{

// The forward transform's first two stages on a windowed frame whose four
// quarters come from the rings (every pointer its own run, none overlapping
// the arrays written).
OSTREL_INLINE_IN_CLONES void windowedFirstStages(
    const double* __restrict a0, const double* __restrict a1, const double* __restrict a2,
    const double* __restrict a3, const double* __restrict b0, const double* __restrict b1,
    const double* __restrict b2, const double* __restrict b3, const double* __restrict window,
    double* __restrict re, double* __restrict im, const double* c)
{
    constexpr int q = kStftSize / 4;
    const double cRe = c[0], cIm = c[1], loRe = c[2], loIm = c[3], upRe = c[4], upIm = c[5];
    for (int u = 0; u < q; ++u)
    {
        double r0 = a0[u] * window[u], i0 = b0[u] * window[u];
        double r1 = a1[u] * window[q + u], i1 = b1[u] * window[q + u];
        double r2 = a2[u] * window[2 * q + u], i2 = b2[u] * window[2 * q + u];
        double r3 = a3[u] * window[3 * q + u], i3 = b3[u] * window[3 * q + u];
        butterfly(r0, i0, r2, i2, cRe, cIm);
        butterfly(r1, i1, r3, i3, cRe, cIm);
        butterfly(r0, i0, r1, i1, loRe, loIm);
        butterfly(r2, i2, r3, i3, upRe, upIm);
        re[u] = r0;
        im[u] = i0;
        re[q + u] = r1;
        im[q + u] = i1;
        re[2 * q + u] = r2;
        im[2 * q + u] = i2;
        re[3 * q + u] = r3;
        im[3 * q + u] = i3;
    }
}

// The forward transform of the windowed frame of both channels' rings
// (channel 0 real, channel 1 imaginary), whose start is on a hop: its first
// two stages take their points straight from the ring's four quarters. The
// same products and butterflies as windowing into the arrays and then
// fftToBitReversed, bit for bit.
OSTREL_INLINE_IN_CLONES void windowedToBitReversed(const double* in0, const double* in1, int start,
                                                   const double* window, double* re, double* im)
{
    static_assert(kStftSize == 4 * kStftHop);
    const FftTables& t = fftTables();
    const double* wRe = t.reversedTwiddleRe;
    const double* wIm = t.reversedTwiddleIm;
    const double c[6] = {wRe[0], wIm[0], wRe[1], wIm[1], wRe[2], wIm[2]};
    constexpr int q = kStftSize / 4;
    const int s1 = (start + q) & (kStftSize - 1);
    const int s2 = (start + 2 * q) & (kStftSize - 1);
    const int s3 = (start + 3 * q) & (kStftSize - 1);
    windowedFirstStages(in0 + start, in0 + s1, in0 + s2, in0 + s3, in1 + start, in1 + s1, in1 + s2,
                        in1 + s3, window, re, im, c);
    reversedStagePair<8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
    reversedStagePair<32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
    reversedStagePair<128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
    reversedStagePair<512>(re, im, wRe + 255, wIm + 255, wRe + 511, wIm + 511);
}

// The inverse transform's last two stages on the one group of all points,
// added windowed and scaled into the four runs of each output ring.
OSTREL_INLINE_IN_CLONES void
lastStagesAdded(const double* __restrict re, const double* __restrict im,
                const double* __restrict window, double scale, double* __restrict a0,
                double* __restrict a1, double* __restrict a2, double* __restrict a3,
                double* __restrict b0, double* __restrict b1, double* __restrict b2,
                double* __restrict b3, const double* __restrict c1Re, const double* __restrict c1Im,
                const double* __restrict c2Re, const double* __restrict c2Im)
{
    constexpr int q = kStftSize / 4;
    for (int k = 0; k < q; ++k)
    {
        const double cRe = c1Re[k], cIm = -c1Im[k];
        const double dRe = c2Re[k], dIm = -c2Im[k];
        const double eRe = c2Re[q + k], eIm = -c2Im[q + k];
        double r0 = re[k], i0 = im[k], r1 = re[q + k], i1 = im[q + k];
        double r2 = re[2 * q + k], i2 = im[2 * q + k];
        double r3 = re[3 * q + k], i3 = im[3 * q + k];
        butterfly(r0, i0, r1, i1, cRe, cIm);
        butterfly(r2, i2, r3, i3, cRe, cIm);
        butterfly(r0, i0, r2, i2, dRe, dIm);
        butterfly(r1, i1, r3, i3, eRe, eIm);
        const double w0 = window[k] * scale;
        const double w1 = window[q + k] * scale;
        const double w2 = window[2 * q + k] * scale;
        const double w3 = window[3 * q + k] * scale;
        a0[k] += r0 * w0;
        b0[k] += i0 * w0;
        a1[k] += r1 * w1;
        b1[k] += i1 * w1;
        a2[k] += r2 * w2;
        b2[k] += i2 * w2;
        a3[k] += r3 * w3;
        b3[k] += i3 * w3;
    }
}

// The inverse transform of points in bit-reversed order, whose last two
// stages add their results, windowed and scaled, into the two output rings
// from a start on a hop (channel 0 from the real part, channel 1 from the
// imaginary part). The same butterflies and products as the inverse followed
// by the windowed overlap-add, bit for bit.
OSTREL_INLINE_IN_CLONES void inverseAddedToRing(double* re, double* im, const double* window,
                                                double scale, double* out0, double* out1, int start)
{
    const FftTables& t = fftTables();
    fftFirstStages<true>(re, im, t.twiddleRe, t.twiddleIm);
    const double* wRe = t.twiddleRe;
    const double* wIm = t.twiddleIm;
    fftStagePair<true, 8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
    fftStagePair<true, 32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
    fftStagePair<true, 128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
    constexpr int q = kStftSize / 4;
    const int s1 = (start + q) & (kStftSize - 1);
    const int s2 = (start + 2 * q) & (kStftSize - 1);
    const int s3 = (start + 3 * q) & (kStftSize - 1);
    lastStagesAdded(re, im, window, scale, out0 + start, out0 + s1, out0 + s2, out0 + s3,
                    out1 + start, out1 + s1, out1 + s2, out1 + s3, wRe + 255, wIm + 255, wRe + 511,
                    wIm + 511);
}

} // namespace

// Both channels are real, so one complex transform carries the two: channel 0
// in the real part, channel 1 in the imaginary part. Each channel's spectrum
// is separated through the conjugate symmetry, masked on its own, and the two
// masked (conjugate-symmetric) spectra are recombined so the inverse gives
// channel 0 back in the real part and channel 1 in the imaginary part. The
// same result as two single-channel frames, for half the transforms.
OSTREL_VECTOR_BODY void StftFrameEngine::processBothChannelsBody(const double* gains0,
                                                                 const double* gains1)
{
    // The frame enters the forward transform in natural order and leaves it
    // at bit-reversed positions, where it is masked and enters the inverse:
    // no pass reorders the points, and no loop scatters them. A frame starts
    // on a hop, so its quarters are contiguous runs of the ring: the window
    // is applied as the transform's first stages read them, and the
    // inverse's last stages add straight into the output ring.
    const bool onHop = ringPos % kStftHop == 0;
    if (onHop)
        windowedToBitReversed(inputRing[0], inputRing[1], ringPos, window, fftRe, fftIm);
    else
    {
        const double* in0 = inputRing[0];
        const double* in1 = inputRing[1];
        for (int k = 0; k < kStftSize; ++k)
        {
            const int p = (ringPos + k) & (kStftSize - 1);
            fftRe[k] = in0[p] * window[k];
            fftIm[k] = in1[p] * window[k];
        }
        fftToBitReversedBody(fftRe, fftIm);
    }

    // Each band's share, once per band rather than per bin.
    double share0[kBandCount];
    double share1[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
    {
        share0[k] = removedShare(gains0[k]);
        share1[k] = removedShare(gains1[k]);
    }
    // DC (position 0) and Nyquist (position 1) are their own mirrors: the
    // real part is channel 0's, the imaginary part channel 1's.
    for (int i : {0, 1})
    {
        maskedRe[i] = fftRe[i] * share0[bandAtPosition[i]];
        maskedIm[i] = fftIm[i] * share1[bandAtPosition[i]];
    }
    // The bins at positions [b, 2b) are the odd multiples of kStftSize / 2b,
    // and bin j's mirror kStftSize - j lies at 3b - 1 less j's position. The
    // even positions hold the bins below Nyquist.
    for (int b = 2; b < kStftSize; b *= 2)
    {
        for (int i = b; i < 2 * b; i += 2)
        {
            const int mirror = 3 * b - 1 - i;
            const double xr = fftRe[i], xi = fftIm[i];
            const double yr = fftRe[mirror], yi = fftIm[mirror];
            const double m0 = share0[bandAtPosition[i]];
            const double m1 = share1[bandAtPosition[i]];
            // Channel 0's bin A = (X[j] + conj X[n-j]) / 2,
            // channel 1's B = (X[j] - conj X[n-j]) / 2i.
            const double aRe = 0.5 * (xr + yr) * m0;
            const double aIm = 0.5 * (xi - yi) * m0;
            const double bRe = 0.5 * (xi + yi) * m1;
            const double bIm = -0.5 * (xr - yr) * m1;
            // X'[j] = A + iB, X'[n-j] = conj A + i conj B.
            maskedRe[i] = aRe - bIm;
            maskedIm[i] = aIm + bRe;
            maskedRe[mirror] = aRe + bIm;
            maskedIm[mirror] = bRe - aIm;
        }
    }
    const double scale = 1.0 / (overlapNorm * kStftSize);
    if (onHop)
    {
        inverseAddedToRing(maskedRe, maskedIm, window, scale, outputRing[0], outputRing[1],
                           ringPos);
        return;
    }
    fftFromBitReversedBody(maskedRe, maskedIm, +1);
    // The ring from ringPos on, then its start: two contiguous runs.
    const int head = kStftSize - ringPos;
    addWindowed(outputRing[0] + ringPos, outputRing[1] + ringPos, maskedRe, maskedIm, window, scale,
                head);
    addWindowed(outputRing[0], outputRing[1], maskedRe + head, maskedIm + head, window + head,
                scale, ringPos);
}

void StftFrameEngine::processBothChannels(const double* gains0, const double* gains1)
{
    OSTREL_VECTOR_DISPATCH(processBothChannelsBody(gains0, gains1));
}

} // namespace ostrel
