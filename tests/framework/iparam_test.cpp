// Parameter objects: definitions, clamping, normalised mapping and texts.
#include "framework/iparam.h"
#include "missing_dependency.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using plugfw::IParam;
using plugfw::Shape;
using plugfw::ShapeLinear;
using plugfw::ShapePowCurve;

namespace
{

struct PrecisionCase
{
    double step;
    double value;
    int precision;
    const char* text;
};

class ParamPrecision : public ::testing::TestWithParam<PrecisionCase>
{
};

TEST_P(ParamPrecision, StepDecidesDecimalsShown)
{
    const PrecisionCase& c = GetParam();
    IParam p;
    p.DefineDouble("P", c.value, -1000.0, 100000.0, c.step);
    EXPECT_EQ(p.DisplayPrecision(), c.precision);
    EXPECT_EQ(p.FormatValue(p.Value(), false), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ParamPrecision,
    ::testing::Values(PrecisionCase{0.1, 11.0, 1, "11.0"}, PrecisionCase{0.01, 1.5, 2, "1.50"},
                      PrecisionCase{1.0, 20.0, 0, "20"}, PrecisionCase{0.001, 2.0, 3, "2.000"},
                      PrecisionCase{1e-9, 0.25, 6, "0.250000"}, PrecisionCase{1.0, 2.5, 0, "3"},
                      PrecisionCase{1.0, -2.5, 0, "-3"}));

TEST(ParamDefine, DoubleRaisesMaxToOneStepAboveMin)
{
    IParam p;
    p.DefineDouble("Narrow", 5.0, 5.0, 4.0, 0.5);
    EXPECT_DOUBLE_EQ(p.Max(), 5.5);
    p.DefineDouble("Wide", 5.0, 5.0, 9.0, 0.5);
    EXPECT_DOUBLE_EQ(p.Max(), 9.0);
}

TEST(ParamDefine, DefaultIsClampedIntoRange)
{
    IParam p;
    p.DefineDouble("P", 150.0, 0.0, 100.0, 0.1);
    EXPECT_DOUBLE_EQ(p.Value(), 100.0);
    EXPECT_DOUBLE_EQ(p.DefaultValue(), 150.0); // the definition keeps what it was given
}

TEST(ParamDefine, WrapperTypeSurvivesInnerDefinitions)
{
    IParam b, e, i, d;
    b.DefineBool("B", 0);
    e.DefineEnum("E", 0, 3);
    i.DefineInt("I", 1, 1, 64);
    d.DefineDouble("D", 0, 0, 1, 0.1);
    EXPECT_EQ(b.GetType(), IParam::kTypeBool);
    EXPECT_EQ(e.GetType(), IParam::kTypeEnum);
    EXPECT_EQ(i.GetType(), IParam::kTypeInt);
    EXPECT_EQ(d.GetType(), IParam::kTypeDouble);
    for (const IParam* p : {&b, &e, &i})
        EXPECT_TRUE(p->HasFlag(IParam::Stepped));
    EXPECT_FALSE(d.HasFlag(IParam::Stepped));
    EXPECT_EQ(d.UnitCode(), IParam::kUnitCustom);
}

TEST(ParamDefine, LongTextsAreCutToTheField)
{
    IParam p;
    p.DefineDouble("A name that is far longer than thirty-one characters", 0, 0, 1, 0.1);
    EXPECT_EQ(std::string(p.Name()).size(), 31u);
    p.AddValueText(0.0, "a value text that does not fit into its field");
    EXPECT_EQ(p.FormatValue(0.0, false).size(), 31u);
}

TEST(ParamEnum, RangeTextsAndParse)
{
    IParam p;
    p.DefineEnum("Role", 0, 4, "", 0, "", {"Off", "Source", "Masker", "Self"});
    EXPECT_DOUBLE_EQ(p.Min(), 0.0);
    EXPECT_DOUBLE_EQ(p.Max(), 3.0);
    EXPECT_DOUBLE_EQ(p.Step(), 1.0);
    EXPECT_EQ(p.FormatValue(2.0, false), "Masker");
    EXPECT_EQ(p.FormatValue(2.0, false, false), "2"); // numbers when texts are not wanted
    EXPECT_DOUBLE_EQ(p.ParseText("Self"), 3.0);
    EXPECT_DOUBLE_EQ(p.ParseText("2"), 0.0); // no match on an enum is 0, not a number
    EXPECT_DOUBLE_EQ(p.ParseText("Bogus"), 0.0);
}

TEST(ParamEnum, ExtraTextsBeyondCountAreIgnored)
{
    IParam p;
    p.DefineEnum("E", 0, 2, "", 0, "", {"a", "b", "c"});
    EXPECT_EQ(p.NValueTexts(), 2);
}

TEST(ParamBool, TextsAndEmptyUnitLabel)
{
    IParam p;
    p.DefineBool("Bypass", 0, "dB");
    EXPECT_EQ(p.FormatValue(0.0, false), "off");
    EXPECT_EQ(p.FormatValue(1.0, false), "on");
    EXPECT_EQ(p.FormatValue(1.0, true), "on");
    EXPECT_STREQ(p.UnitLabel(), "");
    EXPECT_DOUBLE_EQ(p.ParseText("on"), 1.0);
    EXPECT_DOUBLE_EQ(p.ParseText("yes"), 0.0);
}

TEST(ParamText, UnitLabelOfANumberIsTheLabel)
{
    IParam p;
    p.DefineDouble("Depth", 0.0, 0.0, 100.0, 0.1, "%");
    EXPECT_STREQ(p.UnitLabel(), "%");
}

TEST(ParamText, MinusZeroShowsWithoutSign)
{
    IParam p1, p0;
    p1.DefineDouble("P", 0.0, -10.0, 10.0, 0.1);
    p0.DefineDouble("P", 0.0, -10.0, 10.0, 1.0);
    EXPECT_EQ(p1.FormatValue(-0.0, false), "0.0");
    EXPECT_EQ(p0.FormatValue(-0.0, false), "0");
    EXPECT_EQ(p0.FormatValue(-0.4, false), "0");
}

TEST(ParamText, NegatedAndSignedDisplay)
{
    IParam neg, sig;
    neg.DefineDouble("Neg", 3.0, -10.0, 10.0, 0.1, "", IParam::NegatedDisplay);
    sig.DefineDouble("Sig", 0.0, -10.0, 10.0, 0.1, "", IParam::SignedDisplay);
    EXPECT_EQ(neg.FormatValue(3.0, false), "-3.0");
    EXPECT_DOUBLE_EQ(neg.ParseText("2.5"), -2.5);
    EXPECT_EQ(sig.FormatValue(1.25, false), "+1.2");
    EXPECT_EQ(sig.FormatValue(-1.25, false), "-1.2");
    EXPECT_EQ(sig.FormatValue(0.0, false), "0.0");
}

TEST(ParamText, ParseNumberIsClampedAndToleratesSpaces)
{
    IParam p;
    p.DefineDouble("Freq", 1000.0, 20.0, 20000.0, 0.1);
    EXPECT_DOUBLE_EQ(p.ParseText("  440.5 Hz"), 440.5);
    EXPECT_DOUBLE_EQ(p.ParseText("+30000"), 20000.0);
    EXPECT_DOUBLE_EQ(p.ParseText("abc"), 20.0); // nothing read: 0, clamped to min
}

TEST(ParamText, DisplayFunctionOverridesEverything)
{
    IParam p;
    p.DefineDouble("P", 1.0, 0.0, 2.0, 1.0, "", 0, "", ShapeLinear(), IParam::kUnitCustom,
                   [](double v, char* text) { text[0] = v > 0.5 ? 'Y' : 'N', text[1] = 0; });
    p.AddValueText(1.0, "one");
    EXPECT_EQ(p.FormatValue(1.0, false), "Y");
}

TEST(ParamText, DecimalPointWhateverTheLocale)
{
    // Hosts may switch to a locale with a decimal comma; texts must not follow.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // Linux names first, then the Windows C runtime's.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") &&
        !std::setlocale(LC_NUMERIC, "German_Germany.1252"))
        OSTREL_SKIP_FOR_MISSING("no locale with a decimal comma installed");
    IParam p;
    p.DefineDouble("Q", 1.5, 0.3, 10.0, 0.01);
    const std::string text = p.FormatValue(1.5, false);
    const double parsed = p.ParseText("2.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1.50");
    EXPECT_DOUBLE_EQ(parsed, 2.25);
}

struct ClampCase
{
    double in;
    double out;
};

class ParamSteppedClamp : public ::testing::TestWithParam<ClampCase>
{
};

TEST_P(ParamSteppedClamp, SnapsHalvesAwayFromZeroThenLimits)
{
    IParam p;
    p.DefineInt("I", 0, -8, 8);
    EXPECT_DOUBLE_EQ(p.Clamp(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Values, ParamSteppedClamp,
                         ::testing::Values(ClampCase{2.5, 3.0}, ClampCase{-2.5, -3.0},
                                           ClampCase{2.4999, 2.0}, ClampCase{0.5, 1.0},
                                           ClampCase{-0.5, -1.0}, ClampCase{7.6, 8.0},
                                           ClampCase{100.0, 8.0}, ClampCase{-9.0, -8.0}));

TEST(ParamClamp, UnsteppedKeepsFractions)
{
    IParam p;
    p.DefineDouble("D", 0, 0.0, 10.0, 1.0);
    EXPECT_DOUBLE_EQ(p.Clamp(2.5), 2.5);
}

TEST(ParamClamp, NonFiniteNeverEscapesTheRange)
{
    IParam p;
    p.DefineDouble("D", 5.0, 1.0, 10.0, 0.1);
    p.Set(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(p.Value(), 1.0);
    p.Set(std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(p.Value(), 10.0);
    EXPECT_DOUBLE_EQ(p.FromNormalised(std::numeric_limits<double>::quiet_NaN()), 1.0);
    EXPECT_DOUBLE_EQ(p.ToNormalised(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

class ParamPowCurve : public ::testing::Test
{
protected:
    void SetUp() override
    {
        freq.DefineDouble("Freq", 1000.0, 20.0, 20000.0, 1.0, "Hz", 0, "", ShapePowCurve(3.0));
    }
    IParam freq;
};

TEST_F(ParamPowCurve, MidpointIsOneEighthOfTheRange)
{
    EXPECT_DOUBLE_EQ(freq.FromNormalised(0.5), 2517.5); // not snapped: step 1 but not Stepped
    EXPECT_DOUBLE_EQ(freq.FromNormalised(0.0), 20.0);
    EXPECT_DOUBLE_EQ(freq.FromNormalised(1.0), 20000.0);
}

TEST_F(ParamPowCurve, RoundTripsAcrossTheRange)
{
    for (double v : {20.0, 20.5, 100.0, 1000.0, 2517.5, 12345.0, 20000.0})
        EXPECT_NEAR(freq.FromNormalised(freq.ToNormalised(v)), v, 1e-9 * v) << v;
    for (double x : {0.0, 0.01, 0.3, 0.5, 0.77, 1.0})
        EXPECT_NEAR(freq.ToNormalised(freq.FromNormalised(x)), x, 1e-12) << x;
}

TEST_F(ParamPowCurve, OutOfRangeMapsToTheEnds)
{
    EXPECT_DOUBLE_EQ(freq.ToNormalised(5.0), 0.0);
    EXPECT_DOUBLE_EQ(freq.ToNormalised(-1e9), 0.0);
    EXPECT_DOUBLE_EQ(freq.ToNormalised(30000.0), 1.0);
    EXPECT_DOUBLE_EQ(freq.FromNormalised(1.5), 20000.0);
}

TEST_F(ParamPowCurve, SetNormalisedStoresTheRealValue)
{
    freq.SetNormalised(0.5);
    EXPECT_DOUBLE_EQ(freq.Value(), 2517.5);
    EXPECT_DOUBLE_EQ(freq.Normalised(), 0.5);
    EXPECT_EQ(freq.FormatValue(0.5, true), "2518"); // 2517.5 rounds half away from zero
}

TEST(ParamShape, DisplayTypeFollowsExponent)
{
    const std::pair<double, int> cases[] = {{3.0, 6}, {2.6, 6}, {2.5, 4}, {2.0, 4},  {1.5, 0},
                                            {1.0, 0}, {0.6, 3}, {0.5, 3}, {0.39, 5}, {0.1, 5}};
    for (const auto& [exponent, type] : cases)
        EXPECT_EQ(ShapePowCurve(exponent).DisplayType(), type) << exponent;
    EXPECT_EQ(ShapeLinear().DisplayType(), Shape::kDisplayLinear);
}

TEST(ParamShape, DefinitionOwnsACopyOfTheShape)
{
    IParam p;
    {
        ShapePowCurve curve(2.0);
        p.DefineDouble("P", 0, 0, 100, 1, "", 0, "", curve);
    }
    EXPECT_DOUBLE_EQ(p.FromNormalised(0.5), 25.0);
}

TEST(ParamLinear, MapsLinearly)
{
    IParam p;
    p.DefineDouble("Q", 1.5, 0.3, 10.0, 0.01);
    EXPECT_DOUBLE_EQ(p.FromNormalised(0.5), 5.15);
    EXPECT_NEAR(p.ToNormalised(1.5), (1.5 - 0.3) / 9.7, 1e-15);
}

TEST(ParamJson, OneDescriptionPerType)
{
    IParam b, i, e, d, c;
    b.DefineBool("Bypass", 0);
    i.DefineInt("Channel", 1, 1, 64);
    e.DefineEnum("Role", 0, 4, "", 0, "", {"Off", "Source", "Masker", "Self"});
    d.DefineDouble("Depth", 0.0, 0.0, 100.0, 0.1, "%");
    c.DefineDouble("High Guard", 20000.0, 2000.0, 20000.0, 1.0, "Hz", 0, "", ShapePowCurve(3.0));
    const std::pair<const IParam*, const char*> cases[] = {
        {&b, "{\"id\":3, \"name\":\"Bypass\", \"type\":\"bool\", \"min\":0.000000, "
             "\"max\":1.000000, \"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}"},
        {&i, "{\"id\":3, \"name\":\"Channel\", \"type\":\"int\", \"min\":1.000000, "
             "\"max\":64.000000, \"default\":1.000000, \"display_type\":0, \"rate\":\"control\"}"},
        {&e, "{\"id\":3, \"name\":\"Role\", \"type\":\"enum\", \"min\":0.000000, "
             "\"max\":3.000000, \"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}"},
        {&d, "{\"id\":3, \"name\":\"Depth\", \"type\":\"float\", \"min\":0.000000, "
             "\"max\":100.000000, \"default\":0.000000, \"display_type\":0, "
             "\"rate\":\"control\"}"},
        {&c, "{\"id\":3, \"name\":\"High Guard\", \"type\":\"float\", \"min\":2000.000000, "
             "\"max\":20000.000000, \"default\":20000.000000, \"display_type\":6, "
             "\"rate\":\"control\"}"},
    };
    for (const auto& [param, expected] : cases)
    {
        std::string out = "prefix";
        param->DescribeJson(3, out);
        EXPECT_EQ(out, std::string("prefix") + expected);
    }
}

TEST(ParamJson, UndefinedParameterHasNoType)
{
    IParam p;
    std::string out;
    p.DescribeJson(0, out);
    EXPECT_EQ(out, "{\"id\":0, \"name\":\"\", \"min\":0.000000, \"max\":1.000000, "
                   "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}");
}

} // namespace
