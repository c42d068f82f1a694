#include "engine/source_stage.h"

#include "engine/engine_state.h"
#include "engine/masking_meters.h"

#include <cmath>

namespace ostrel
{

void SourceStage::levels(float out[kBandCount]) const
{
    bandLevelsFromEnergies(sums_.cumulative, sums_.midEnergy, sums_.count, out);
}

double SourceStage::balance() const
{
    const double balance =
        (sums_.energy0 - sums_.energy1) / (sums_.energy0 + sums_.energy1 + 1e-20);
    return std::isfinite(balance) ? balance : 0.0;
}

void SourceStage::publishPeriod(PeerRegistry& registry, PeerLink& link, int slot,
                                int64_t periodStart, int32_t priority, double sampleRate,
                                EngineMeters& meters) const
{
    float bandLevels[kBandCount];
    levels(bandLevels);
    // The editor shows the levels whether or not the channel could be held.
    double shown[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
        shown[k] = bandLevels[k];
    smoothLevelMeter(meters.srcEnergy, shown, levelMeterStep(sums_.count, sampleRate),
                     meters.srcMeter);

    const PeerSlot& channelSlot = registry.slots[slot];
    // Never write into a slot that another instance has taken over.
    if (slotHasOwner(channelSlot) && heldSlot(registry, link) >= 0)
    {
        beginLevels(registry, link);
        for (int k = 0; k < kBandCount; ++k)
            writeLevel(registry, link, k, bandLevels[k]);
        publishBlock(registry, link, periodStart, sums_.count);
        publishPriority(registry, link, priority);
        publishBalance(registry, link, static_cast<float>(balance()));
    }
    meters.peersMeter.store(holderCountOf(channelSlot), std::memory_order_relaxed);
}

} // namespace ostrel
