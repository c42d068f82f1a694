// The Source stage through its face: what a period's measurement gives as
// balance, sample count and band levels, whatever the input or its slicing.
#include "engine/source_stage.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace ostrel
{
namespace
{

class SourceStageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        computeBandEdges(edges);
        lowpass.design(edges, 48000.0);
        stage.reset();
    }
    void measure(const std::vector<double>& l, const std::vector<double>& r, int slice)
    {
        for (size_t t = 0; t < l.size(); t += slice)
        {
            const int n = static_cast<int>(std::min<size_t>(slice, l.size() - t));
            stage.measure(l.data() + t, r.data() + t, n, lowpass);
        }
    }

    double edges[kEdgeCount];
    LowpassBank lowpass;
    SourceStage stage;
};

struct BalanceCase
{
    const char* name;
    double left, right; // amplitudes of one tone
    double balance;
};

class SourceStageBalance : public SourceStageTest, public ::testing::WithParamInterface<BalanceCase>
{
};

TEST_P(SourceStageBalance, FollowsTheChannelsEnergies)
{
    const BalanceCase& c = GetParam();
    const std::vector<double> tone = testing::sine(1000.0, 48000.0, 4800, 1.0);
    std::vector<double> l(tone.size()), r(tone.size());
    for (size_t t = 0; t < tone.size(); ++t)
    {
        l[t] = c.left * tone[t];
        r[t] = c.right * tone[t];
    }
    measure(l, r, 512);
    EXPECT_NEAR(stage.balance(), c.balance, 1e-9);
    EXPECT_EQ(stage.measuredSamples(), 4800);
}

INSTANTIATE_TEST_SUITE_P(Cases, SourceStageBalance,
                         ::testing::Values(BalanceCase{"LeftOnly", 0.5, 0.0, 1.0},
                                           BalanceCase{"RightOnly", 0.0, 0.5, -1.0},
                                           BalanceCase{"Mono", 0.3, 0.3, 0.0},
                                           BalanceCase{"Silence", 0.0, 0.0, 0.0},
                                           // Energies 1 and 0.25: (1 - 0.25) / 1.25.
                                           BalanceCase{"LeftTwiceAsLoud", 0.5, 0.25, 0.6},
                                           BalanceCase{"OppositePolarity", 0.5, -0.5, 0.0}),
                         [](const ::testing::TestParamInfo<BalanceCase>& info)
                         { return info.param.name; });

// A non-finite or absurd sample counts as silence: the period's measurement
// is the one of the same input with zeros in their place.
TEST_F(SourceStageTest, NonFiniteSamplesMeasureAsSilence)
{
    std::vector<double> l = testing::noise(2048, 7);
    std::vector<double> r = testing::noise(2048, 8);
    std::vector<double> cleanL = l, cleanR = r;
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(), 1e300};
    for (int i = 0; i < 3; ++i)
    {
        l[100 + 300 * i] = bad[i];
        r[700 + 200 * i] = -bad[i];
        cleanL[100 + 300 * i] = 0.0;
        cleanR[700 + 200 * i] = 0.0;
    }
    measure(l, r, 256);
    float dirty[kBandCount];
    stage.levels(dirty);
    const double dirtyBalance = stage.balance();

    stage.reset();
    lowpass.design(edges, 48000.0);
    measure(cleanL, cleanR, 256);
    float clean[kBandCount];
    stage.levels(clean);
    EXPECT_EQ(0, std::memcmp(dirty, clean, sizeof(clean)));
    EXPECT_EQ(dirtyBalance, stage.balance());
}

// How the host slices a period changes the measurement by rounding at most
// (each slice's energies are summed before they join the period's); a reset
// starts the next period from nothing.
TEST_F(SourceStageTest, SlicingChangesTheMeasurementByRoundingAtMostAndResetClearsIt)
{
    const std::vector<double> l = testing::noise(3000, 11);
    const std::vector<double> r = testing::noise(3000, 12);
    float reference[kBandCount];
    measure(l, r, 3000);
    stage.levels(reference);
    const double referenceBalance = stage.balance();
    for (int slice : {1, 7, 64, 512})
    {
        stage.reset();
        lowpass.design(edges, 48000.0);
        measure(l, r, slice);
        float levels[kBandCount];
        stage.levels(levels);
        for (int k = 0; k < kBandCount; ++k)
            EXPECT_FLOAT_EQ(levels[k], reference[k]) << "slice " << slice << ", band " << k;
        EXPECT_NEAR(stage.balance(), referenceBalance, 1e-12) << "slice " << slice;
    }
    stage.reset();
    EXPECT_EQ(stage.measuredSamples(), 0);
    float levels[kBandCount];
    stage.levels(levels);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(levels[k], 0.0f) << "band " << k;
}

} // namespace
} // namespace ostrel
