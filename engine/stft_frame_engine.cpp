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
    // The reversed twiddles of the last two stages as the last pair takes
    // them two groups of four at a time: stage 512's of groups 2h and 2h + 1
    // at [4h, 4h + 4) each twice, and stage 1024's of their lower and upper
    // halves in turn.
    double lastPairRe[kStftSize];
    double lastPairIm[kStftSize];
    double lastRe[kStftSize];
    double lastIm[kStftSize];

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
        for (int g = 0; g < n / 4; ++g)
        {
            const int at2 = 4 * (g / 2) + 2 * (g % 2);
            for (int k = 0; k < 2; ++k)
            {
                lastPairRe[at2 + k] = reversedTwiddleRe[n / 4 - 1 + g];
                lastPairIm[at2 + k] = reversedTwiddleIm[n / 4 - 1 + g];
                lastRe[at2 + k] = reversedTwiddleRe[n / 2 - 1 + 2 * g + k];
                lastIm[at2 + k] = reversedTwiddleIm[n / 2 - 1 + 2 * g + k];
            }
        }
    }
};

const FftTables& fftTables()
{
    static const FftTables tables;
    return tables;
}

// One butterfly: the upper point turned by the twiddle c, then sum and difference.
OSTREL_INLINE_IN_CLONES void butterfly(double& reLo, double& imLo, double& reUp, double& imUp,
                                       double cRe, double cIm)
{
    const double tRe = cRe * reUp - cIm * imUp;
    const double tIm = cRe * imUp + cIm * reUp;
    reUp = reLo - tRe;
    imUp = imLo - tIm;
    reLo += tRe;
    imLo += tIm;
}

#if defined(OSTREL_HAS_VECTOR_VERSIONS)
// Four doubles as one value: the two stages on groups of four adjacent points
// take two groups at a time and pair their points with in-register shuffles,
// where a loop across groups would gather every point four apart (three
// times the shuffles on four-wide vectors). Each lane computes what the
// scalar butterfly computes.
typedef double Quad __attribute__((vector_size(32)));

OSTREL_INLINE_IN_CLONES void loadQuad(Quad& v, const double* p)
{
    std::memcpy(&v, p, sizeof v);
}

OSTREL_INLINE_IN_CLONES void storeQuad(double* p, const Quad& v)
{
    std::memcpy(p, &v, sizeof v);
}

OSTREL_INLINE_IN_CLONES void butterfly(Quad& reLo, Quad& imLo, Quad& reUp, Quad& imUp,
                                       const Quad& cRe, const Quad& cIm)
{
    const Quad tRe = cRe * reUp - cIm * imUp;
    const Quad tIm = cRe * imUp + cIm * reUp;
    reUp = reLo - tRe;
    imUp = imLo - tIm;
    reLo += tRe;
    imLo += tIm;
}

// From groups a and b ([a0 a1 a2 a3], [b0 b1 b2 b3]) to their even and odd
// points ([a0 b0 a2 b2], [a1 b1 a3 b3]), and back.
OSTREL_INLINE_IN_CLONES void splitEvenOdd(Quad& a, Quad& b)
{
    const Quad even = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    b = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    a = even;
}

// From [x0 x1 x2 x3], [y0 y1 y2 y3] to their low and high halves
// ([x0 x1 y0 y1], [x2 x3 y2 y3]); its own inverse.
OSTREL_INLINE_IN_CLONES void splitHalves(Quad& x, Quad& y)
{
    const Quad low = __builtin_shufflevector(x, y, 0, 1, 4, 5);
    y = __builtin_shufflevector(x, y, 2, 3, 6, 7);
    x = low;
}

// Eight doubles as one value, for the AVX-512 version: the same stages on
// four groups of four points at a time, each lane computing what the scalar
// butterfly computes. Narrower versions keep the Quads (eight-double values
// there are split and shuffled lane by lane).
typedef double Oct __attribute__((vector_size(64)));

OSTREL_INLINE_IN_CLONES void loadOct(Oct& v, const double* p)
{
    std::memcpy(&v, p, sizeof v);
}

OSTREL_INLINE_IN_CLONES void storeOct(double* p, const Oct& v)
{
    std::memcpy(p, &v, sizeof v);
}

OSTREL_INLINE_IN_CLONES void butterfly(Oct& reLo, Oct& imLo, Oct& reUp, Oct& imUp, const Oct& cRe,
                                       const Oct& cIm)
{
    const Oct tRe = cRe * reUp - cIm * imUp;
    const Oct tIm = cRe * imUp + cIm * reUp;
    reUp = reLo - tRe;
    imUp = imLo - tIm;
    reLo += tRe;
    imLo += tIm;
}

// Four groups of four points as two values ([g0 g1], [g2 g3]) to the pairs
// of neighbours (0, 1) and (2, 3): [.0 .2] per group and [.1 .3] per group.
OSTREL_INLINE_IN_CLONES void groupsToNeighbourPairs(Oct& a, Oct& b)
{
    const Oct first = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    b = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
    a = first;
}

// The same groups to their (0, 2) and (1, 3) pairs ([.0 .1] per group,
// [.2 .3] per group).
OSTREL_INLINE_IN_CLONES void groupsToHalfPairs(Oct& a, Oct& b)
{
    const Oct first = __builtin_shufflevector(a, b, 0, 1, 4, 5, 8, 9, 12, 13);
    b = __builtin_shufflevector(a, b, 2, 3, 6, 7, 10, 11, 14, 15);
    a = first;
}

// Lanes 2m of a and b side by side, then lanes 2m + 1: from either pair
// order of the groups to the other's points as pairs ([.0 .1] and [.2 .3]
// per group become [.0 .2] and [.1 .3], and the other way).
OSTREL_INLINE_IN_CLONES void crossPairs(Oct& a, Oct& b)
{
    const Oct first = __builtin_shufflevector(a, b, 0, 8, 2, 10, 4, 12, 6, 14);
    b = __builtin_shufflevector(a, b, 1, 9, 3, 11, 5, 13, 7, 15);
    a = first;
}

// From the neighbour-pair order ([.0 .2], [.1 .3] per group) back to the
// groups: lanes m of a and b side by side.
OSTREL_INLINE_IN_CLONES void interleavePairs(Oct& a, Oct& b)
{
    const Oct first = __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    b = __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
    a = first;
}

// From the half-pair order back to the groups.
OSTREL_INLINE_IN_CLONES void halfPairsToGroups(Oct& a, Oct& b)
{
    const Oct first = __builtin_shufflevector(a, b, 0, 1, 8, 9, 2, 3, 10, 11);
    b = __builtin_shufflevector(a, b, 4, 5, 12, 13, 6, 7, 14, 15);
    a = first;
}
#endif

// The first two stages (groups of two, then of four) for each group of four
// points held in registers: the same butterflies with the same twiddles as
// stage by stage, without the loop of one or two butterflies per group.
template <bool Inverse>
OSTREL_INLINE_IN_CLONES void fftFirstStages(double* __restrict re, double* __restrict im,
                                            const double* wRe, const double* wIm)
{
    const double aRe = wRe[0], aIm = Inverse ? -wIm[0] : wIm[0];
    const double bRe = wRe[1], bIm = Inverse ? -wIm[1] : wIm[1];
    const double cRe = wRe[2], cIm = Inverse ? -wIm[2] : wIm[2];
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
    const Quad a2Re = {aRe, aRe, aRe, aRe}, a2Im = {aIm, aIm, aIm, aIm};
    const Quad bcRe = {bRe, bRe, cRe, cRe}, bcIm = {bIm, bIm, cIm, cIm};
    for (int p = 0; p < kStftSize; p += 8)
    {
        Quad ra, rb, ia, ib;
        loadQuad(ra, re + p);
        loadQuad(rb, re + p + 4);
        loadQuad(ia, im + p);
        loadQuad(ib, im + p + 4);
        // Points 0 and 1, 2 and 3 of both groups with a; then 0 and 2 with b,
        // 1 and 3 with c.
        splitEvenOdd(ra, rb);
        splitEvenOdd(ia, ib);
        butterfly(ra, ia, rb, ib, a2Re, a2Im);
        splitHalves(ra, rb);
        splitHalves(ia, ib);
        butterfly(ra, ia, rb, ib, bcRe, bcIm);
        splitHalves(ra, rb);
        splitHalves(ia, ib);
        splitEvenOdd(ra, rb);
        splitEvenOdd(ia, ib);
        storeQuad(re + p, ra);
        storeQuad(re + p + 4, rb);
        storeQuad(im + p, ia);
        storeQuad(im + p + 4, ib);
    }
#else
    for (int g = 0; g < kStftSize / 4; ++g)
    {
        double r0 = re[4 * g], i0 = im[4 * g], r1 = re[4 * g + 1], i1 = im[4 * g + 1];
        double r2 = re[4 * g + 2], i2 = im[4 * g + 2], r3 = re[4 * g + 3], i3 = im[4 * g + 3];
        butterfly(r0, i0, r1, i1, aRe, aIm);
        butterfly(r2, i2, r3, i3, aRe, aIm);
        butterfly(r0, i0, r2, i2, bRe, bIm);
        butterfly(r1, i1, r3, i3, cRe, cIm);
        re[4 * g] = r0;
        im[4 * g] = i0;
        re[4 * g + 1] = r1;
        im[4 * g + 1] = i1;
        re[4 * g + 2] = r2;
        im[4 * g + 2] = i2;
        re[4 * g + 3] = r3;
        im[4 * g + 3] = i3;
    }
#endif
}

#if defined(OSTREL_HAS_VECTOR_VERSIONS)
// fftFirstStages on four groups at a time (AVX-512).
template <bool Inverse>
OSTREL_INLINE_IN_CLONES void fftFirstStagesWide(double* __restrict re, double* __restrict im,
                                                const double* wRe, const double* wIm)
{
    const double aRe = wRe[0], aIm = Inverse ? -wIm[0] : wIm[0];
    const double bRe = wRe[1], bIm = Inverse ? -wIm[1] : wIm[1];
    const double cRe = wRe[2], cIm = Inverse ? -wIm[2] : wIm[2];
    const Oct a4Re = {aRe, aRe, aRe, aRe, aRe, aRe, aRe, aRe};
    const Oct a4Im = {aIm, aIm, aIm, aIm, aIm, aIm, aIm, aIm};
    const Oct bcRe = {bRe, cRe, bRe, cRe, bRe, cRe, bRe, cRe};
    const Oct bcIm = {bIm, cIm, bIm, cIm, bIm, cIm, bIm, cIm};
    for (int p = 0; p < kStftSize; p += 16)
    {
        Oct ra, rb, ia, ib;
        loadOct(ra, re + p);
        loadOct(rb, re + p + 8);
        loadOct(ia, im + p);
        loadOct(ib, im + p + 8);
        // Points 0 and 1, 2 and 3 of each group with a; then 0 and 2 with b,
        // 1 and 3 with c.
        groupsToNeighbourPairs(ra, rb);
        groupsToNeighbourPairs(ia, ib);
        butterfly(ra, ia, rb, ib, a4Re, a4Im);
        crossPairs(ra, rb);
        crossPairs(ia, ib);
        butterfly(ra, ia, rb, ib, bcRe, bcIm);
        halfPairsToGroups(ra, rb);
        halfPairsToGroups(ia, ib);
        storeOct(re + p, ra);
        storeOct(re + p + 8, rb);
        storeOct(im + p, ia);
        storeOct(im + p + 8, ib);
    }
}
#endif

// Two stages in one pass, d and 2d: each group of 2d points is four runs of
// d / 2 points, whose butterflies of both stages are made in registers. The
// same butterflies with the same twiddles as stage after stage, in half the
// passes over the arrays.
template <bool Inverse, int d>
OSTREL_INLINE_IN_CLONES void fftStagePair(double* __restrict re, double* __restrict im,
                                          const double* wRe, const double* wIm, const double* wRe2,
                                          const double* wIm2)
{
    constexpr int quarter = d >> 1;
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
    if constexpr (quarter == 4)
    {
        // Each run is one Quad: a group's butterflies are four Quad ones
        // (looped over k, the compiler pairs points of several groups
        // through shuffles).
        Quad cRe, cIm, c2Re, c2Im, c3Re, c3Im;
        loadQuad(cRe, wRe);
        loadQuad(cIm, wIm);
        loadQuad(c2Re, wRe2);
        loadQuad(c2Im, wIm2);
        loadQuad(c3Re, wRe2 + quarter);
        loadQuad(c3Im, wIm2 + quarter);
        if constexpr (Inverse)
        {
            cIm = -cIm;
            c2Im = -c2Im;
            c3Im = -c3Im;
        }
        for (int group = 0; group < kStftSize; group += 2 * d)
        {
            Quad r0, i0, r1, i1, r2, i2, r3, i3;
            loadQuad(r0, re + group);
            loadQuad(i0, im + group);
            loadQuad(r1, re + group + quarter);
            loadQuad(i1, im + group + quarter);
            loadQuad(r2, re + group + d);
            loadQuad(i2, im + group + d);
            loadQuad(r3, re + group + d + quarter);
            loadQuad(i3, im + group + d + quarter);
            butterfly(r0, i0, r1, i1, cRe, cIm);
            butterfly(r2, i2, r3, i3, cRe, cIm);
            butterfly(r0, i0, r2, i2, c2Re, c2Im);
            butterfly(r1, i1, r3, i3, c3Re, c3Im);
            storeQuad(re + group, r0);
            storeQuad(im + group, i0);
            storeQuad(re + group + quarter, r1);
            storeQuad(im + group + quarter, i1);
            storeQuad(re + group + d, r2);
            storeQuad(im + group + d, i2);
            storeQuad(re + group + d + quarter, r3);
            storeQuad(im + group + d + quarter, i3);
        }
        return;
    }
#endif
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
OSTREL_INLINE_IN_CLONES void reversedStagePair(double* __restrict re, double* __restrict im,
                                               const double* cRe, const double* cIm,
                                               const double* c2Re, const double* c2Im)
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

#if defined(OSTREL_HAS_VECTOR_VERSIONS)
// The last pair's shuffles for two values of W lanes (W / 2 groups of four
// points): the groups to their (0, 2) and (1, 3) pairs, from those to the
// (0, 1) and (2, 3) pairs, and back to the groups.
struct QuadLastPairShuffles
{
    [[gnu::always_inline]] static void toHalfPairs(Quad& a, Quad& b) { splitHalves(a, b); }
    [[gnu::always_inline]] static void toNeighbourPairs(Quad& a, Quad& b) { splitEvenOdd(a, b); }
    [[gnu::always_inline]] static void toGroups(Quad& a, Quad& b)
    {
        splitEvenOdd(a, b);
        splitHalves(a, b);
    }
};

struct OctLastPairShuffles
{
    [[gnu::always_inline]] static void toHalfPairs(Oct& a, Oct& b) { groupsToHalfPairs(a, b); }
    [[gnu::always_inline]] static void toNeighbourPairs(Oct& a, Oct& b) { crossPairs(a, b); }
    [[gnu::always_inline]] static void toGroups(Oct& a, Oct& b) { interleavePairs(a, b); }
};

// The last pair (stages 512 and 1024) of the transform above, whose groups
// are four adjacent points, each group with its own twiddles: W / 2 groups
// at a time in two values of each part. Each lane computes what the scalar
// butterfly computes.
template <typename V, typename S>
OSTREL_INLINE_IN_CLONES void reversedLastStagePairVector(double* __restrict re,
                                                         double* __restrict im, const FftTables& t)
{
    constexpr int w = sizeof(V) / sizeof(double);
    for (int p = 0; p < kStftSize; p += 2 * w)
    {
        V ra, rb, ia, ib, cRe, cIm;
        std::memcpy(&ra, re + p, sizeof(V));
        std::memcpy(&rb, re + p + w, sizeof(V));
        std::memcpy(&ia, im + p, sizeof(V));
        std::memcpy(&ib, im + p + w, sizeof(V));
        // Points 0 and 2, 1 and 3 of each group with its stage 512 twiddle;
        // then 0 and 1 with its lower, 2 and 3 with its upper one.
        S::toHalfPairs(ra, rb);
        S::toHalfPairs(ia, ib);
        std::memcpy(&cRe, t.lastPairRe + p / 2, sizeof(V));
        std::memcpy(&cIm, t.lastPairIm + p / 2, sizeof(V));
        butterfly(ra, ia, rb, ib, cRe, cIm);
        S::toNeighbourPairs(ra, rb);
        S::toNeighbourPairs(ia, ib);
        std::memcpy(&cRe, t.lastRe + p / 2, sizeof(V));
        std::memcpy(&cIm, t.lastIm + p / 2, sizeof(V));
        butterfly(ra, ia, rb, ib, cRe, cIm);
        S::toGroups(ra, rb);
        S::toGroups(ia, ib);
        std::memcpy(re + p, &ra, sizeof(V));
        std::memcpy(re + p + w, &rb, sizeof(V));
        std::memcpy(im + p, &ia, sizeof(V));
        std::memcpy(im + p + w, &ib, sizeof(V));
    }
}
#endif

// The last pair in the version's widest values (scalar without vector
// versions).
template <int Lanes>
OSTREL_INLINE_IN_CLONES void reversedLastStagePair(double* __restrict re, double* __restrict im,
                                                   const FftTables& t)
{
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
    if constexpr (Lanes == 8)
        reversedLastStagePairVector<Oct, OctLastPairShuffles>(re, im, t);
    else
        reversedLastStagePairVector<Quad, QuadLastPairShuffles>(re, im, t);
#else
    const double* cRe = t.reversedTwiddleRe + kStftSize / 4 - 1;
    const double* cIm = t.reversedTwiddleIm + kStftSize / 4 - 1;
    const double* c2Re = t.reversedTwiddleRe + kStftSize / 2 - 1;
    const double* c2Im = t.reversedTwiddleIm + kStftSize / 2 - 1;
    for (int g = 0; g < kStftSize / 4; ++g)
    {
        double r0 = re[4 * g], i0 = im[4 * g], r1 = re[4 * g + 1], i1 = im[4 * g + 1];
        double r2 = re[4 * g + 2], i2 = im[4 * g + 2], r3 = re[4 * g + 3], i3 = im[4 * g + 3];
        butterfly(r0, i0, r2, i2, cRe[g], cIm[g]);
        butterfly(r1, i1, r3, i3, cRe[g], cIm[g]);
        butterfly(r0, i0, r1, i1, c2Re[2 * g], c2Im[2 * g]);
        butterfly(r2, i2, r3, i3, c2Re[2 * g + 1], c2Im[2 * g + 1]);
        re[4 * g] = r0;
        im[4 * g] = i0;
        re[4 * g + 1] = r1;
        im[4 * g + 1] = i1;
        re[4 * g + 2] = r2;
        im[4 * g + 2] = i2;
        re[4 * g + 3] = r3;
        im[4 * g + 3] = i3;
    }
#endif
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
    reversedLastStagePair<4>(re, im, t);
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
// the arrays written). A frame of one channel has zeros for the imaginary
// part (the b runs unused).
template <bool OneChannel>
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
        double r0 = a0[u] * window[u], i0 = OneChannel ? 0.0 : b0[u] * window[u];
        double r1 = a1[u] * window[q + u], i1 = OneChannel ? 0.0 : b1[u] * window[q + u];
        double r2 = a2[u] * window[2 * q + u], i2 = OneChannel ? 0.0 : b2[u] * window[2 * q + u];
        double r3 = a3[u] * window[3 * q + u], i3 = OneChannel ? 0.0 : b3[u] * window[3 * q + u];
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
// fftToBitReversed, bit for bit. A frame of one channel passes in1 null and
// transforms in0 with zeros for the imaginary part.
template <int Lanes>
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
    if (in1 == nullptr)
        windowedFirstStages<true>(in0 + start, in0 + s1, in0 + s2, in0 + s3, nullptr, nullptr,
                                  nullptr, nullptr, window, re, im, c);
    else
        windowedFirstStages<false>(in0 + start, in0 + s1, in0 + s2, in0 + s3, in1 + start, in1 + s1,
                                   in1 + s2, in1 + s3, window, re, im, c);
    reversedStagePair<8>(re, im, wRe + 3, wIm + 3, wRe + 7, wIm + 7);
    reversedStagePair<32>(re, im, wRe + 15, wIm + 15, wRe + 31, wIm + 31);
    reversedStagePair<128>(re, im, wRe + 63, wIm + 63, wRe + 127, wIm + 127);
    reversedLastStagePair<Lanes>(re, im, t);
}

// The inverse transform's last two stages on the one group of all points,
// added windowed and scaled into the four runs of each output ring. A frame
// of one channel adds only the real part (the b runs unused), windowed and
// then scaled, as that frame has always rounded.
template <bool OneChannel>
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
        if constexpr (OneChannel)
        {
            a0[k] += r0 * window[k] * scale;
            a1[k] += r1 * window[q + k] * scale;
            a2[k] += r2 * window[2 * q + k] * scale;
            a3[k] += r3 * window[3 * q + k] * scale;
            continue;
        }
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
// by the windowed overlap-add, bit for bit. A frame of one channel adds the
// real part to out0 alone (out1 unused).
template <int Lanes, bool OneChannel = false>
OSTREL_INLINE_IN_CLONES void inverseAddedToRing(double* re, double* im, const double* window,
                                                double scale, double* out0, double* out1, int start)
{
    const FftTables& t = fftTables();
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
    if constexpr (Lanes == 8)
        fftFirstStagesWide<true>(re, im, t.twiddleRe, t.twiddleIm);
    else
#endif
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
    if constexpr (OneChannel)
        lastStagesAdded<true>(re, im, window, scale, out0 + start, out0 + s1, out0 + s2, out0 + s3,
                              nullptr, nullptr, nullptr, nullptr, wRe + 255, wIm + 255, wRe + 511,
                              wIm + 511);
    else
        lastStagesAdded<false>(re, im, window, scale, out0 + start, out0 + s1, out0 + s2, out0 + s3,
                               out1 + start, out1 + s1, out1 + s2, out1 + s3, wRe + 255, wIm + 255,
                               wRe + 511, wIm + 511);
}

// One bin pair of the two channels' spectra masked: x at the lower (even)
// position, y at its mirror; the pair's new values come back in place.
template <typename V>
OSTREL_INLINE_IN_CLONES void maskPair(V& xr, V& xi, V& yr, V& yi, const V& m0, const V& m1)
{
    // Channel 0's bin A = (X[j] + conj X[n-j]) / 2,
    // channel 1's B = (X[j] - conj X[n-j]) / 2i.
    const V aRe = 0.5 * (xr + yr) * m0;
    const V aIm = 0.5 * (xi - yi) * m0;
    const V bRe = 0.5 * (xi + yi) * m1;
    const V bIm = -0.5 * (xr - yr) * m1;
    // X'[j] = A + iB, X'[n-j] = conj A + i conj B.
    xr = aRe - bIm;
    xi = aIm + bRe;
    yr = aRe + bIm;
    yi = bRe - aIm;
}

// One bin pair of a single (real) channel's spectrum: the bin masked, its
// mirror made its conjugate, so the inverse comes out real.
template <typename V>
OSTREL_INLINE_IN_CLONES void maskPairOne(V& xr, V& xi, V& yr, V& yi, const V& m)
{
    xr *= m;
    xi *= m;
    yr = xr;
    yi = -xi;
}

// Either pair of masks on a pair: one channel's (share1 unused) or both.
template <bool OneChannel, typename V>
OSTREL_INLINE_IN_CLONES void maskPairOf(V& xr, V& xi, V& yr, V& yi, const V& m0, const V& m1)
{
    if constexpr (OneChannel)
        maskPairOne(xr, xi, yr, yi, m0);
    else
        maskPair(xr, xi, yr, yi, m0, m1);
}

// The pairs of positions [b, 2b) (bins at even positions, mirrors at odd
// ones, the mirror of i at 3b - 1 - i), scalar.
template <bool OneChannel>
OSTREL_INLINE_IN_CLONES void maskPairsScalar(double* __restrict re, double* __restrict im,
                                             const int32_t* bandAt, const double* share0,
                                             const double* share1, int b)
{
    for (int i = b; i < 2 * b; i += 2)
    {
        const int mirror = 3 * b - 1 - i;
        double xr = re[i], xi = im[i], yr = re[mirror], yi = im[mirror];
        const double m0 = share0[bandAt[i]];
        const double m1 = OneChannel ? 0.0 : share1[bandAt[i]];
        maskPairOf<OneChannel>(xr, xi, yr, yi, m0, m1);
        re[i] = xr;
        im[i] = xi;
        re[mirror] = yr;
        im[mirror] = yi;
    }
}

#if defined(OSTREL_HAS_VECTOR_VERSIONS)
// The shuffles of the vector pair loop, for a run of 2W points held as two
// W-lane values: its even and odd points, each in ascending or descending
// order, and two values interleaved from their lower or upper halves,
// ascending or descending.
struct QuadShuffles
{
    [[gnu::always_inline]] static void evens(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    }
    [[gnu::always_inline]] static void odds(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }
    [[gnu::always_inline]] static void evensDown(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 6, 4, 2, 0);
    }
    [[gnu::always_inline]] static void oddsDown(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 7, 5, 3, 1);
    }
    [[gnu::always_inline]] static void lowUp(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    }
    [[gnu::always_inline]] static void highUp(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    }
    [[gnu::always_inline]] static void highDown(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 3, 7, 2, 6);
    }
    [[gnu::always_inline]] static void lowDown(Quad& r, const Quad& a, const Quad& b)
    {
        r = __builtin_shufflevector(a, b, 1, 5, 0, 4);
    }
    // Each lane's share from the band of its point: read lane by lane.
    [[gnu::always_inline]] static void shares(Quad& even, Quad& odd, const double* share,
                                              const int32_t* bandAt)
    {
        for (int l = 0; l < 4; ++l)
        {
            even[l] = share[bandAt[2 * l]];
            odd[l] = share[bandAt[2 * l + 1]];
        }
    }
};

struct OctShuffles
{
    typedef int32_t Bands __attribute__((vector_size(64)));
    typedef int64_t Lanes __attribute__((vector_size(64)));
    [[gnu::always_inline]] static void evens(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    }
    [[gnu::always_inline]] static void odds(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
    }
    [[gnu::always_inline]] static void evensDown(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 14, 12, 10, 8, 6, 4, 2, 0);
    }
    [[gnu::always_inline]] static void oddsDown(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 15, 13, 11, 9, 7, 5, 3, 1);
    }
    [[gnu::always_inline]] static void lowUp(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    }
    [[gnu::always_inline]] static void highUp(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
    }
    [[gnu::always_inline]] static void highDown(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 7, 15, 6, 14, 5, 13, 4, 12);
    }
    [[gnu::always_inline]] static void lowDown(Oct& r, const Oct& a, const Oct& b)
    {
        r = __builtin_shufflevector(a, b, 3, 11, 2, 10, 1, 9, 0, 8);
    }
    // Each lane's share from the band of its point, looked up in the 24
    // shares held in three values (a band below 16 in the first two, else in
    // the third).
    [[gnu::always_inline]] static void shares(Oct& even, Oct& odd, const double* share,
                                              const int32_t* bandAt)
    {
        Oct t0, t1, t2;
        loadOct(t0, share);
        loadOct(t1, share + 8);
        loadOct(t2, share + 16);
        Bands bands;
        std::memcpy(&bands, bandAt, sizeof bands);
        const Lanes e = __builtin_convertvector(
            __builtin_shufflevector(bands, bands, 0, 2, 4, 6, 8, 10, 12, 14), Lanes);
        const Lanes o = __builtin_convertvector(
            __builtin_shufflevector(bands, bands, 1, 3, 5, 7, 9, 11, 13, 15), Lanes);
        const Lanes sixteen = {16, 16, 16, 16, 16, 16, 16, 16};
        even = e < sixteen ? __builtin_shuffle(t0, t1, e) : __builtin_shuffle(t2, t2, e);
        odd = o < sixteen ? __builtin_shuffle(t0, t1, o) : __builtin_shuffle(t2, t2, o);
    }
};

// The same pairs a run of 2W positions at a time: position p of the lower
// half of [b, 2b) faces 3b - 1 - p in the upper half, so a run of the lower
// half and the run facing it hold whole pairs: the lower run's even points
// with the facing run's odd ones, its odd points (mirrors) with the facing
// run's even ones. Each lane computes what the scalar loop computes for its
// pair (a mirror's band is its bin's).
template <typename V, typename S, bool OneChannel>
OSTREL_INLINE_IN_CLONES void maskPairsVector(double* __restrict re, double* __restrict im,
                                             const int32_t* bandAt, const double* share0,
                                             const double* share1, int b)
{
    constexpr int w = sizeof(V) / sizeof(double);
    for (int p = b; p < b + b / 2; p += 2 * w)
    {
        const int q = 3 * b - 2 * w - p; // the run facing p's
        V l0r, l1r, l0i, l1i, u0r, u1r, u0i, u1i;
        std::memcpy(&l0r, re + p, sizeof(V));
        std::memcpy(&l1r, re + p + w, sizeof(V));
        std::memcpy(&l0i, im + p, sizeof(V));
        std::memcpy(&l1i, im + p + w, sizeof(V));
        std::memcpy(&u0r, re + q, sizeof(V));
        std::memcpy(&u1r, re + q + w, sizeof(V));
        std::memcpy(&u0i, im + q, sizeof(V));
        std::memcpy(&u1i, im + q + w, sizeof(V));
        // Pairs of the lower run's bins (x1, y1) and of the facing run's (x2, y2).
        V x1r, x1i, y1r, y1i, x2r, x2i, y2r, y2i;
        S::evens(x1r, l0r, l1r);
        S::evens(x1i, l0i, l1i);
        S::oddsDown(y1r, u0r, u1r);
        S::oddsDown(y1i, u0i, u1i);
        S::evensDown(x2r, u0r, u1r);
        S::evensDown(x2i, u0i, u1i);
        S::odds(y2r, l0r, l1r);
        S::odds(y2i, l0i, l1i);
        V m01, m02, m11 = {}, m12 = {};
        S::shares(m01, m02, share0, bandAt + p);
        if constexpr (!OneChannel)
            S::shares(m11, m12, share1, bandAt + p);
        maskPairOf<OneChannel>(x1r, x1i, y1r, y1i, m01, m11);
        maskPairOf<OneChannel>(x2r, x2i, y2r, y2i, m02, m12);
        S::lowUp(l0r, x1r, y2r);
        S::highUp(l1r, x1r, y2r);
        S::lowUp(l0i, x1i, y2i);
        S::highUp(l1i, x1i, y2i);
        S::highDown(u0r, x2r, y1r);
        S::lowDown(u1r, x2r, y1r);
        S::highDown(u0i, x2i, y1i);
        S::lowDown(u1i, x2i, y1i);
        std::memcpy(re + p, &l0r, sizeof(V));
        std::memcpy(re + p + w, &l1r, sizeof(V));
        std::memcpy(im + p, &l0i, sizeof(V));
        std::memcpy(im + p + w, &l1i, sizeof(V));
        std::memcpy(re + q, &u0r, sizeof(V));
        std::memcpy(re + q + w, &u1r, sizeof(V));
        std::memcpy(im + q, &u0i, sizeof(V));
        std::memcpy(im + q + w, &u1i, sizeof(V));
    }
}
#endif

// Every pair of the spectrum at bit-reversed positions but DC and Nyquist
// (positions 0 and 1): the bins at positions [b, 2b) are the odd multiples
// of kStftSize / 2b, and bin j's mirror kStftSize - j lies at 3b - 1 less
// j's position. Each pair is read before it is written, so the spectrum is
// masked in place (a frame's arrays stay small enough for the caches of a
// large session).
template <int Lanes, bool OneChannel = false>
OSTREL_INLINE_IN_CLONES void maskMirroredPairs(double* re, double* im, const int32_t* bandAt,
                                               const double* share0, const double* share1)
{
    for (int b = 2; b < kStftSize; b *= 2)
    {
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
        if (b >= 4 * Lanes)
        {
            if constexpr (Lanes == 8)
                maskPairsVector<Oct, OctShuffles, OneChannel>(re, im, bandAt, share0, share1, b);
            else
                maskPairsVector<Quad, QuadShuffles, OneChannel>(re, im, bandAt, share0, share1, b);
            continue;
        }
#endif
        maskPairsScalar<OneChannel>(re, im, bandAt, share0, share1, b);
    }
}

} // namespace

// Both channels are real, so one complex transform carries the two: channel 0
// in the real part, channel 1 in the imaginary part. Each channel's spectrum
// is separated through the conjugate symmetry, masked on its own, and the two
// masked (conjugate-symmetric) spectra are recombined so the inverse gives
// channel 0 back in the real part and channel 1 in the imaginary part. The
// same result as two single-channel frames, for half the transforms.
template <int Lanes>
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
        windowedToBitReversed<Lanes>(inputRing[0], inputRing[1], ringPos, window, fftRe, fftIm);
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
        fftRe[i] *= share0[bandAtPosition[i]];
        fftIm[i] *= share1[bandAtPosition[i]];
    }
    maskMirroredPairs<Lanes>(fftRe, fftIm, bandAtPosition, share0, share1);
    const double scale = 1.0 / (overlapNorm * kStftSize);
    if (onHop)
    {
        inverseAddedToRing<Lanes>(fftRe, fftIm, window, scale, outputRing[0], outputRing[1],
                                  ringPos);
        return;
    }
    fftFromBitReversedBody(fftRe, fftIm, +1);
    // The ring from ringPos on, then its start: two contiguous runs.
    const int head = kStftSize - ringPos;
    addWindowed(outputRing[0] + ringPos, outputRing[1] + ringPos, fftRe, fftIm, window, scale,
                head);
    addWindowed(outputRing[0], outputRing[1], fftRe + head, fftIm + head, window + head, scale,
                ringPos);
}

void StftFrameEngine::processBothChannels(const double* gains0, const double* gains1)
{
    OSTREL_VECTOR_DISPATCH_BY_WIDTH(processBothChannelsBody<8>(gains0, gains1),
                                    processBothChannelsBody<4>(gains0, gains1));
}

// A frame of one channel: its samples in the real part, zeros in the
// imaginary part, and only bins up to Nyquist masked, each mirror made its
// bin's conjugate. The same transforms, products and order of rounding as the
// frame that windows into natural order, masks there and runs both full
// transforms, bit for bit.
template <int Lanes>
OSTREL_VECTOR_BODY void StftFrameEngine::processChannelBody(int channel, const double* gains)
{
    const bool onHop = ringPos % kStftHop == 0;
    if (onHop)
        windowedToBitReversed<Lanes>(inputRing[channel], nullptr, ringPos, window, fftRe, fftIm);
    else
    {
        const double* in = inputRing[channel];
        for (int k = 0; k < kStftSize; ++k)
        {
            fftRe[k] = in[(ringPos + k) & (kStftSize - 1)] * window[k];
            fftIm[k] = 0.0;
        }
        fftToBitReversedBody(fftRe, fftIm);
    }

    double share[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
        share[k] = removedShare(gains[k]);
    for (int i : {0, 1})
    {
        fftRe[i] *= share[bandAtPosition[i]];
        fftIm[i] *= share[bandAtPosition[i]];
    }
    maskMirroredPairs<Lanes, true>(fftRe, fftIm, bandAtPosition, share, nullptr);
    const double scale = 1.0 / (overlapNorm * kStftSize);
    double* out = outputRing[channel];
    if (onHop)
    {
        inverseAddedToRing<Lanes, true>(fftRe, fftIm, window, scale, out, nullptr, ringPos);
        return;
    }
    fftFromBitReversedBody(fftRe, fftIm, +1);
    for (int k = 0; k < kStftSize; ++k)
        out[(ringPos + k) & (kStftSize - 1)] += fftRe[k] * window[k] * scale;
}

void StftFrameEngine::processChannel(int channel, const double* gains)
{
    OSTREL_VECTOR_DISPATCH_BY_WIDTH(processChannelBody<8>(channel, gains),
                                    processChannelBody<4>(channel, gains));
}

} // namespace ostrel
