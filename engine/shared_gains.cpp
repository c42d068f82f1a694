#include "engine/shared_gains.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

namespace
{

double marginOfPriority(int priority)
{
    return std::pow(10.0, -((8 - priority) * 15.0 / 7.0 + 3.0) / 20.0);
}

// Eight priorities, eight margins: taken as the library loads, not once a
// period on every Masker's audio thread.
struct PriorityMargins
{
    double margin[8] = {};
    PriorityMargins()
    {
        for (int p = 1; p <= 8; ++p)
            margin[p - 1] = marginOfPriority(p);
    }
};

const PriorityMargins kPriorityMargins;

} // namespace

double priorityMargin(int priority)
{
    return kPriorityMargins.margin[std::clamp(priority, 1, 8) - 1];
}

float coordinatorBandGain(double s, double m, double g)
{
    if (s < 1e-6 || m < 1e-6)
        return 1.0f;
    const double r = s * g / m;
    if (r > 1.0)
        return 1.0f;
    return std::max(static_cast<float>(r), kCoordinatorGainFloor);
}

void sharedGainCurve(const PeerRegistry& registry, int sourceSlot, int64_t periodStart,
                     const float source[kPeerBandCount], int64_t nowMs, float out[kPeerBandCount])
{
    // Each band's levels are summed from the smallest up: every Masker of
    // the Source gets the same curve to the bit, whichever computes it and
    // whichever slots the host's start-up order gave them.
    float levels[kPeerSlotCount][kPeerBandCount];
    int count = 0;
    for (int m = 0; m < kPeerSlotCount; ++m)
    {
        const PeerSlot& slot = registry.slots[m];
        if (roleOf(slot) != kPeerRoleMasker || targetOf(slot) != sourceSlot ||
            !isSlotLive(slot, nowMs))
            continue;
        float* mine = levels[count];
        const bool read =
            periodStart >= 0 ? readLevelsEndingBy(slot, periodStart, mine) : readLevels(slot, mine);
        if (read)
            ++count;
    }
    double sum[kPeerBandCount];
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        float band[kPeerSlotCount];
        for (int i = 0; i < count; ++i)
            band[i] = levels[i][k];
        std::sort(band, band + count);
        double total = 0.0;
        for (int i = 0; i < count; ++i)
            total += band[i];
        sum[k] = total;
    }
    const double g = priorityMargin(priorityOf(registry.slots[sourceSlot & (kPeerSlotCount - 1)]));
    for (int k = 0; k < kPeerBandCount; ++k)
        out[k] = coordinatorBandGain(source[k], sum[k], g);
}

} // namespace ostrel
