// Values a host may send that no parameter or engine can take: they are
// clamped or refused at the boundary and leave nothing behind.
#include "bundle_fixture.h"

#include <cmath>
#include <limits>
#include <ostream>

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ValueCase
{
    const char* label;
    double sent;
    double stored; // negative: the parameter's default
};

std::ostream& operator<<(std::ostream& out, const ValueCase& c)
{
    return out << c.label;
}

class OutOfRangeParamValue : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(OutOfRangeParamValue, IsStoredClampedForEveryParameter)
{
    const ValueCase& c = GetParam();
    Instance plugin;
    for (const Vst::ParameterInfo& info : plugin->Parameters())
    {
        const double expected = c.stored < 0.0 ? info.defaultNormalizedValue : c.stored;
        // From a value that is neither the default nor the clamp target, so
        // that leaving the old value in place is caught too.
        ASSERT_EQ(plugin->Controller()->setParamNormalized(info.id, 0.5), kResultTrue);
        EXPECT_EQ(plugin->Controller()->setParamNormalized(info.id, c.sent), kResultTrue);
        EXPECT_EQ(plugin->Controller()->getParamNormalized(info.id), expected)
            << c.label << " parameter " << info.id;
    }
    // The state carries what the parameters hold: numbers, never NaN.
    const std::vector<uint8_t> state = plugin.GetState();
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_TRUE(std::isfinite(DoubleAt(state, 8 * static_cast<size_t>(i))))
            << c.label << " parameter " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Values, OutOfRangeParamValue,
    ::testing::Values(ValueCase{"nan", kNaN, -1.0}, ValueCase{"negative_nan", -kNaN, -1.0},
                      ValueCase{"above_one", 1.5, 1.0}, ValueCase{"below_zero", -0.25, 0.0},
                      ValueCase{"plus_infinity", kInf, 1.0},
                      ValueCase{"minus_infinity", -kInf, 0.0}, ValueCase{"largest", 1e308, 1.0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(OutOfRangeParamValueSample, ReachesThePlainValueClamped)
{
    Instance plugin;
    ASSERT_EQ(plugin->Controller()->setParamNormalized(kDepth, 7.0), kResultTrue);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 100.0);
    ASSERT_EQ(plugin->Controller()->setParamNormalized(kPriority, kNaN), kResultTrue);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kPriority), 4.0); // the default
}

struct RateCase
{
    const char* label;
    double rate;
    bool accepted;
};

std::ostream& operator<<(std::ostream& out, const RateCase& c)
{
    return out << c.label;
}

class SampleRate : public ::testing::TestWithParam<RateCase>
{
};

TEST_P(SampleRate, OnlyRealRatesAreAccepted)
{
    const RateCase& c = GetParam();
    Instance plugin;
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, 256, c.rate};
    EXPECT_EQ(plugin->Processor()->setupProcessing(setup), c.accepted ? kResultOk : kResultFalse)
        << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Rates, SampleRate,
    ::testing::Values(RateCase{"zero", 0.0, false}, RateCase{"negative", -44100.0, false},
                      RateCase{"nan", kNaN, false}, RateCase{"infinity", kInf, false},
                      RateCase{"minus_infinity", -kInf, false},
                      RateCase{"above_768k", 768001.0, false}, RateCase{"huge", 1e300, false},
                      RateCase{"tiny", 1e-300, true}, RateCase{"r8000", 8000.0, true},
                      RateCase{"r44100", 44100.0, true}, RateCase{"r768k", 768000.0, true}),
    [](const auto& info) { return std::string(info.param.label); });

// A refused setup must leave the last good one in force: the output is the
// same, sample for sample, as that of an instance that never saw it.
TEST(SampleRateRefusal, LeavesTheEngineAsItWas)
{
    const auto in = TestSignal(2, 6 * kLatency);
    auto run = [&in](bool sendBadRates)
    {
        Instance plugin;
        plugin.Prepare(2, 256);
        if (sendBadRates)
            for (double rate : {0.0, -44100.0, kNaN, kInf})
            {
                Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, 256, rate};
                plugin->Processor()->setupProcessing(setup);
            }
        host::ParameterChanges changes;
        changes.Add(kRole, 0, 1.0);  // Self
        changes.Add(kDepth, 0, 1.0); // 100 %
        changes.Add(kSelectivity, 0, 0.0);
        return plugin.Run(in, &changes);
    };
    const auto reference = run(false);
    const auto afterRefusals = run(true);
    ASSERT_EQ(afterRefusals.size(), reference.size());
    for (size_t c = 0; c < reference.size(); ++c)
        for (size_t i = 0; i < reference[c].size(); ++i)
            ASSERT_EQ(afterRefusals[c][i], reference[c][i]) << "channel " << c << " frame " << i;
    // And the reference does dip, so the comparison means something.
    double difference = 0.0;
    for (size_t i = kLatency; i < in[0].size(); ++i)
        difference += std::fabs(reference[0][i] - in[0][i - kLatency]);
    EXPECT_GT(difference, 1.0);
}

} // namespace
} // namespace ostrel::test
