#include <gtest/gtest.h>

#include "engine/masking_spread.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using testing::fromDb;
using testing::MaskingTables;
using testing::toDb;

class MaskingSpreadTest : public ::testing::Test
{
protected:
    MaskingTables t;
    double src[kBandCount] = {};
    MaskingSpread spread;

    void run() { computeMaskingSpread(src, t.centreHz, t.barkOfBand, t.bandWeight, spread); }
};

TEST(MaskingSlopeTest, SteepForQuietOrSilentAndFlatForLoudSources)
{
    EXPECT_DOUBLE_EQ(upperMaskingSlope(0.0, 1000.0), 27.0);
    EXPECT_DOUBLE_EQ(upperMaskingSlope(1e-12, 1000.0), 27.0);
    // -100 dBFS: L clamps to 20, slope 24 + 0.23 - 4.
    EXPECT_NEAR(upperMaskingSlope(1e-5, 1000.0), 20.23, 1e-9);
    // Full scale: L = 100, slope would be 4.23, limited to 5.
    EXPECT_DOUBLE_EQ(upperMaskingSlope(1.0, 1000.0), 5.0);
    // -43 dBFS at 100 Hz: L = 60, 24 + 2.3 - 12.
    EXPECT_NEAR(upperMaskingSlope(fromDb(-43.0), 100.0), 14.3, 1e-9);
    // Very low centre: the 230/f term is limited to 27 dB/Bark.
    EXPECT_DOUBLE_EQ(upperMaskingSlope(1e-5, 20.0), 27.0);
}

TEST_F(MaskingSpreadTest, SilentSourceGivesNoSpreadAndTheMinimumFloor)
{
    run();
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_EQ(spread.maskSpread[k], 0.0);
        EXPECT_EQ(spread.weightedSpread[k], 0.0);
    }
    EXPECT_DOUBLE_EQ(spread.spreadFloor, 1e-6);
}

TEST_F(MaskingSpreadTest, OneSourceBandSpreadsWithItsSlopesPerBark)
{
    const int j = 10;
    src[j] = fromDb(-20.0);
    run();
    EXPECT_NEAR(toDb(spread.maskSpread[j]), -20.0, 1e-9);
    const double upper = upperMaskingSlope(src[j], t.centreHz[j]);
    for (int k = 0; k < kBandCount; ++k)
    {
        const double dz = t.barkOfBand[k] - t.barkOfBand[j];
        const double expectedDb = -20.0 - (dz >= 0.0 ? dz * upper : 27.0 * -dz);
        EXPECT_NEAR(toDb(spread.maskSpread[k]), expectedDb, 1e-6) << "band " << k;
        EXPECT_NEAR(spread.weightedSpread[k], spread.maskSpread[k] * t.bandWeight[j],
                    1e-12 * spread.maskSpread[k] + 1e-300)
            << "band " << k;
    }
    // Loud mid bands mask upward much further than downward.
    EXPECT_GT(spread.maskSpread[j + 3], spread.maskSpread[j - 3]);
}

TEST_F(MaskingSpreadTest, TwoSourcesAddAsPowersAndTheFloorFollowsTheWeightedPeak)
{
    src[8] = 0.1;
    src[9] = 0.1;
    run();
    MaskingSpread only8;
    double one[kBandCount] = {};
    one[8] = 0.1;
    computeMaskingSpread(one, t.centreHz, t.barkOfBand, t.bandWeight, only8);
    MaskingSpread only9;
    one[8] = 0.0;
    one[9] = 0.1;
    computeMaskingSpread(one, t.centreHz, t.barkOfBand, t.bandWeight, only9);
    for (int k = 0; k < kBandCount; ++k)
    {
        const double expected = std::sqrt(only8.maskSpread[k] * only8.maskSpread[k] +
                                          only9.maskSpread[k] * only9.maskSpread[k]);
        EXPECT_NEAR(spread.maskSpread[k], expected, 1e-12) << "band " << k;
    }
    double peak = 0.0;
    for (double w : spread.weightedSpread)
        peak = std::max(peak, w);
    EXPECT_NEAR(toDb(spread.spreadFloor / peak), -12.0, 1e-9);
}

} // namespace
} // namespace ostrel
