// The bells inside a running Masker: a bell dips its own region where the
// Source is covered, independently of the band dips (here switched off with
// Depth 0 %), and leaves the signal bit-exact when it cannot dip.
#include <gtest/gtest.h>

#include "masking_test_rig.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kSecond = 48000;
constexpr int kChannel = 21;

class BellsInAMaskerTest : public ::testing::Test, public SourceAndMasker
{
protected:
    // Depth 0 %: the 24 bands never dip, only the bells can.
    BellsInAMaskerTest() : SourceAndMasker(kChannel, 4 * kSecond, 0.0) {}

    void SetUp() override
    {
        const int n = 4 * kSecond;
        // Noise with a loud whistle at 1150 Hz that stands out over the vowel.
        maskerTrack.in0 = whiteNoise(n, 5, 0.1);
        maskerTrack.in1 = whiteNoise(n, 6, 0.1);
        const std::vector<double> whistle = sine(1150.0, kRigRate, n, 0.2);
        for (int t = 0; t < n; ++t)
        {
            maskerTrack.in0[t] += whistle[t];
            maskerTrack.in1[t] += whistle[t];
        }
    }
    void run(int from, int to) { runLockStep({&sourceTrack, &maskerTrack}, 512, 0, from, to); }
    void placeBell(int b, float hz, float q, float depthPercent, bool active)
    {
        masker->settings().bellFreqHz[b] = hz;
        masker->settings().bellQ[b] = q;
        masker->settings().bellDepthPercent[b] = depthPercent;
        masker->settings().bellActive[b] = active ? 1 : 0;
    }
    void expectBitExact(int from, int to) const
    {
        for (int t = from; t < to; ++t)
        {
            ASSERT_EQ(maskerTrack.out0[t], maskerTrack.in0[t - kEngineLatency]) << "sample " << t;
            ASSERT_EQ(maskerTrack.out1[t], maskerTrack.in1[t - kEngineLatency]) << "sample " << t;
        }
    }
};

TEST_F(BellsInAMaskerTest, AnActiveBellDipsItsRegionWhereTheSourceIsCovered)
{
    placeBell(0, 1200.0f, 2.0f, 100.0f, true);
    run(0, 3 * kSecond);
    const std::vector<double> change =
        bandChangeDb(bandPowers(delayed(maskerTrack.in0, kEngineLatency), kSecond, 3 * kSecond),
                     bandPowers(maskerTrack.out0, kSecond, 3 * kSecond));
    const int bellBand = nearestBand(1200.0, MaskingTables().centreHz);
    EXPECT_LT(change[bellBand], -3.0);
    const double before = toneAmplitude(maskerTrack.in0, 1150.0, kRigRate, kSecond, 2 * kSecond);
    const double after = toneAmplitude(maskerTrack.out0, 1150.0, kRigRate, kSecond + kEngineLatency,
                                       2 * kSecond + kEngineLatency);
    EXPECT_LT(dB(after / before), -6.0);
    for (int k : {0, 1, 2, 3, 20, 21, 22, 23})
        EXPECT_NEAR(change[k], 0.0, 0.5) << "band " << k;
    EXPECT_LT(masker->bells().dipDb(0), -1.0f);
    for (int b = 1; b < kBellCount; ++b)
        EXPECT_EQ(masker->bells().dipDb(b), 0.0f) << "bell " << b;
    // The band dips stay off at Depth 0 %.
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(masker->bandGain(0, k), 1.0) << "band " << k;
}

TEST_F(BellsInAMaskerTest, ABellAtDepthZeroNeverChangesTheSignal)
{
    for (int b = 0; b < kBellCount; ++b)
        placeBell(b, 700.0f * (b + 1), 1.0f, 0.0f, true);
    run(0, 2 * kSecond);
    expectBitExact(kEngineLatency, 2 * kSecond);
}

TEST_F(BellsInAMaskerTest, SwitchingABellOffReturnsItToExactlyUnity)
{
    placeBell(2, 1200.0f, 2.0f, 100.0f, true);
    run(0, kSecond);
    ASSERT_LT(std::min(masker->bells().gain(2, 0), masker->bells().gain(2, 1)), 0.5);
    masker->settings().bellActive[2] = 0;
    run(kSecond, 3 * kSecond);
    EXPECT_EQ(masker->bells().gain(2, 0), 1.0);
    EXPECT_EQ(masker->bells().gain(2, 1), 1.0);
    EXPECT_EQ(masker->bells().dipDb(2), 0.0f);
    expectBitExact(2 * kSecond, 3 * kSecond);
}

TEST_F(BellsInAMaskerTest, LeavingTheMaskerRoleReleasesTheBells)
{
    placeBell(1, 1200.0f, 2.0f, 100.0f, true);
    run(0, kSecond);
    ASSERT_LT(masker->bells().gain(1, 0), 0.5);
    masker->settings().role = kRoleOff;
    run(kSecond, 3 * kSecond);
    EXPECT_TRUE(masker->bells().atRest(1));
    expectBitExact(2 * kSecond, 3 * kSecond);
}

} // namespace
} // namespace ostrel
