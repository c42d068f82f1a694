// The Source path (role Source, not bypassed): the audio passes through with
// the engine's latency (dips left from a previous role are released first)
// while the 24 band levels of the mid signal over each analysis period, the
// priority and the stereo balance are published in the instance's slot when
// the period closes.
#include "engine/band_levels.h"
#include "engine/masking_meters.h"
#include "engine/release_sample.h"
#include "engine/vector_clones.h"

#include <cmath>

namespace ostrel
{

namespace
{

// +1 all left, -1 all right, 0 for silence; sums that overflowed say nothing.
double balanceOfEnergies(double energy0, double energy1)
{
    const double balance = (energy0 - energy1) / (energy0 + energy1 + 1e-20);
    return std::isfinite(balance) ? balance : 0.0;
}

} // namespace

OSTREL_VECTOR_BODY void EngineParts::processSourceChunkBody(const double* in0, const double* in1,
                                                            double* out0, double* out1, int n,
                                                            int64_t hostSamplePos, int slot)
{
    (void)hostSamplePos; // the period's start position is what gets published
    path.settled = 0;
    path.restsSinceChange = 0;
    const bool releasing = anyDipOrListen();

    if (period.starts())
        sourceSums.reset();
    MidLevelSums& sums = sourceSums;

    // The measurement: the mid signal's band energies and the channels'
    // energies. A non-finite sample counts as silence in every measurement.
    double midEnergy = 0.0;
    double energy0 = 0.0;
    double energy1 = 0.0;
    for (int t = 0; t < n; ++t)
    {
        const double a0 = analysedSample(in0[t]);
        const double a1 = analysedSample(in1[t]);
        const double mid = (a0 + a1) * 0.5;
        analysisLowpassBank.accumulate(mid, sums.cumulative);
        midEnergy += mid * mid;
        energy0 += a0 * a0;
        energy1 += a1 * a1;
    }
    sums.midEnergy += midEnergy;
    sums.energy0 += energy0;
    sums.energy1 += energy1;
    sums.count += n;

    if (releasing)
    {
        // Dips left from a previous role fade exactly as on the release path.
        processReleasingRun(in0, in1, out0, out1, n);
    }
    else
    {
        // The band signals go straight into their lookahead line (a later
        // role reads them), then the audio passes through as on a settled
        // Off instance; the outputs are written last, for hosts that process
        // in place.
        int w = delays.delayWritePos;
        alignas(kLaneAlign) double y0[kBandCount];
        alignas(kLaneAlign) double y1[kBandCount];
        for (int t = 0; t < n; ++t)
        {
            bandFilter[0].step(in0[t], y0);
            bandFilter[1].step(in1[t], y1);
            delays.writeBands(w, y0, y1);
            w = w + 1 == kDelayLength ? 0 : w + 1;
        }
        processSettledChunk(in0, in1, out0, out1, n);
    }

    if (period.closesWith(n))
        publishSourcePeriod(slot);
    else
        meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);
}

void EngineParts::processSourceChunk(const double* in0, const double* in1, double* out0,
                                     double* out1, int n, int64_t hostSamplePos, int slot)
{
    OSTREL_VECTOR_DISPATCH(processSourceChunkBody(in0, in1, out0, out1, n, hostSamplePos, slot));
}

void EngineParts::publishSourcePeriod(int slot)
{
    const MidLevelSums& sums = sourceSums;
    float levels[kBandCount];
    bandLevelsFromEnergies(sums.cumulative, sums.midEnergy, sums.count, levels);
    // The editor shows the levels whether or not the channel could be held.
    double shown[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
        shown[k] = levels[k];
    smoothLevelMeter(meters.srcEnergy, shown, levelMeterStep(sums.count, tables.sampleRate),
                     meters.srcMeter);

    // Publication into the held slot, under its level sequence counter.
    const PeerSlot& channelSlot = registry->slots[slot];
    // Never write into a slot that another instance has taken over.
    if (slotHasOwner(channelSlot) && heldSlot(*registry, *link) >= 0)
    {
        beginLevels(*registry, *link);
        for (int k = 0; k < kBandCount; ++k)
            writeLevel(*registry, *link, k, levels[k]);
        publishBlock(*registry, *link, period.startPos, sums.count);
        publishPriority(*registry, *link, chunkSettings.priority);
        publishBalance(*registry, *link,
                       static_cast<float>(balanceOfEnergies(sums.energy0, sums.energy1)));
    }
    meters.peersMeter.store(holderCountOf(channelSlot), std::memory_order_relaxed);
}

} // namespace ostrel
