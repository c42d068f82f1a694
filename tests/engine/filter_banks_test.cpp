// The filter banks against the scalar filter steps, and the non-finite guards.
#include "engine/filter_banks.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <limits>

namespace ostrel
{
namespace
{

class FilterBanks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        computeBandEdges(edges);
        bandPass.design(edges, 44100.0);
        lowPass.design(edges, 44100.0);
        for (int k = 0; k < kBandCount; ++k)
            scalarBandPass[k].setCoefficients(bandPass.coefficients(k));
        for (int j = 0; j < kEdgeCount; ++j)
            scalarLowPass[j].setCoefficients(lowPass.coefficients(j));
    }

    double edges[kEdgeCount];
    BandPassBank bandPass;
    LowpassBank lowPass;
    Biquad scalarBandPass[kBandCount];
    Lowpass4 scalarLowPass[kEdgeCount];
};

TEST_F(FilterBanks, BanksComputeExactlyWhatTheScalarStepsCompute)
{
    const std::vector<double> in = testing::noise(3000, 7);
    double y[kBandCount];
    double l[kEdgeCount];
    for (double x : in)
    {
        bandPass.step(x, y);
        lowPass.step(x, l);
        for (int k = 0; k < kBandCount; ++k)
            ASSERT_EQ(y[k], scalarBandPass[k].step(x));
        for (int j = 0; j < kEdgeCount; ++j)
            ASSERT_EQ(l[j], scalarLowPass[j].step(x));
    }
}

// The band-pass bank keeps its states negated: through loud, tiny and
// decaying signals they stay the scalar step's negated bit for bit (an exact
// zero of either sign aside), and so do the outputs.
struct BankSignal
{
    const char* name;
    double amplitude;
    int silentFrom; // samples from here on are silence (the filters ring out)
};

class BandPassStates : public FilterBanks, public ::testing::WithParamInterface<BankSignal>
{
};

TEST_P(BandPassStates, AreTheScalarStepsNegated)
{
    const BankSignal& signal = GetParam();
    std::vector<double> in = testing::noise(6000, 5, signal.amplitude);
    for (size_t i = static_cast<size_t>(signal.silentFrom); i < in.size(); ++i)
        in[i] = 0.0;
    double y[kBandCount];
    for (double x : in)
    {
        bandPass.step(x, y);
        for (int k = 0; k < kBandCount; ++k)
        {
            ASSERT_EQ(y[k], scalarBandPass[k].step(x)) << "band " << k;
            ASSERT_EQ(bandPass.s1[k], -scalarBandPass[k].s1) << "band " << k;
            ASSERT_EQ(bandPass.s2[k], -scalarBandPass[k].s2) << "band " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, BandPassStates,
    ::testing::Values(BankSignal{"FullScale", 1.0, 6000}, BankSignal{"Loudest", 1e4, 6000},
                      BankSignal{"Tiny", 1e-300, 6000}, BankSignal{"ImpulseThenSilence", 1.0, 1},
                      BankSignal{"NoiseThenSilence", 0.5, 200}),
    [](const ::testing::TestParamInfo<BankSignal>& info) { return info.param.name; });

TEST_F(FilterBanks, NonFiniteInputCountsAsSilence)
{
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    const std::vector<double> in = testing::noise(500, 11);
    BandPassBank cleanBandPass = bandPass;
    LowpassBank cleanLowPass = lowPass;
    double y[kBandCount], yClean[kBandCount], l[kEdgeCount], lClean[kEdgeCount];
    for (size_t i = 0; i < in.size(); ++i)
    {
        const bool poison = i % 50 == 3;
        const double x = poison ? bad[i % 3] : in[i];
        bandPass.step(x, y);
        cleanBandPass.step(poison ? 0.0 : x, yClean);
        lowPass.step(x, l);
        cleanLowPass.step(poison ? 0.0 : x, lClean);
        for (int k = 0; k < kBandCount; ++k)
            ASSERT_EQ(y[k], yClean[k]);
        for (int j = 0; j < kEdgeCount; ++j)
            ASSERT_EQ(l[j], lClean[j]);
    }
    Biquad b;
    b.setCoefficients(bandPass.coefficients(8));
    b.step(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(b.s1, 0.0);
    EXPECT_EQ(b.s2, 0.0);
}

// The banks keep only b0 of each numerator: the designs must give the shapes
// they assume, exactly, at every tuning and rate.
TEST(FilterDesigns, NumeratorsHaveTheShapeTheBanksAssume)
{
    for (const double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0})
        for (const double hz : {20.0, 97.5, 1000.0, 8123.0, 20000.0, 200000.0})
        {
            for (const double q : {0.05, 0.7, 4.3, 30.0})
            {
                const BiquadCoefficients b = bandPassCoefficients(hz, q, rate);
                EXPECT_EQ(b.b1, 0.0) << hz << " Hz at " << rate;
                EXPECT_EQ(b.b2, -b.b0) << hz << " Hz at " << rate;
            }
            const BiquadCoefficients l = lowPassSectionCoefficients(hz, rate);
            EXPECT_EQ(l.b1, l.b0 + l.b0) << hz << " Hz at " << rate;
            EXPECT_EQ(l.b2, l.b0) << hz << " Hz at " << rate;
        }
}

TEST_F(FilterBanks, LowPassesSplitASineIntoComplementaryEnergies)
{
    // Well below an edge the low-pass passes a sine at 0 dB, well above it
    // removes it: the cumulative energies rise with the edge index.
    const double rate = 44100.0;
    const std::vector<double> s = testing::sine(1000.0, rate, 20000);
    double cumulative[kLowpassLanes] = {};
    for (int i = 0; i < 20000; ++i)
    {
        if (i == 10000)
            std::fill(cumulative, cumulative + kEdgeCount, 0.0);
        lowPass.accumulate(s[i], cumulative);
    }
    const double sineEnergy = 0.125 * 10000; // amplitude 0.5
    EXPECT_LT(cumulative[3] / sineEnergy, 1e-4);
    EXPECT_NEAR(cumulative[22] / sineEnergy, 1.0, 1e-3);
    for (int j = 1; j < kEdgeCount; ++j)
        EXPECT_GE(cumulative[j], cumulative[j - 1] - 1e-3 * sineEnergy) << j;
}

} // namespace
} // namespace ostrel
