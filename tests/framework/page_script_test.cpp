#include "framework/number_text.h"
#include "framework/page_script.h"
#include "missing_dependency.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace
{

using namespace plugfw;

TEST(PageScript, ParamValueScriptHasSixDecimals)
{
    EXPECT_EQ(ParamValueScript(3, 0.5), "SPVFD(3, 0.500000)");
    EXPECT_EQ(ParamValueScript(26, 1.0), "SPVFD(26, 1.000000)");
    EXPECT_EQ(ParamValueScript(0, 0.0), "SPVFD(0, 0.000000)");
    EXPECT_EQ(ParamValueScript(2, 1.0 / 3.0), "SPVFD(2, 0.333333)");
}

TEST(PageScript, OtherCallsHaveTheirFormats)
{
    EXPECT_EQ(ControlValueScript(7, 0.25), "SCVFD(7, 0.250000)");
    EXPECT_EQ(MidiMsgScript(0x90, 60, 127), "SMMFD(144, 60, 127)");
    EXPECT_EQ(HostKeyScript(0, 1), "window.__hk&&window.__hk(0,1)");
    const char abc[] = "abc";
    EXPECT_EQ(ControlMsgScript(4, 5, 3, abc), "SCMFD(4, 5, 3, 'YWJj')");
    EXPECT_EQ(ControlMsgScript(4, 5, 0, nullptr), "SCMFD(4, 5, 0, '')");
}

TEST(PageScript, ArbitraryMessageCountsBase64CharactersPlusOne)
{
    const uint8_t three[] = {1, 2, 3};
    EXPECT_EQ(ArbitraryMsgScript(0, 3, three), "SAMFD(0, 5, 'AQID')");
    const uint8_t four[] = {1, 2, 3, 4};
    EXPECT_EQ(ArbitraryMsgScript(11, 4, four), "SAMFD(11, 9, 'AQIDBA==')");
    EXPECT_EQ(ArbitraryMsgScript(-1, 0, nullptr), "SAMFD(-1, 0, '')");
    EXPECT_EQ(ArbitraryMsgScript(2, -5, three), "SAMFD(2, 0, '')");
}

TEST(PageScript, LongScriptsAreCutToTheLimitExceptArbitraryMessages)
{
    // 6700 bytes give 8936 base64 characters: a script of about 9000.
    const std::vector<uint8_t> data(6700, 0x41);
    const std::string control = ControlMsgScript(1, 2, 6700, data.data());
    EXPECT_EQ(control.size(), 8192u);
    EXPECT_EQ(control.rfind("SCMFD(1, 2, 6700, '", 0), 0u);

    const std::string arbitrary = ArbitraryMsgScript(9, 6700, data.data());
    EXPECT_EQ(arbitrary.size(), std::string("SAMFD(9, 8937, '").size() + 8936 + 2);
    EXPECT_EQ(arbitrary.substr(arbitrary.size() - 2), "')");
}

TEST(PageScript, NumbersIgnoreTheProcessLocale)
{
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_NUMERIC, name) != nullptr)
        {
            switched = true;
            break;
        }
    const std::string script = ParamValueScript(1, 0.25);
    std::string fixed;
    AppendFixed(fixed, -12.25, 1);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(script, "SPVFD(1, 0.250000)");
    EXPECT_EQ(fixed, "-12.2"); // printf rounds the binary value: -12.25 is exact, ties to even
    if (!switched)
        OSTREL_SKIP_FOR_MISSING("no locale with a decimal comma installed");
}

TEST(NumberText, FixedMatchesPrintfInTheCLocale)
{
    const double values[] = {0.0, -0.0, 1.5, -120.0, 0.125, 99999.95, 1e-7, 123456789.123};
    for (double v : values)
        for (int decimals : {1, 2, 6})
        {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            std::string got;
            AppendFixed(got, v, decimals);
            EXPECT_EQ(got, expected) << v << " with " << decimals;
        }
}

TEST(NumberText, BufferLimitCutsLikeAFixedBuffer)
{
    std::string out;
    AppendFixedInBuffer(out, 1e20, 1, 16);
    EXPECT_EQ(out, "100000000000000");
    out.clear();
    AppendFixedInBuffer(out, -3.25, 2, 16);
    EXPECT_EQ(out, "-3.25");
}

} // namespace
