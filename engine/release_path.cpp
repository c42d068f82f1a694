// The release path (role Off, or bypassed): glides every dip, bell dip and the
// listen crossfade back to neutral (20 ms), then passes the signal through
// with exactly the engine's latency at the cost of two delay-line operations
// and one spectral-stage step per sample.
#include "engine/glide.h"
#include "engine/spectral_engine.h"

#include <cmath>

namespace ostrel
{

void SpectralEngine::processReleaseChunk(const double* in0, const double* in1, double* out0,
                                         double* out1, int n, int slot)
{
    peersMeter.store(registry->slots[slot].holderCount.load(std::memory_order_relaxed),
                     std::memory_order_relaxed);

    if (!anyDipOrListen())
    {
        // Settled: nothing to release. Band and bell filters rest untouched.
        settled = 1;
        for (int t = 0; t < n; ++t)
        {
            const double x0 = in0[t];
            const double x1 = in1[t];
            const int r = lookaheadReadPos();
            const double d0 = dryDelay[0][r];
            const double d1 = dryDelay[1][r];
            dryDelay[0][delayWritePos] = x0;
            dryDelay[1][delayWritePos] = x1;
            delayWritePos = (delayWritePos + 1) % kDelayLength;
            const StftSample s = stft.step(d0, d1, 0.0, 0.0, 0.0, 0.0, unityGains, unityGains);
            out0[t] = s.out0;
            out1[t] = s.out1;
        }
        return;
    }

    double y0[kBandCount];
    double y1[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double x0 = in0[t];
        const double x1 = in1[t];
        bandFilter[0].step(x0, y0);
        bandFilter[1].step(x1, y1);

        const int r = lookaheadReadPos();
        const int w = delayWritePos;
        const double d0 = dryDelay[0][r];
        const double d1 = dryDelay[1][r];
        dryDelay[0][w] = x0;
        dryDelay[1][w] = x1;

        double sub0 = 0.0;
        double sub1 = 0.0;
        const double* delayed0 = bandDelay[0][r];
        const double* delayed1 = bandDelay[1][r];
        for (int k = 0; k < kBandCount; ++k)
        {
            const double g0 = bandGain[0][k] = glideToUnity(bandGain[0][k], glideCoef);
            const double g1 = bandGain[1][k] = glideToUnity(bandGain[1][k], glideCoef);
            if (k >= kTimeDomainBands)
            {
                stftBandGain[0][k] = g0;
                stftBandGain[1][k] = g1;
            }
            else
            {
                // The lowest bands are removed in the time domain.
                stftBandGain[0][k] = 1.0;
                stftBandGain[1][k] = 1.0;
                sub0 += (1.0 - g0) * delayed0[k];
                sub1 += (1.0 - g1) * delayed1[k];
            }
        }
        for (int k = 0; k < kBandCount; ++k)
        {
            bandDelay[0][w][k] = y0[k];
            bandDelay[1][w][k] = y1[k];
        }

        releaseBellsSample(x0, x1, r, sub0, sub1);
        delayWritePos = (w + 1) % kDelayLength;

        const StftSample s =
            stft.step(d0, d1, sub0, sub1, 0.0, 0.0, stftBandGain[0], stftBandGain[1]);
        double o0 = s.out0;
        double o1 = s.out1;
        listenMix = glideToZero(listenMix, glideCoef);
        if (listenMix > 0.0)
        {
            o0 += listenMix * (s.removed0 - o0);
            o1 += listenMix * (s.removed1 - o1);
        }
        out0[t] = std::isfinite(o0) ? o0 : d0;
        out1[t] = std::isfinite(o1) ? o1 : d1;
    }
}

} // namespace ostrel
