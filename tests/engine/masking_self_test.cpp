// Self: an instance that needs no other instance and dips the bands of its
// own signal that stand out from their neighbourhood.
#include <gtest/gtest.h>

#include "masking_test_rig.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kSecond = 48000;

class MaskingSelfTest : public ::testing::Test
{
protected:
    std::unique_ptr<PeerRegistry> registry = makeRegistry();
    std::unique_ptr<SpectralEngine> self = makeEngineOn(*registry, kRoleSelf, 9, 100.0);
    Track track;

    void feed(std::vector<double> left, std::vector<double> right)
    {
        track.engine = self.get();
        track.in0 = std::move(left);
        track.in1 = std::move(right);
        runLockStep({&track}, 512);
    }
};

TEST_F(MaskingSelfTest, AStrongToneInPinkNoiseIsDippedAndDistantBandsAreLeftAlone)
{
    const int n = 4 * kSecond;
    std::vector<double> pink = pinkNoise(n, 3, 0.05);
    const std::vector<double> tone = sine(3000.0, kRigRate, n, 0.3);
    for (int t = 0; t < n; ++t)
        pink[t] += tone[t];
    feed(pink, pink);

    const int toneBand = nearestBand(3000.0, MaskingTables().centreHz);
    ASSERT_EQ(toneBand, 13);
    const std::vector<double> change =
        bandChangeDb(bandPowers(delayed(track.in0, kEngineLatency), 2 * kSecond, n),
                     bandPowers(track.out0, 2 * kSecond, n));
    EXPECT_LT(change[toneBand], -6.0);
    // The tone itself, measured on its own frequency.
    const double before = toneAmplitude(track.in0, 3000.0, kRigRate, kSecond, 3 * kSecond);
    const double after = toneAmplitude(track.out0, 3000.0, kRigRate, kSecond + kEngineLatency,
                                       3 * kSecond + kEngineLatency);
    EXPECT_LT(dB(after / before), -6.0);
    for (int k = 0; k < kBandCount; ++k)
    {
        if (std::abs(k - toneBand) >= 4)
        {
            EXPECT_NEAR(change[k], 0.0, 0.5) << "band " << k;
        }
    }
    EXPECT_TRUE(self->meters().linked);
    EXPECT_EQ(self->meters().peers, 1);
    EXPECT_EQ(self->handover().idleSide().link.slotIndex.load(), -1); // Self holds no slot
}

TEST_F(MaskingSelfTest, SmoothNoiseAloneIsHardlyTouched)
{
    const int n = 3 * kSecond;
    feed(pinkNoise(n, 11, 0.1), pinkNoise(n, 12, 0.1));
    const std::vector<double> change =
        bandChangeDb(bandPowers(delayed(track.in0, kEngineLatency), kSecond, n),
                     bandPowers(track.out0, kSecond, n));
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_GT(change[k], -1.5) << "band " << k;
}

TEST_F(MaskingSelfTest, DepthZeroIsBitExact)
{
    self = makeEngineOn(*registry, kRoleSelf, 9, 0.0);
    const int n = kSecond;
    std::vector<double> x = pinkNoise(n, 3, 0.05);
    const std::vector<double> tone = sine(3000.0, kRigRate, n, 0.3);
    for (int t = 0; t < n; ++t)
        x[t] += tone[t];
    feed(x, x);
    for (int t = kEngineLatency; t < n; ++t)
        ASSERT_EQ(track.out0[t], x[t - kEngineLatency]) << "sample " << t;
}

} // namespace
} // namespace ostrel
