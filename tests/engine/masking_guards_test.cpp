#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "engine/masking_guards.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using testing::MaskingTables;

class MaskingGuardsTest : public ::testing::Test
{
protected:
    MaskingTables t;
    double weight[kBandCount];
};

TEST_F(MaskingGuardsTest, GuardsAtTheEndsOfTheRangeLeaveEveryBandFree)
{
    for (double hz : {0.0, 20.0, 20.5})
    {
        lowGuardWeights(hz, t.edgeHz, weight);
        for (int k = 0; k < kBandCount; ++k)
            EXPECT_EQ(weight[k], 1.0) << "low guard " << hz << " band " << k;
    }
    for (double hz : {19999.0, 20000.0, 24000.0})
    {
        highGuardWeights(hz, t.edgeHz, weight);
        for (int k = 0; k < kBandCount; ++k)
            EXPECT_EQ(weight[k], 1.0) << "high guard " << hz << " band " << k;
    }
}

TEST_F(MaskingGuardsTest, LowGuardProtectsBandsBelowItAndRampsOverTheOctaveAbove)
{
    lowGuardWeights(500.0, t.edgeHz, weight);
    for (int k = 0; k < kBandCount; ++k)
    {
        const double c = t.centreHz[k];
        if (c <= 500.0)
            EXPECT_EQ(weight[k], 0.0) << "band " << k;
        else if (c >= 1000.0)
            EXPECT_EQ(weight[k], 1.0) << "band " << k;
        else
            EXPECT_NEAR(weight[k], 0.5 * (1.0 - std::cos(std::numbers::pi * std::log2(c / 500.0))),
                        1e-12)
                << "band " << k;
    }
    // Bands 0..5 (centres up to 451 Hz) protected, 6..8 ramping, 9 and up free.
    EXPECT_EQ(weight[5], 0.0);
    EXPECT_GT(weight[6], 0.0);
    EXPECT_LT(weight[8], 1.0);
    EXPECT_EQ(weight[9], 1.0);
}

TEST_F(MaskingGuardsTest, HighGuardProtectsBandsAboveItAndRampsOverTheOctaveBelow)
{
    highGuardWeights(5000.0, t.edgeHz, weight);
    for (int k = 0; k < kBandCount; ++k)
    {
        const double c = t.centreHz[k];
        if (c >= 5000.0)
            EXPECT_EQ(weight[k], 0.0) << "band " << k;
        else if (c <= 2500.0)
            EXPECT_EQ(weight[k], 1.0) << "band " << k;
        else
            EXPECT_GT(weight[k], 0.0) << "band " << k;
    }
}

TEST_F(MaskingGuardsTest, WeightsAreRecomputedOnlyWhenAGuardMoves)
{
    float lastLow = -1.0f;
    float lastHigh = -1.0f;
    double low[kBandCount];
    double high[kBandCount];
    GuardWeightsRef state{lastLow, lastHigh, low, high};

    EXPECT_TRUE(updateGuardWeights(500.0f, 20000.0f, t.edgeHz, state));
    EXPECT_EQ(low[0], 0.0);
    EXPECT_EQ(high[23], 1.0);
    EXPECT_FALSE(updateGuardWeights(500.0f, 20000.0f, t.edgeHz, state));
    EXPECT_TRUE(updateGuardWeights(20.0f, 20000.0f, t.edgeHz, state));
    EXPECT_EQ(low[0], 1.0);
}

// A guard that is not a number would make every weight NaN and with it the
// band gains; it counts as changed every time and as switched off.
TEST_F(MaskingGuardsTest, NotANumberGuardIsTreatedAsOff)
{
    float lastLow = -1.0f;
    float lastHigh = -1.0f;
    double low[kBandCount];
    double high[kBandCount];
    GuardWeightsRef state{lastLow, lastHigh, low, high};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(updateGuardWeights(nan, nan, t.edgeHz, state));
    EXPECT_TRUE(updateGuardWeights(nan, nan, t.edgeHz, state));
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_EQ(low[k], 1.0);
        EXPECT_EQ(high[k], 1.0);
    }
}

} // namespace
} // namespace ostrel
