// The Source path: published band levels, balance, priority and peers, and
// the robustness of the measurement.
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <limits>

namespace ostrel
{
namespace
{

class SourcePublishing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = testing::makeEngine(48000.0);
        channel = testing::uniqueChannelIndex();
        engine->settings().role = kRoleSource;
        engine->settings().channelIndex = channel;
    }
    PeerSlot& slot() { return sharedRegistry().slots[channel]; }

    // Energy share of each band in the last publication.
    std::vector<double> shares()
    {
        std::vector<double> e(kBandCount);
        double total = 0.0;
        for (int k = 0; k < kBandCount; ++k)
        {
            const double level = slot().bandLevels[k].load();
            e[k] = level * level;
            total += e[k];
        }
        for (double& v : e)
            v /= total;
        return e;
    }

    std::unique_ptr<SpectralEngine> engine;
    int channel = 0;
};

TEST_F(SourcePublishing, SineAtBand8CentreSpreadsTowardTheBandAbove)
{
    const std::vector<double> s = testing::sine(951.0, 48000.0, 48000);
    testing::runStereo(*engine, s, s, {4096});
    ASSERT_EQ(slot().ownerId.load(), engine->handover().idleSide().link.instanceId);
    const std::vector<double> share = shares();
    const double expected[] = {0.03, 0.11, 0.22, 0.25, 0.18, 0.10, 0.05};
    double inRange = 0.0;
    for (int i = 0; i < 7; ++i)
    {
        EXPECT_NEAR(share[6 + i], expected[i], 0.015) << "band " << 6 + i;
        inRange += share[6 + i];
    }
    EXPECT_GT(inRange, 0.9);
    EXPECT_NEAR(slot().balance.load(), 0.0f, 1e-6f);
}

TEST_F(SourcePublishing, DirectCurrentLandsInBand0)
{
    const std::vector<double> dc(96000, 0.5);
    testing::runStereo(*engine, dc, dc, {1024});
    const std::vector<double> share = shares();
    EXPECT_GT(share[0], 0.999);
    EXPECT_NEAR(slot().bandLevels[0].load(), 0.5f, 0.005f);
}

TEST_F(SourcePublishing, SilencePublishesExactlyZero)
{
    const std::vector<double> quiet(9000, 0.0);
    testing::runStereo(*engine, quiet, quiet, {3000});
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(slot().bandLevels[k].load(), 0.0f) << k;
    EXPECT_EQ(slot().balance.load(), 0.0f);
    EXPECT_EQ(slot().levelSeq.load() % 2, 0u);
}

TEST_F(SourcePublishing, LeftOnlyInputHasBalancePlusOneAndRightOnlyMinusOne)
{
    const std::vector<double> s = testing::noise(4800, 51);
    const std::vector<double> quiet(4800, 0.0);
    testing::runStereo(*engine, s, quiet, {480});
    EXPECT_NEAR(slot().balance.load(), 1.0f, 1e-6f);
    testing::runStereo(*engine, quiet, s, {480});
    EXPECT_NEAR(slot().balance.load(), -1.0f, 1e-6f);
}

TEST_F(SourcePublishing, MonoBlockHasBalanceZero)
{
    const std::vector<double> s = testing::noise(4800, 52);
    std::vector<double> scratch;
    testing::runMono(*engine, s, {480}, scratch);
    EXPECT_EQ(slot().balance.load(), 0.0f);
    EXPECT_GT(slot().bandLevels[12].load(), 0.0f);
}

TEST_F(SourcePublishing, PriorityAndPeersArePublished)
{
    engine->settings().priority = 7;
    const std::vector<double> s = testing::noise(1000, 53);
    testing::runStereo(*engine, s, s, {500});
    EXPECT_EQ(slot().priority.load(), 7);
    EXPECT_EQ(slot().role.load(), 1);
    EXPECT_EQ(engine->meters().peers, 1);
    EXPECT_GT(slot().heartbeatMs.load(), 0);
}

TEST_F(SourcePublishing, NonFiniteInputIsLeftOutOfTheLevelsAndBalance)
{
    // Ten whole analysis periods, so both instances below measure the same windows.
    std::vector<double> l = testing::sine(2000.0, 48000.0, 5120, 0.25);
    std::vector<double> r = l;
    l[100] = std::numeric_limits<double>::quiet_NaN();
    r[2000] = std::numeric_limits<double>::infinity();
    l[3000] = -std::numeric_limits<double>::infinity();
    testing::runStereo(*engine, l, r, {5120});
    for (int k = 0; k < kBandCount; ++k)
    {
        const float level = slot().bandLevels[k].load();
        EXPECT_TRUE(std::isfinite(level)) << k;
        EXPECT_LT(level, 0.3f) << k;
    }
    EXPECT_TRUE(std::isfinite(slot().balance.load()));
    EXPECT_NEAR(slot().balance.load(), 0.0f, 0.01f);
    // Clean input afterwards measures as on an instance that never saw the bad samples.
    auto reference = testing::makeEngine(48000.0);
    const int referenceChannel = testing::uniqueChannelIndex();
    reference->settings().role = kRoleSource;
    reference->settings().channelIndex = referenceChannel;
    const std::vector<double> clean = testing::sine(2000.0, 48000.0, 48000, 0.25);
    testing::runStereo(*engine, clean, clean, {5120});
    testing::runStereo(*reference, clean, clean, {5120});
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_NEAR(slot().bandLevels[k].load(),
                    sharedRegistry().slots[referenceChannel].bandLevels[k].load(), 1e-6f)
            << k;
}

TEST_F(SourcePublishing, NothingIsWrittenIntoASlotAnotherInstanceTookOver)
{
    const std::vector<double> s = testing::noise(960, 54);
    testing::runStereo(*engine, s, s, {480});
    ASSERT_EQ(slot().ownerId.load(), engine->handover().idleSide().link.instanceId);
    // Another holder took the slot over while this one still believes it holds it.
    const uint32_t other = engine->handover().idleSide().link.instanceId + 1000;
    slot().ownerId.store(other);
    slot().bandLevels[3].store(-1.0f);
    const uint64_t seq = slot().levelSeq.load();
    testing::runStereo(*engine, s, s, {480});
    EXPECT_EQ(slot().bandLevels[3].load(), -1.0f);
    EXPECT_EQ(slot().levelSeq.load(), seq);
    slot().ownerId.store(0);
}

} // namespace
} // namespace ostrel
