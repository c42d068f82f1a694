#include "engine/stft_frame_engine.h"

#include <algorithm>
#include <cmath>
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

    std::memset(inputRing, 0, sizeof(inputRing));
    std::memset(dryRing, 0, sizeof(dryRing));
    std::memset(subtractRing, 0, sizeof(subtractRing));
    std::memset(bellListenRing, 0, sizeof(bellListenRing));
    std::memset(outputRing, 0, sizeof(outputRing));
    std::memset(fftRe, 0, sizeof(fftRe));
    std::memset(fftIm, 0, sizeof(fftIm));
    ringPos = 0;
    hopCounter = 0;
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

} // namespace

void StftFrameEngine::processFrame(const double* gains0, const double* gains1)
{
    const bool dip0 = anyGainBelowUnity(gains0);
    const bool dip1 = anyGainBelowUnity(gains1);
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
    fft(fftRe, fftIm, kStftSize, -1);

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
    fft(fftRe, fftIm, kStftSize, +1);

    const double scale = 1.0 / (overlapNorm * kStftSize);
    double* out = outputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
        out[(ringPos + k) & (kStftSize - 1)] += fftRe[k] * window[k] * scale;
}

// Both channels are real, so one complex transform carries the two: channel 0
// in the real part, channel 1 in the imaginary part. Each channel's spectrum
// is separated through the conjugate symmetry, masked on its own, and the two
// masked (conjugate-symmetric) spectra are recombined so the inverse gives
// channel 0 back in the real part and channel 1 in the imaginary part. The
// same result as two single-channel frames, for half the transforms.
void StftFrameEngine::processBothChannels(const double* gains0, const double* gains1)
{
    const double* in0 = inputRing[0];
    const double* in1 = inputRing[1];
    for (int k = 0; k < kStftSize; ++k)
    {
        const int p = (ringPos + k) & (kStftSize - 1);
        fftRe[k] = in0[p] * window[k];
        fftIm[k] = in1[p] * window[k];
    }
    fft(fftRe, fftIm, kStftSize, -1);

    // DC and Nyquist are their own mirrors: the real part is channel 0's, the
    // imaginary part channel 1's.
    for (int j : {0, kStftSize / 2})
    {
        fftRe[j] *= removedShare(gains0[bandOfBin[j]]);
        fftIm[j] *= removedShare(gains1[bandOfBin[j]]);
    }
    for (int j = 1; j < kStftSize / 2; ++j)
    {
        const int mirror = kStftSize - j;
        const double xr = fftRe[j], xi = fftIm[j];
        const double yr = fftRe[mirror], yi = fftIm[mirror];
        const double m0 = removedShare(gains0[bandOfBin[j]]);
        const double m1 = removedShare(gains1[bandOfBin[j]]);
        // Channel 0's bin A = (X[j] + conj X[n-j]) / 2, channel 1's B = (X[j] - conj X[n-j]) / 2i.
        const double aRe = 0.5 * (xr + yr) * m0;
        const double aIm = 0.5 * (xi - yi) * m0;
        const double bRe = 0.5 * (xi + yi) * m1;
        const double bIm = -0.5 * (xr - yr) * m1;
        // X'[j] = A + iB, X'[n-j] = conj A + i conj B.
        fftRe[j] = aRe - bIm;
        fftIm[j] = aIm + bRe;
        fftRe[mirror] = aRe + bIm;
        fftIm[mirror] = bRe - aIm;
    }
    fft(fftRe, fftIm, kStftSize, +1);

    const double scale = 1.0 / (overlapNorm * kStftSize);
    double* out0 = outputRing[0];
    double* out1 = outputRing[1];
    for (int k = 0; k < kStftSize; ++k)
    {
        const int p = (ringPos + k) & (kStftSize - 1);
        const double w = window[k] * scale;
        out0[p] += fftRe[k] * w;
        out1[p] += fftIm[k] * w;
    }
}

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

} // namespace ostrel
