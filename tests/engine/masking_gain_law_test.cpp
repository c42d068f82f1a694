#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/masking_gain_law.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using testing::fromDb;
using testing::toDb;

TEST(MaskingThresholdsTest, SelectivityAndDepthSetTheChunkLimits)
{
    const ChunkThresholds masker = chunkThresholds(false, 3.0, -48.0, -36.0);
    EXPECT_DOUBLE_EQ(masker.openThresholdDb, 3.0);
    EXPECT_DOUBLE_EQ(masker.closeThresholdDb, 0.0);
    EXPECT_DOUBLE_EQ(masker.prominenceThresholdDb, 0.5);
    EXPECT_DOUBLE_EQ(masker.bandAmountDivisor, 12.0);
    EXPECT_DOUBLE_EQ(masker.bellAmountDivisor, 12.0);
    EXPECT_NEAR(toDb(masker.depthFloor), -48.0, 1e-9);
    EXPECT_NEAR(toDb(masker.margin), -36.0, 1e-9);

    const ChunkThresholds self = chunkThresholds(true, 12.0, 0.0, -6.0);
    EXPECT_DOUBLE_EQ(self.openThresholdDb, 12.0);
    EXPECT_DOUBLE_EQ(self.closeThresholdDb, 9.0);
    EXPECT_DOUBLE_EQ(self.prominenceThresholdDb, 8.0);
    EXPECT_DOUBLE_EQ(self.bandAmountDivisor, 14.0);
    EXPECT_DOUBLE_EQ(self.depthFloor, 1.0);
    EXPECT_DOUBLE_EQ(chunkThresholds(true, 4.0, -48.0, -36.0).bandAmountDivisor, 10.0);
    EXPECT_DOUBLE_EQ(chunkThresholds(true, 4.0, -24.0, -21.0).bandAmountDivisor, 12.0);
}

TEST(MaskingSmoothingTest, AttackIsFiveAndReleaseFiftyMilliseconds)
{
    // A chunk as long as the time constant moves 1 - 1/e of the way.
    const ChunkSmoothing a = chunkSmoothing(240, 48000.0);
    EXPECT_NEAR(a.attack, 1.0 - std::exp(-1.0), 1e-12);
    const ChunkSmoothing r = chunkSmoothing(2400, 48000.0);
    EXPECT_NEAR(r.release, 1.0 - std::exp(-1.0), 1e-12);
}

TEST(MaskingBalanceTest, MismatchIsTheBalanceDifferenceUpToOne)
{
    EXPECT_DOUBLE_EQ(balanceMismatch(0.0f, 1.0, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(balanceMismatch(1.0f, 1.0, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(balanceMismatch(1.0f, 0.0, 1.0), 1.0); // opposite sides, capped
    EXPECT_NEAR(balanceMismatch(0.5f, 1.0, 1.0), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(balanceMismatch(std::numeric_limits<float>::quiet_NaN(), 1.0, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(balanceMismatch(0.25f, 0.0, 0.0), 0.25); // silent Masker counts as centred
}

class MaskingTargetTest : public ::testing::Test
{
protected:
    ChunkThresholds full = chunkThresholds(false, 4.0, -48.0, -36.0);
    BandTargetInputs in;
    void SetUp() override
    {
        in.sourceLive = true;
        in.maskSpread = 0.1;
        in.own = 0.1;
    }
};

TEST_F(MaskingTargetTest, LocalRuleAimsTheMarginBelowTheSpreadWithinTheDepth)
{
    // own = spread: the dip is the margin, -36 dB at full depth.
    EXPECT_NEAR(toDb(bandTargetGain(5, in, full)), -36.0, 1e-9);
    // own 20 dB above spread: -56 dB, limited to the -48 dB floor.
    in.own = 1.0;
    EXPECT_NEAR(toDb(bandTargetGain(5, in, full)), -48.0, 1e-9);
    // Own far below the spread: no dip.
    in.own = 1e-4;
    EXPECT_EQ(bandTargetGain(5, in, full), 1.0);
}

TEST_F(MaskingTargetTest, NothingIsDippedWithoutSourceOrLevelsOrAtDepthZero)
{
    BandTargetInputs noSource = in;
    noSource.sourceLive = false;
    EXPECT_EQ(bandTargetGain(3, noSource, full), 1.0);
    BandTargetInputs silentSpread = in;
    silentSpread.maskSpread = 1e-12;
    EXPECT_EQ(bandTargetGain(3, silentSpread, full), 1.0);
    BandTargetInputs silentOwn = in;
    silentOwn.own = 1e-12;
    EXPECT_EQ(bandTargetGain(3, silentOwn, full), 1.0);

    const ChunkThresholds zero = chunkThresholds(false, 4.0, 0.0, -6.0);
    BandTargetInputs loud = in;
    loud.own = 10.0;
    EXPECT_EQ(bandTargetGain(3, loud, zero), 1.0);
    loud.useShared = true;
    loud.sharedGain = 0.01f;
    EXPECT_EQ(bandTargetGain(3, loud, zero), 1.0);
}

TEST_F(MaskingTargetTest, SharedGainsAreUsedWithinTheDepth)
{
    in.useShared = true;
    in.sharedGain = fromDb(-20.0);
    EXPECT_NEAR(toDb(bandTargetGain(0, in, full)), -20.0, 1e-6);
    const ChunkThresholds half = chunkThresholds(false, 4.0, -12.0, -16.0);
    EXPECT_NEAR(toDb(bandTargetGain(0, in, half)), -12.0, 1e-9);
    in.sharedGain = 1.5;
    EXPECT_EQ(bandTargetGain(0, in, full), 1.0);
}

TEST_F(MaskingTargetTest, BalanceMismatchGivesBackMoreInTheBassThanInTheTreble)
{
    in.useShared = true;
    in.sharedGain = 0.0; // floored to -48 dB
    in.mismatch = 1.0;
    const double floor = full.depthFloor;
    EXPECT_NEAR(bandTargetGain(0, in, full), floor + 0.7 * (1.0 - floor), 1e-12);
    EXPECT_NEAR(bandTargetGain(23, in, full), floor + 0.2 * (1.0 - floor), 1e-12);
    in.mismatch = 0.5;
    EXPECT_NEAR(bandTargetGain(23, in, full), floor + 0.1 * (1.0 - floor), 1e-12);
}

TEST(MaskingSmoothAndGuardTest, DeeperDipsAttackAndShallowerOnesRelease)
{
    const ChunkSmoothing sm{0.5, 0.1};
    double blockGain = 1.0;
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.2, blockGain, sm, 0.0, 1.0, 1.0), 0.6);
    EXPECT_DOUBLE_EQ(blockGain, 0.6);
    EXPECT_DOUBLE_EQ(smoothAndGuard(1.0, blockGain, sm, 0.0, 1.0, 1.0), 0.64);
    // The depth floor limits the result, not the smoothed memory.
    blockGain = 0.01;
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.01, blockGain, sm, 0.5, 1.0, 1.0), 0.5);
    EXPECT_DOUBLE_EQ(blockGain, 0.01);
}

TEST(MaskingSmoothAndGuardTest, GuardWeightsScaleTheDip)
{
    const ChunkSmoothing sm{1.0, 1.0};
    double blockGain = 1.0;
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.2, blockGain, sm, 0.0, 0.0, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.2, blockGain, sm, 0.0, 1.0, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.2, blockGain, sm, 0.0, 0.5, 1.0), 0.6);
    EXPECT_DOUBLE_EQ(smoothAndGuard(0.2, blockGain, sm, 0.0, 0.5, 0.5), 0.8);
}

} // namespace
} // namespace ostrel
