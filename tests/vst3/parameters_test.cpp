// The parameters as a host's controller sees them: info, display strings,
// conversions and values set through the controller.
#include "bundle_fixture.h"

#include <cmath>
#include <optional>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ostrel::test
{
namespace
{

class Parameters : public ::testing::Test
{
protected:
    ParameterInfo InfoOf(ParamID id)
    {
        for (const auto& p : plugin->Parameters())
            if (p.id == id)
                return p;
        ADD_FAILURE() << "no parameter " << id;
        return ParameterInfo{};
    }
    std::string Text(ParamID id, double normalised)
    {
        String128 text{};
        EXPECT_EQ(plugin->Controller()->getParamStringByValue(id, normalised, text), kResultTrue);
        return host::FromString128(text);
    }
    double FromText(ParamID id, const std::string& text)
    {
        String128 s{};
        host::CopyToString128(text, s);
        ParamValue v = -1.0;
        EXPECT_EQ(plugin->Controller()->getParamValueByString(id, s, v), kResultTrue);
        return v;
    }
    IEditController* Controller() { return plugin->Controller(); }

    Instance plugin;
};

TEST_F(Parameters, HostBypassFirstThenTheTwentySevenInTableOrder)
{
    const auto list = plugin->Parameters();
    ASSERT_EQ(list.size(), 28u);
    EXPECT_EQ(list[0].id, kHostBypassId);
    EXPECT_EQ(host::FromString128(list[0].title), "Bypass");
    EXPECT_EQ(list[0].flags, 0x10009);
    EXPECT_EQ(list[0].stepCount, 1);
    EXPECT_EQ(list[0].unitId, 0);
    const char* titles[kParamCount] = {"Role",        "Channel",    "Depth",        "Bypass",
                                       "Selectivity", "Listen",     "Low Guard",    "Sidechain",
                                       "Bell 1 Freq", "Bell 1 Q",   "Bell 1 Depth", "Bell 1 Active",
                                       "Bell 2 Freq", "Bell 2 Q",   "Bell 2 Depth", "Bell 2 Active",
                                       "Bell 3 Freq", "Bell 3 Q",   "Bell 3 Depth", "Bell 3 Active",
                                       "Bell 4 Freq", "Bell 4 Q",   "Bell 4 Depth", "Bell 4 Active",
                                       "Bell Listen", "High Guard", "Priority"};
    for (int i = 0; i < kParamCount; ++i)
    {
        const ParameterInfo& p = list[static_cast<size_t>(i) + 1];
        EXPECT_EQ(p.id, static_cast<ParamID>(i));
        EXPECT_EQ(host::FromString128(p.title), titles[i]);
        EXPECT_EQ(p.unitId, 0) << titles[i];
        EXPECT_NE(p.flags & ParameterInfo::kCanAutomate, 0) << titles[i];
    }
}

struct InfoCase
{
    ParamID id;
    int32 stepCount;
    const char* units;
    bool isList;
    double defaultNormalised;
};

TEST_F(Parameters, StepCountsUnitsAndDefaults)
{
    const InfoCase cases[] = {
        {kRole, 3, "", true, 0.0},           {kChannel, 63, "", false, 0.0},
        {kDepth, 0, "%", false, 0.0},        {kBypass, 1, "", false, 0.0},
        {kSelectivity, 0, "%", false, 0.11}, {kListen, 1, "", false, 0.0},
        {kLowGuard, 0, "Hz", false, 0.0},    {kBell1Q, 0, "", false, (1.5 - 0.3) / 9.7},
        {kBell1Active, 1, "", false, 0.0},   {kBellListen, 4, "", false, 0.0},
        {kHighGuard, 0, "Hz", false, 1.0},   {kPriority, 7, "", false, 3.0 / 7.0},
    };
    for (const auto& c : cases)
    {
        const ParameterInfo p = InfoOf(c.id);
        EXPECT_EQ(p.stepCount, c.stepCount) << "parameter " << c.id;
        EXPECT_EQ(host::FromString128(p.units), c.units) << "parameter " << c.id;
        EXPECT_EQ((p.flags & ParameterInfo::kIsList) != 0, c.isList) << "parameter " << c.id;
        EXPECT_NEAR(p.defaultNormalizedValue, c.defaultNormalised, 1e-12) << "parameter " << c.id;
        EXPECT_NEAR(Controller()->getParamNormalized(c.id), c.defaultNormalised, 1e-12)
            << "parameter " << c.id;
    }
}

TEST_F(Parameters, DisplayStringsOfTheDefaults)
{
    EXPECT_EQ(Text(kRole, 0.0), "Off");
    EXPECT_EQ(Text(kSelectivity, InfoOf(kSelectivity).defaultNormalizedValue), "11.0");
    EXPECT_EQ(Text(kBell1Freq, InfoOf(kBell1Freq).defaultNormalizedValue), "1000.0");
    EXPECT_EQ(Text(kBell1Q, InfoOf(kBell1Q).defaultNormalizedValue), "1.50");
    EXPECT_EQ(Text(kListen, 0.0), "off");
    EXPECT_EQ(Text(kLowGuard, 0.0), "20");
    EXPECT_EQ(Text(kPriority, 3.0 / 7.0), "4");
    EXPECT_EQ(Text(kHostBypassId, 1.0), "on");
}

TEST_F(Parameters, DisplayStringsAcrossTheRange)
{
    EXPECT_EQ(Text(kRole, 1.0 / 3.0), "Source");
    EXPECT_EQ(Text(kRole, 2.0 / 3.0), "Masker");
    EXPECT_EQ(Text(kRole, 1.0), "Self");
    EXPECT_EQ(Text(kChannel, 1.0), "64");
    EXPECT_EQ(Text(kDepth, 0.7), "70.0");
    EXPECT_EQ(Text(kHighGuard, 1.0), "20000");
    EXPECT_EQ(Text(kBypass, 1.0), "on");
    String128 text{};
    EXPECT_EQ(Controller()->getParamStringByValue(4711, 0.5, text), kResultFalse);
}

TEST_F(Parameters, TextsAndPlainValuesConvertBothWays)
{
    EXPECT_DOUBLE_EQ(FromText(kRole, "Masker"), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(FromText(kDepth, "70"), 0.7);
    EXPECT_DOUBLE_EQ(FromText(kListen, "on"), 1.0);
    EXPECT_DOUBLE_EQ(FromText(kChannel, "3"), 2.0 / 63.0);
    EXPECT_DOUBLE_EQ(Controller()->plainParamToNormalized(kChannel, 3.0), 2.0 / 63.0);
    EXPECT_DOUBLE_EQ(Controller()->normalizedParamToPlain(kChannel, 2.0 / 63.0), 3.0);
    // The power curve of the frequency parameters: half-way is an eighth.
    EXPECT_DOUBLE_EQ(Controller()->normalizedParamToPlain(kHighGuard, 0.5), 4250.0);
    EXPECT_DOUBLE_EQ(Controller()->normalizedParamToPlain(kBell1Freq, 0.5), 2517.5);
    EXPECT_DOUBLE_EQ(Controller()->plainParamToNormalized(kDepth, 250.0), 1.0);
    EXPECT_DOUBLE_EQ(Controller()->plainParamToNormalized(kDepth, -5.0), 0.0);
}

// What a user types into the host's own field for a parameter: read as the
// editor's page reads it, or refused with the value left as it was.
struct TypedCase
{
    ParamID id;
    const char* typed;
    std::optional<double> plain; // none: refused
};

class TypedValues : public Parameters, public ::testing::WithParamInterface<TypedCase>
{
};

TEST_P(TypedValues, ReadAsThePageReadsThemOrRefused)
{
    const TypedCase& c = GetParam();
    ASSERT_EQ(Controller()->setParamNormalized(c.id, 0.25), kResultTrue);
    String128 s{};
    host::CopyToString128(c.typed, s);
    ParamValue v = -1.0;
    const tresult result = Controller()->getParamValueByString(c.id, s, v);
    if (!c.plain)
    {
        EXPECT_EQ(result, kResultFalse);
        EXPECT_EQ(v, -1.0);
    }
    else
    {
        ASSERT_EQ(result, kResultTrue);
        EXPECT_NEAR(Controller()->normalizedParamToPlain(c.id, v), *c.plain, 1e-9);
    }
    EXPECT_EQ(Controller()->getParamNormalized(c.id), 0.25);
}

constexpr std::optional<double> kRefused = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    EveryKind, TypedValues,
    ::testing::Values(
        TypedCase{kRole, "Masker", 2}, TypedCase{kRole, "self", 3}, TypedCase{kRole, "2", 2},
        TypedCase{kRole, "xyz", kRefused}, TypedCase{kChannel, "3", 3},
        TypedCase{kChannel, " 12 ", 12}, TypedCase{kChannel, "100", 64},
        TypedCase{kChannel, "three", kRefused}, TypedCase{kDepth, "70", 70},
        TypedCase{kDepth, "70 %", 70}, TypedCase{kDepth, "12,5", 12.5}, TypedCase{kDepth, "-3", 0},
        TypedCase{kDepth, "40 Hz", kRefused}, TypedCase{kDepth, "", kRefused},
        TypedCase{kDepth, "4 0", kRefused}, TypedCase{kDepth, "1.2.3", kRefused},
        TypedCase{kBypass, "ON", 1}, TypedCase{kBypass, "maybe", kRefused},
        TypedCase{kSelectivity, " 33.3% ", 33.3}, TypedCase{kListen, "Off", 0},
        TypedCase{kLowGuard, "1k", 500}, TypedCase{kLowGuard, "250 hz", 250},
        TypedCase{kLowGuard, "0.1 kHz", 100}, TypedCase{kLowGuard, "k", kRefused},
        TypedCase{kSidechain, "on", 1}, TypedCase{kBell1Freq, "2,5 kHz", 2500},
        TypedCase{kBell1Freq, "440.5Hz", 440.5}, TypedCase{kBell1Freq, "1M", 20000},
        TypedCase{kBell1Q, "0.71", 0.71}, TypedCase{kBell1Q, "2 %", kRefused},
        TypedCase{kBell1Depth, "45.5", 45.5}, TypedCase{kBell1Active, "On", 1},
        TypedCase{kBellListen, "3", 3}, TypedCase{kBellListen, "9", 4},
        TypedCase{kHighGuard, "5 kHz", 5000}, TypedCase{kHighGuard, "5khz", 5000},
        TypedCase{kHighGuard, "5 MHz", 20000}, TypedCase{kHighGuard, "5 mHz", kRefused},
        TypedCase{kHighGuard, "nan", kRefused}, TypedCase{kHighGuard, "inf", kRefused},
        TypedCase{kPriority, "6", 6}, TypedCase{kPriority, "high", kRefused}));

// Every parameter takes back the text the host shows for it.
TEST_F(Parameters, EveryParameterReadsBackItsOwnDisplayText)
{
    for (ParamID id = 0; id < static_cast<ParamID>(kParamCount); ++id)
        for (double x : {0.0, 0.37, 1.0})
        {
            const double plain = Controller()->normalizedParamToPlain(id, x);
            const std::string text = Text(id, x);
            String128 s{};
            host::CopyToString128(text, s);
            ParamValue v = -1.0;
            ASSERT_EQ(Controller()->getParamValueByString(id, s, v), kResultTrue)
                << id << " \"" << text << "\"";
            EXPECT_NEAR(Controller()->normalizedParamToPlain(id, v), plain,
                        Controller()->normalizedParamToPlain(id, 1.0) * 1e-3)
                << id << " \"" << text << "\"";
        }
}

TEST_F(Parameters, SettingThroughTheControllerReachesTheState)
{
    EXPECT_EQ(Controller()->setParamNormalized(kDepth, 0.42), kResultTrue);
    EXPECT_DOUBLE_EQ(Controller()->getParamNormalized(kDepth), 0.42);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 42.0);
    EXPECT_EQ(Controller()->setParamNormalized(kChannel, 2.0 / 63.0), kResultTrue);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kChannel), 3.0);
    // The controller reports nothing back to the host for host-made changes.
    EXPECT_TRUE(plugin.Handler().Records().empty());
}

TEST_F(Parameters, UnknownIdsAreRefused)
{
    EXPECT_EQ(Controller()->setParamNormalized(27, 0.5), kResultFalse);
    EXPECT_EQ(Controller()->setParamNormalized(0x10001, 0.5), kResultFalse);
    EXPECT_EQ(Controller()->getParamNormalized(27), 0.0);
    ParameterInfo info{};
    EXPECT_EQ(Controller()->getParameterInfo(28, info), kResultFalse);
    EXPECT_EQ(Controller()->getParameterInfo(-1, info), kResultFalse);
}

TEST_F(Parameters, OutOfRangeValuesStillGetAText)
{
    EXPECT_EQ(Text(kHostBypassId, -0.5), "off");
    EXPECT_EQ(Text(kHostBypassId, 7.0), "on");
    EXPECT_EQ(Text(kHostBypassId, std::nan("")), "off");
    EXPECT_EQ(Text(kRole, 2.0), "Self");
}

} // namespace
} // namespace ostrel::test
