#include <gtest/gtest.h>

#include "engine/masking_spread.h"
#include "masking_test_tables.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

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

    void run()
    {
        computeMaskingSpread(src, t.centreHz, t.bandWeight, layoutSpreadGeometry(), spread);
    }
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
    computeMaskingSpread(one, t.centreHz, t.bandWeight, layoutSpreadGeometry(), only8);
    MaskingSpread only9;
    one[8] = 0.0;
    one[9] = 0.1;
    computeMaskingSpread(one, t.centreHz, t.bandWeight, layoutSpreadGeometry(), only9);
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

// The spread as every band pair's exponential gives it, summed in the same
// order: what the engine computed before the lower slope's table.
MaskingSpread spreadPairByPair(const MaskingTables& t, const double src[kBandCount])
{
    MaskingSpread out;
    double peakW = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        double sum = 0.0;
        double sumW = 0.0;
        for (int j = 0; j < kBandCount; ++j)
        {
            if (!(src[j] > kSilentLevel))
                continue;
            const double dz = t.barkOfBand[k] - t.barkOfBand[j];
            const double a = dz >= 0.0 ? dz * upperMaskingSlope(src[j], t.centreHz[j])
                                       : kLowerMaskingSlope * (-dz);
            const double amp = src[j] * std::exp(-a * 0.11512925464970228);
            const double ampW = amp * t.bandWeight[j];
            sum += amp * amp;
            sumW += ampW * ampW;
        }
        out.maskSpread[k] = std::sqrt(sum);
        out.weightedSpread[k] = std::sqrt(sumW);
        peakW = std::max(peakW, out.weightedSpread[k]);
    }
    out.spreadFloor = std::max(1e-6, 0.25118864315095801 * peakW);
    return out;
}

struct SourcePattern
{
    const char* name;
    uint32_t seed;
    double silentShare; // of the bands, on average
    double lowDb;       // levels drawn evenly in dB between these
    double highDb;
    bool oddValues; // some bands NaN, infinite, negative or subnormal
};

class MaskingSpreadExactTest : public ::testing::TestWithParam<SourcePattern>
{
};

// The table of the lower slope changes no bit of the spread, whichever bands
// sound and however loud (the slope's limits at both ends included).
TEST_P(MaskingSpreadExactTest, MatchesEveryPairsOwnExponentialBitForBit)
{
    const SourcePattern p = GetParam();
    const MaskingTables t;
    uint32_t x = p.seed;
    const auto next = [&x]
    {
        x = x * 1664525u + 1013904223u;
        return static_cast<double>(x) / 4294967296.0;
    };
    constexpr double kOdd[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(), -0.5, 1e-310, 0.0};
    for (int round = 0; round < 200; ++round)
    {
        double src[kBandCount];
        for (double& level : src)
        {
            level = next() < p.silentShare ? 0.0 : fromDb(p.lowDb + next() * (p.highDb - p.lowDb));
            if (p.oddValues && next() < 0.1)
                level = kOdd[static_cast<int>(next() * 5.0)];
        }
        MaskingSpread spread;
        computeMaskingSpread(src, t.centreHz, t.bandWeight, layoutSpreadGeometry(), spread);
        const MaskingSpread expected = spreadPairByPair(t, src);
        for (int k = 0; k < kBandCount; ++k)
        {
            ASSERT_EQ(std::bit_cast<uint64_t>(spread.maskSpread[k]),
                      std::bit_cast<uint64_t>(expected.maskSpread[k]))
                << "round " << round << " band " << k;
            ASSERT_EQ(std::bit_cast<uint64_t>(spread.weightedSpread[k]),
                      std::bit_cast<uint64_t>(expected.weightedSpread[k]))
                << "round " << round << " band " << k;
        }
        ASSERT_EQ(std::bit_cast<uint64_t>(spread.spreadFloor),
                  std::bit_cast<uint64_t>(expected.spreadFloor))
            << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MaskingSpreadExactTest,
    ::testing::Values(SourcePattern{"MixLevels", 1, 0.3, -90.0, -10.0, false},
                      SourcePattern{"EveryBandSounds", 2, 0.0, -70.0, -20.0, false},
                      SourcePattern{"FewBands", 3, 0.85, -60.0, 0.0, false},
                      SourcePattern{"FullScaleFlattestSlope", 4, 0.2, -3.0, 6.0, false},
                      SourcePattern{"BarelyAudibleSteepestSlope", 5, 0.2, -235.0, -100.0, false},
                      SourcePattern{"OddValues", 6, 0.2, -80.0, 0.0, true}),
    [](const ::testing::TestParamInfo<SourcePattern>& info) { return info.param.name; });

TEST(MaskingSpreadGeometryTest, SitsOnTheBandLayoutsBarkPositions)
{
    const MaskingTables t;
    const MaskingSpreadGeometry& g = layoutSpreadGeometry();
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_EQ(g.barkOfBand[k], t.barkOfBand[k]) << "band " << k;
        // Level with itself a band is not attenuated.
        EXPECT_EQ(g.lowerAttenuation[k][k], 1.0) << "band " << k;
    }
}

} // namespace
} // namespace ostrel
