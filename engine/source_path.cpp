// The Source path (role Source, not bypassed): the audio passes through with
// the engine's latency (dips left from a previous role are released first)
// while the 24 band levels of the mid signal over each analysis period, the
// priority and the stereo balance are published in the instance's slot when
// the period closes.
#include "engine/release_sample.h"
#include "engine/vector_clones.h"

namespace ostrel
{

OSTREL_VECTOR_BODY void EngineParts::processSourceChunkBody(const double* in0, const double* in1,
                                                            double* out0, double* out1, int n,
                                                            int64_t hostSamplePos, int slot)
{
    (void)hostSamplePos; // the period's start position is what gets published
    path.leaveRest();
    const bool releasing = anyDipOrListen();

    if (period.starts())
        source.reset();

    if (releasing)
    {
        source.measure(in0, in1, n, filters.analysis());
        // Dips left from a previous role fade exactly as on the release path.
        processReleasingRun(in0, in1, out0, out1, n);
    }
    else
    {
        // The band signals go straight into their lookahead line (a later
        // role reads them), in the measuring loop, then the audio passes
        // through as on a settled Off instance; the outputs are written
        // last, for hosts that process in place.
        int w = delays.delayWritePos;
        alignas(kLaneAlign) double y0[kBandCount];
        alignas(kLaneAlign) double y1[kBandCount];
        source.measure(in0, in1, n, filters.analysis(),
                       [&](int t)
                       {
                           filters.splitInput(0, in0[t], y0);
                           filters.splitInput(1, in1[t], y1);
                           delays.writeBands(w, y0, y1);
                           w = w + 1 == kDelayLength ? 0 : w + 1;
                       });
        processSettledChunk(in0, in1, out0, out1, n);
    }

    if (period.closesWith(n))
        source.publishPeriod(*registry, *link, slot, period.startPos(), chunkSettings.priority,
                             filters.tables().sampleRate, meters);
    else
        meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);
}

void EngineParts::processSourceChunk(const double* in0, const double* in1, double* out0,
                                     double* out1, int n, int64_t hostSamplePos, int slot)
{
    OSTREL_VECTOR_DISPATCH(processSourceChunkBody(in0, in1, out0, out1, n, hostSamplePos, slot));
}

} // namespace ostrel
