#include "engine/coordinator_pass.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{
namespace
{

bool isLiveWithRole(const PeerSlot& slot, int role, int64_t nowMs)
{
    return roleOf(slot) == role && isSlotLive(slot, nowMs);
}

} // namespace

double priorityMargin(int priority)
{
    const int i = std::clamp(priority, 1, 8);
    return std::pow(10.0, -((8 - i) * 15.0 / 7.0 + 3.0) / 20.0);
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

void coordinatorPass(PeerRegistry& registry, int64_t nowMs)
{
    // Every live Masker's curve is computed here first and written once at the
    // end, so that a Masker reading its gains during the pass never sees a
    // curve reset to 1.0 half-way (its chunk reads them without a guard).
    float gains[kPeerSlotCount][kPeerBandCount];
    bool isMasker[kPeerSlotCount];
    for (int i = 0; i < kPeerSlotCount; ++i)
    {
        isMasker[i] = isLiveWithRole(registry.slots[i], kPeerRoleMasker, nowMs);
        std::fill(std::begin(gains[i]), std::end(gains[i]), 1.0f);
    }

    for (int src = 0; src < kPeerSlotCount; ++src)
    {
        const PeerSlot& source = registry.slots[src];
        if (!isLiveWithRole(source, kPeerRoleSource, nowMs))
            continue;

        int maskers[kPeerSlotCount];
        int maskerCount = 0;
        for (int m = 0; m < kPeerSlotCount; ++m)
        {
            if (isMasker[m] && targetOf(registry.slots[m]) == src)
                maskers[maskerCount++] = m;
        }
        if (maskerCount == 0)
            continue;

        float s[kPeerBandCount];
        readLevels(source, s);
        const double g = priorityMargin(priorityOf(source));

        double sum[kPeerBandCount] = {};
        for (int i = 0; i < maskerCount; ++i)
        {
            float levels[kPeerBandCount];
            readLevels(registry.slots[maskers[i]], levels);
            for (int k = 0; k < kPeerBandCount; ++k)
                sum[k] += levels[k];
        }

        float curve[kPeerBandCount];
        for (int k = 0; k < kPeerBandCount; ++k)
            curve[k] = coordinatorBandGain(s[k], sum[k], g);
        for (int i = 0; i < maskerCount; ++i)
            std::copy(std::begin(curve), std::end(curve), gains[maskers[i]]);
    }

    for (int m = 0; m < kPeerSlotCount; ++m)
    {
        if (!isMasker[m])
            continue;
        writeCoordinatorGains(registry.slots[m], gains[m]);
    }
    countCoordinatorPass(registry);
}

} // namespace ostrel
