// The release path (role Off, or bypassed): glides every dip, bell dip and the
// listen crossfade back to neutral (20 ms), then passes the signal through
// with exactly the engine's latency at the cost of two delay-line operations
// and one spectral-stage step per sample.
#include "engine/release_sample.h"

#include <cmath>

namespace ostrel
{

void SpectralEngine::processReleaseChunk(const double* in0, const double* in1, double* out0,
                                         double* out1, int n, int slot)
{
    meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);

    if (!anyDipOrListen())
    {
        // Settled: nothing to release. Band and bell filters rest untouched.
        path.settled = 1;
        for (int t = 0; t < n; ++t)
        {
            const double x0 = in0[t];
            const double x1 = in1[t];
            const DryTap dry = exchangeDry(x0, x1);
            advanceDelayWritePos();
            const StftSample s =
                stft.step(dry.d0, dry.d1, 0.0, 0.0, 0.0, 0.0, tables.unityGains, tables.unityGains);
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
        bandFilter[0].step(x0, y0);
        bandFilter[1].step(x1, y1);

        const auto [r, d0, d1] = exchangeDry(x0, x1);
        releaseSample(x0, x1, y0, y1, r, d0, d1, out0[t], out1[t]);
        advanceDelayWritePos();
    }
}

} // namespace ostrel
