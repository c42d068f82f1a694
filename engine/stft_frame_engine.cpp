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

void StftFrameEngine::processFrame(const double* gains0, const double* gains1)
{
    processChannel(0, gains0);
    processChannel(1, gains1);
}

void StftFrameEngine::processChannel(int channel, const double* gains)
{
    bool anyDip = false;
    for (int k = 0; k < kBandCount; ++k)
        anyDip |= gains[k] < 1.0;
    if (!anyDip)
        return;

    const double* in = inputRing[channel];
    for (int k = 0; k < kStftSize; ++k)
    {
        fftRe[k] = in[(ringPos + k) & (kStftSize - 1)] * window[k];
        fftIm[k] = 0.0;
    }
    fft(fftRe, fftIm, kStftSize, -1);

    // Keep only what the gains take away; a gain outside 0..1 never boosts.
    for (int j = 0; j < kStftBins; ++j)
    {
        const double m = std::clamp(1.0 - gains[bandOfBin[j]], 0.0, 1.0);
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
        for (int group = 0; group < n; group += d)
        {
            double wRe = 1.0;
            double wIm = 0.0;
            for (int k = 0; k < half; ++k)
            {
                const int lo = group + k;
                const int up = lo + half;
                const double tRe = wRe * re[up] - wIm * im[up];
                const double tIm = wRe * im[up] + wIm * re[up];
                re[up] = re[lo] - tRe;
                im[up] = im[lo] - tIm;
                re[lo] += tRe;
                im[lo] += tIm;
                const double nextRe = wRe * stepRe - wIm * stepIm;
                wIm = wRe * stepIm + wIm * stepRe;
                wRe = nextRe;
            }
        }
    }
}

} // namespace ostrel
