// Band layout, per-band tables and filter tuning, measured as a user would:
// edges and centres in Hz, filter responses in dB. The tables and banks are
// built on their own, as the engine's reset builds them at a rate.
#include "engine/band_layout.h"
#include "engine/band_tables.h"
#include "engine/biquad.h"
#include "engine/filter_banks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

namespace ostrel
{
namespace
{

constexpr double kLower[kBandCount] = {20.0,   70.0,   130.2,  202.4,   289.1,   393.2,
                                       518.3,  668.6,  849.1,  1065.9,  1326.3,  1639.1,
                                       2014.7, 2466.0, 3007.9, 3658.9,  4440.8,  5380.0,
                                       6508.0, 7862.9, 9490.3, 11445.0, 13792.8, 16612.8};
constexpr double kCentre[kBandCount] = {37.4,   95.5,   162.3,   241.9,   337.2,   451.5,
                                        588.7,  753.5,  951.4,   1189.0,  1474.4,  1817.2,
                                        2229.0, 2723.5, 3317.5,  4030.9,  4887.9,  5917.2,
                                        7153.4, 8638.4, 10421.9, 12564.2, 15137.3, 18227.9};

double responseDb(const BiquadCoefficients& c, double hz, double sampleRate, int sections = 1)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
    return sections * 20.0 * std::log10(std::abs(h));
}

// The tables of a rate and the banks designed from their edges.
struct TunedBands
{
    BandTables tables;
    BandPassBank bandPass;
    LowpassBank lowpass;

    explicit TunedBands(double rate)
    {
        tables.build(rate);
        bandPass.design(tables.edgeHz, rate);
        lowpass.design(tables.edgeHz, rate);
    }
};

std::unique_ptr<TunedBands> tune(double rate)
{
    return std::make_unique<TunedBands>(rate);
}

class BandTablesAtRate : public ::testing::TestWithParam<double>
{
};

TEST_P(BandTablesAtRate, EdgesAndCentresMatchTheTableToATenthOfAHertz)
{
    const auto bands = tune(GetParam());
    const BandTables& t = bands->tables;
    EXPECT_EQ(t.sampleRate, GetParam());
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_NEAR(bandLowerHz(t.edgeHz, k), kLower[k], 0.05 + 1e-9) << "band " << k;
        EXPECT_NEAR(t.centreHz[k], kCentre[k], 0.05 + 1e-9) << "band " << k;
    }
    EXPECT_DOUBLE_EQ(bandUpperHz(t.edgeHz, kBandCount - 1), 20000.0);
}

TEST_P(BandTablesAtRate, NoFilterIsLimitedFrom44kHzUp)
{
    const double rate = GetParam();
    const auto bands = tune(rate);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_NEAR(responseDb(bands->bandPass.coefficients(k), kCentre[k], rate), 0.0, 0.01)
            << "band " << k;
    for (int j = 0; j < kEdgeCount; ++j)
        EXPECT_NEAR(responseDb(bands->lowpass.coefficients(j), bands->tables.edgeHz[j], rate, 2),
                    -6.02, 0.01)
            << "edge " << j;
}

INSTANTIATE_TEST_SUITE_P(CommonRates, BandTablesAtRate,
                         ::testing::Values(44100.0, 48000.0, 96000.0));

TEST(BandTablesAt32kHz, TopBandPassAndLastLowPassAreTunedTo15680Hz)
{
    const auto bands = tune(32000.0);
    EXPECT_NEAR(bands->tables.centreHz[23], 18227.9, 0.05);
    // Peak of the band-23 band-pass (0 dB) sits at 15680 Hz, not at its centre.
    EXPECT_NEAR(responseDb(bands->bandPass.coefficients(23), 15680.0, 32000.0), 0.0, 1e-6);
    EXPECT_LT(responseDb(bands->bandPass.coefficients(23), 15000.0, 32000.0), -0.01);
    // Linkwitz-Riley -6.02 dB point of the last low-pass at 15680 Hz.
    EXPECT_NEAR(responseDb(bands->lowpass.coefficients(22), 15680.0, 32000.0, 2), -6.02, 0.01);
    // Bands below the limit keep their own tuning.
    EXPECT_NEAR(responseDb(bands->bandPass.coefficients(22), kCentre[22], 32000.0), 0.0, 1e-6);
}

TEST(BandTables, BarkAndWeightFollowTheirCurves)
{
    EXPECT_NEAR(barkOfHz(1000.0), 8.51, 0.01);
    EXPECT_NEAR(barkOfHz(100.0), 0.99, 0.01);
    struct Point
    {
        double hz, db;
    } points[] = {{20.0, -12.0},
                  {50.0, -12.0},
                  {120.0, -7.0},
                  {1000.0, 2.0},
                  {3500.0, 5.0},
                  {8000.0, 1.0},
                  {20000.0, -5.0},
                  {22000.0, -5.0},
                  {std::sqrt(1000.0 * 2500.0), 2.5},
                  {std::sqrt(3500.0 * 4500.0), 4.0}};
    for (const Point& p : points)
        EXPECT_NEAR(weightingDb(p.hz), p.db, 1e-9) << p.hz << " Hz";
    EXPECT_NEAR(weightingGain(1000.0), std::pow(10.0, 0.1), 1e-12);
}

TEST(BandTables, EnvelopeTimesSlowDownInTheBass)
{
    EXPECT_DOUBLE_EQ(envelopeAttackMs(37.4), 10.0);
    EXPECT_DOUBLE_EQ(envelopeAttackMs(2000.0), 1.5);
    EXPECT_DOUBLE_EQ(envelopeAttackMs(18000.0), 1.5);
    EXPECT_DOUBLE_EQ(envelopeReleaseMs(60.0), 150.0);
    EXPECT_DOUBLE_EQ(envelopeReleaseMs(2000.0), 50.0);
    EXPECT_NEAR(envelopeReleaseMs(4000.0), 42.5, 1e-9);
    EXPECT_DOUBLE_EQ(envelopeReleaseMs(8000.0), 35.0);
    EXPECT_DOUBLE_EQ(envelopeReleaseMs(18000.0), 35.0);
}

TEST(BandTables, TimeConstantsReachOneOverEAtTheirTime)
{
    const auto bands = tune(48000.0);
    const BandTables& t = bands->tables;
    double g = 0.0;
    for (int i = 0; i < 960; ++i) // 20 ms
        g += (1.0 - g) * t.glideCoef;
    EXPECT_NEAR(g, 1.0 - std::exp(-1.0), 1e-3);
    EXPECT_NEAR(std::pow(t.levelDecay, 3840), std::exp(-1.0), 1e-9); // 80 ms
    // Band 0's attack is 10 ms: its coefficient is the one-pole of 480 samples.
    EXPECT_NEAR(t.bandAttack[0][0], 1.0 - std::exp(-1.0 / 480.0), 1e-15);
    EXPECT_DOUBLE_EQ(t.bandAttack[1][5], t.bandAttack[0][5]);
}

} // namespace
} // namespace ostrel
