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

OSTREL_VECTOR_BODY void EngineParts::processSettledChunkBody(const double* in0, const double* in1,
                                                             double* out0, double* out1, int n)
{
    int t = 0;
    // Sample by sample until the spectral stage has emptied its rings.
    for (; t < n && !stft.isPlainDelay(); ++t)
    {
        const DryTap dry = delays.exchangeDry(in0[t], in1[t]);
        delays.advance();
        const BandTables& tables = filters.tables();
        const StftSample s =
            stft.step(dry.d0, dry.d1, 0.0, 0.0, 0.0, 0.0, tables.unityGains, tables.unityGains);
        out0[t] = finiteOrAlignedDry(s.out0, s.dry0);
        out1[t] = finiteOrAlignedDry(s.out1, s.dry1);
    }
    // Then the lookahead line alone: what leaves the stage is what entered
    // the line a whole latency ago, and the line keeps it all, so the
    // stage's dry rings are left to be refilled when it steps again.
    if (t < n)
    {
        delays.passThrough(in0 + t, in1 + t, out0 + t, out1 + t, n - t,
                           delays.lookaheadDelay + kStftSize);
        stft.skipPlainDelay(n - t);
    }
}

void EngineParts::processSettledChunk(const double* in0, const double* in1, double* out0,
                                      double* out1, int n)
{
    OSTREL_VECTOR_DISPATCH(processSettledChunkBody(in0, in1, out0, out1, n));
}

void EngineParts::passThroughLine(const double* in0, const double* in1, double* out0, double* out1,
                                  int n)
{
    OSTREL_VECTOR_DISPATCH(
        delays.passThrough(in0, in1, out0, out1, n, delays.lookaheadDelay + kStftSize));
}

void EngineParts::refillStftRings()
{
    if (!stft.dryRingsNeedRefill())
        return;
    const double* line[2] = {delays.dryDelay[0], delays.dryDelay[1]};
    // The last sample that entered the stage left the line one sample ago.
    const int newest = (delays.lookaheadReadPos() + kDelayLength - 1) % kDelayLength;
    stft.refillDryRings(line, kDelayLength, newest);
}

void EngineParts::processReleaseChunk(const double* in0, const double* in1, double* out0,
                                      double* out1, int n, int slot)
{
    meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);

    if (path.restsSinceChange() || !anyDipOrListen())
    {
        // Settled: nothing to release. Band and bell filters rest untouched.
        path.settle();
        processSettledChunk(in0, in1, out0, out1, n);
        return;
    }

    processReleasingRun(in0, in1, out0, out1, n);
}

void EngineParts::processReleasingRun(const double* in0, const double* in1, double* out0,
                                      double* out1, int n)
{
    refillStftRings();
    alignas(kLaneAlign) double y0[kBandCount];
    alignas(kLaneAlign) double y1[kBandCount];
    for (int t = 0; t < n; ++t)
    {
        const double x0 = in0[t];
        const double x1 = in1[t];
        filters.splitInput(0, x0, y0);
        filters.splitInput(1, x1, y1);

        const auto [r, d0, d1] = delays.exchangeDry(x0, x1);
        releaseSample(x0, x1, y0, y1, r, d0, d1, out0[t], out1[t]);
        delays.advance();
    }
}

} // namespace ostrel
