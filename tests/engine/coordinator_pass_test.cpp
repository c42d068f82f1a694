#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/coordinator_pass.h"

namespace ostrel
{
namespace
{

constexpr int64_t kNow = 100000;

double toDb(double g)
{
    return 20.0 * std::log10(g);
}

// A private registry with slots filled by hand as live holders would.
class CoordinatorPassTest : public ::testing::Test
{
protected:
    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    uint32_t nextOwner = 1;

    PeerSlot& hold(int index, int role, const float levels[kPeerBandCount],
                   int64_t heartbeat = kNow)
    {
        PeerSlot& s = registry->slots[index];
        s.ownerId.store(nextOwner++);
        s.role.store(role);
        s.heartbeatMs.store(heartbeat);
        for (int k = 0; k < kPeerBandCount; ++k)
            s.bandLevels[k].store(levels[k]);
        s.levelSeq.store(s.levelSeq.load() + 2);
        return s;
    }
    PeerSlot& source(int index, float level, int priority)
    {
        float l[kPeerBandCount];
        std::fill(std::begin(l), std::end(l), level);
        PeerSlot& s = hold(index, kPeerRoleSource, l);
        s.priority.store(priority);
        return s;
    }
    PeerSlot& masker(int index, int target, float level)
    {
        float l[kPeerBandCount];
        std::fill(std::begin(l), std::end(l), level);
        PeerSlot& s = hold(index, kPeerRoleMasker, l);
        s.target.store(target);
        return s;
    }
    float gain(int slot, int band) const { return registry->slots[slot].coordGains[band].load(); }
};

TEST(CoordinatorMarginTest, PriorityEightIsThreeAndPriorityOneEighteenDecibels)
{
    EXPECT_NEAR(toDb(priorityMargin(8)), -3.0, 1e-9);
    EXPECT_NEAR(toDb(priorityMargin(1)), -18.0, 1e-9);
    EXPECT_NEAR(toDb(priorityMargin(4)), -3.0 - 4.0 * 15.0 / 7.0, 1e-9);
    EXPECT_EQ(priorityMargin(0), priorityMargin(1));
    EXPECT_EQ(priorityMargin(99), priorityMargin(8));
}

TEST_F(CoordinatorPassTest, TwoMaskersShareOneCurveThatPutsTheirSumBelowTheSource)
{
    for (int priority : {8, 1})
    {
        source(2, 0.1f, priority);
        masker(63, 2, 0.2f);
        masker(62, 2, 0.3f);
        coordinatorPass(*registry, kNow);
        const double expectDb = priority == 8 ? -3.0 : -18.0;
        for (int k = 0; k < kPeerBandCount; ++k)
        {
            EXPECT_EQ(gain(63, k), gain(62, k)) << "band " << k;
            const double sumAfter = (0.2 + 0.3) * gain(63, k);
            EXPECT_NEAR(toDb(sumAfter / 0.1), expectDb, 1e-4) << "priority " << priority;
        }
    }
}

TEST_F(CoordinatorPassTest, GainsAreFlooredAtMinus48AndNeverBoost)
{
    float s[kPeerBandCount] = {};
    float m[kPeerBandCount] = {};
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        s[k] = 0.01f;
        m[k] = k < 12 ? 100.0f : 0.001f; // far too loud / already quiet
    }
    hold(5, kPeerRoleSource, s).priority.store(8);
    hold(40, kPeerRoleMasker, m).target.store(5);
    coordinatorPass(*registry, kNow);
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        if (k < 12)
            EXPECT_NEAR(toDb(gain(40, k)), -48.0, 1e-4) << "band " << k;
        else
            EXPECT_EQ(gain(40, k), 1.0f) << "band " << k;
    }
}

TEST_F(CoordinatorPassTest, BandsWhereSourceOrMaskersAreBelowTheThresholdKeepUnity)
{
    float s[kPeerBandCount];
    float m[kPeerBandCount];
    std::fill(std::begin(s), std::end(s), 0.1f);
    std::fill(std::begin(m), std::end(m), 1.0f);
    s[3] = 9e-7f;
    m[4] = 9e-7f;
    s[5] = -1.0f;         // unpublished reads as 0
    m[6] = std::nanf(""); // garbage reads as 0
    s[7] = 2e6f;          // out of range reads as 0
    hold(0, kPeerRoleSource, s);
    hold(1, kPeerRoleMasker, m).target.store(0);
    coordinatorPass(*registry, kNow);
    for (int k : {3, 4, 5, 6, 7})
        EXPECT_EQ(gain(1, k), 1.0f) << "band " << k;
    EXPECT_LT(gain(1, 0), 1.0f);
}

TEST_F(CoordinatorPassTest, MaskersOfADeadOrMissingSourceAreReleasedToUnity)
{
    source(2, 0.1f, 8);
    masker(63, 2, 1.0f);
    masker(61, 9, 1.0f); // its Source never existed
    coordinatorPass(*registry, kNow);
    EXPECT_LT(gain(63, 0), 1.0f);
    for (int k = 0; k < kPeerBandCount; ++k)
        registry->slots[61].coordGains[k].store(0.5f); // left over from earlier
    // The Source goes stale: 5001 ms without a heartbeat.
    registry->slots[2].heartbeatMs.store(kNow - 5001);
    coordinatorPass(*registry, kNow);
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        EXPECT_EQ(gain(63, k), 1.0f);
        EXPECT_EQ(gain(61, k), 1.0f);
    }
}

TEST_F(CoordinatorPassTest, OnlyLiveMaskersAreCountedAndWritten)
{
    source(2, 0.1f, 8);
    masker(63, 2, 0.5f);
    PeerSlot& stale = masker(60, 2, 10.0f);
    stale.heartbeatMs.store(kNow - 6000);
    for (int k = 0; k < kPeerBandCount; ++k)
        stale.coordGains[k].store(0.25f);
    PeerSlot& released = masker(59, 2, 10.0f);
    released.ownerId.store(0);
    coordinatorPass(*registry, kNow);
    // Only the live Masker's level counts: 0.5 brought to 3 dB below 0.1.
    EXPECT_NEAR(toDb(0.5 * gain(63, 0) / 0.1), -3.0, 1e-4);
    EXPECT_EQ(stale.coordGains[0].load(), 0.25f);
    // A heartbeat of exactly 5000 ms is still live.
    stale.heartbeatMs.store(kNow - 5000);
    coordinatorPass(*registry, kNow);
    EXPECT_NEAR(toDb(10.5 * gain(60, 0) / 0.1), -3.0, 1e-4);
}

TEST_F(CoordinatorPassTest, EachPassIsCounted)
{
    EXPECT_EQ(registry->header.coordinatorPassCount.load(), 0);
    coordinatorPass(*registry, kNow);
    coordinatorPass(*registry, kNow);
    EXPECT_EQ(registry->header.coordinatorPassCount.load(), 2);
}

} // namespace
} // namespace ostrel
