// The release path (role Off, or bypassed): glides every dip, bell dip and the
// listen crossfade back to neutral (20 ms), then passes the signal through
// with exactly the engine's latency at the cost of two delay-line operations
// and one spectral-stage step per sample.
#include "engine/release_sample.h"
#include "engine/vector_clones.h"

#include <algorithm>

#include <cmath>

namespace ostrel
{

OSTREL_VECTOR_CLONES void SpectralEngine::processSettledChunk(const double* in0, const double* in1,
                                                              double* out0, double* out1, int n)
{
    int t = 0;
    // Sample by sample until the spectral stage has emptied its rings.
    for (; t < n && !stft.isPlainDelay(); ++t)
    {
        const DryTap dry = exchangeDry(in0[t], in1[t]);
        advanceDelayWritePos();
        const StftSample s =
            stft.step(dry.d0, dry.d1, 0.0, 0.0, 0.0, 0.0, tables.unityGains, tables.unityGains);
        out0[t] = finiteOrAlignedDry(s.out0, s.dry0);
        out1[t] = finiteOrAlignedDry(s.out1, s.dry1);
    }
    // Then two plain delays in runs that wrap neither line and read nothing
    // written in the same run.
    double delayed[2][kLookaheadSamples];
    while (t < n)
    {
        const int w = delays.delayWritePos;
        const int r = delays.lookaheadReadPos();
        const int m = std::min({n - t, kLookaheadSamples, static_cast<int>(delays.lookaheadDelay),
                                kDelayLength - w, kDelayLength - r});
        const double* in[2] = {in0 + t, in1 + t};
        for (int c = 0; c < 2; ++c)
        {
            std::copy_n(delays.dryDelay[c] + r, m, delayed[c]);
            std::copy_n(in[c], m, delays.dryDelay[c] + w);
        }
        delays.delayWritePos = (w + m) % kDelayLength;
        stft.stepPlainDelay(delayed[0], delayed[1], out0 + t, out1 + t, m);
        t += m;
    }
}

void SpectralEngine::processReleaseChunk(const double* in0, const double* in1, double* out0,
                                         double* out1, int n, int slot)
{
    meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);

    if (!anyDipOrListen())
    {
        // Settled: nothing to release. Band and bell filters rest untouched.
        path.settled = 1;
        processSettledChunk(in0, in1, out0, out1, n);
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

        const auto [r, d0, d1] = exchangeDry(x0, x1);
        releaseSample(x0, x1, y0, y1, r, d0, d1, out0[t], out1[t]);
        advanceDelayWritePos();
    }
}

} // namespace ostrel
