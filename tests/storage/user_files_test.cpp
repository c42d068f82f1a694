// The last-state text both ways, and the three files in the data folder.
#include "storage/user_files.h"

#include <array>
#include <clocale>
#include <cstdio>
#include <fstream>

#include "missing_dependency.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "tests/storage/temp_data_folder.h"

#include <ostream>

namespace ostrel
{
namespace
{

TEST(LastStateText, AllZeroIsExact)
{
    const std::array<double, kLastStateValueCount> zeros{};
    std::string expected = "[";
    for (int i = 0; i < kLastStateValueCount; ++i)
        expected += i == 0 ? "0.000000" : ",0.000000";
    expected += "]";
    const std::string text = BuildLastStateText(zeros);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.size(), 244u);
}

TEST(LastStateText, NumbersMatchSixDecimalPrintf)
{
    const double values[] = {0.5,       1.0,  0.1234565, 0.0000005, 0.9999995,
                             1.0 / 3.0, 1e-7, 0.25,      0.1,       0.7071067811865476};
    const std::string text = BuildLastStateText(values);
    std::string expected = "[";
    for (size_t i = 0; i < std::size(values); ++i)
    {
        char number[24];
        std::snprintf(number, sizeof(number), "%.6f", values[i]);
        if (i > 0)
            expected += ',';
        expected += number;
    }
    EXPECT_EQ(text, expected + "]");
}

TEST(LastStateText, NonFiniteValuesKeepTheArrayValid)
{
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), 0.5,
                             std::numeric_limits<double>::infinity()};
    EXPECT_EQ(BuildLastStateText(values), "[0.000000,0.500000,0.000000]");
}

TEST(LastStateText, DecimalPointWhateverTheLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "fr_FR.utf8"})
        if ((comma = std::setlocale(LC_ALL, name)) != nullptr)
            break;
    if (comma == nullptr)
        OSTREL_SKIP_FOR_MISSING("no locale with a decimal comma installed");
    const double values[] = {0.5, 0.25};
    const std::string text = BuildLastStateText(values);
    const std::vector<double> read = ParseLastStateText("[0.5,0.25]");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(text, "[0.500000,0.250000]");
    EXPECT_EQ(read, (std::vector<double>{0.5, 0.25}));
}

struct ParseCase
{
    const char* what;
    std::string text;
    std::vector<double> numbers;
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c)
{
    return out << c.what;
}

class LastStateParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(LastStateParse, ReadsWhatItCan)
{
    EXPECT_EQ(ParseLastStateText(GetParam().text), GetParam().numbers) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LastStateParse,
    ::testing::Values(ParseCase{"three numbers", "[0.5,0.25,0.8]", {0.5, 0.25, 0.8}},
                      ParseCase{"empty array", "[]", {}}, ParseCase{"empty text", "", {}},
                      ParseCase{"stops at first unreadable", "[0.1,abc,0.3]", {0.1}},
                      ParseCase{"stops at a number glued to junk", "[0.1,0.2x,0.3]", {0.1, 0.2}},
                      ParseCase{"stops at not-a-number", "[0.1,nan,0.3]", {0.1}},
                      ParseCase{"stops at infinity", "[inf,0.3]", {}},
                      ParseCase{"spaces and line feeds", "[ 0.1 ,\n 0.2,\t0.3 ]", {0.1, 0.2, 0.3}},
                      ParseCase{"separated by spaces only", "[0.1 0.2]", {0.1, 0.2}},
                      ParseCase{"leading plus", "[+0.5,-0.5]", {0.5, -0.5}},
                      ParseCase{"exponent", "[1e-3,2.5E-1]", {0.001, 0.25}},
                      ParseCase{"no closing bracket", "[0.1,0.2", {0.1, 0.2}},
                      ParseCase{"nothing after the bracket counts", "[0.1]0.2", {0.1}},
                      ParseCase{"carriage return ends the walk", "[0.1\r,0.2]", {0.1}},
                      ParseCase{"fewer parameters of an older version",
                                "[0.1,0.2,0.3,0.4]",
                                {0.1, 0.2, 0.3, 0.4}}));

TEST(LastStateParseLimit, ReadsAtMost27Numbers)
{
    std::vector<double> values(30);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i) / 32.0;
    const std::vector<double> read = ParseLastStateText(BuildLastStateText(values));
    ASSERT_EQ(read.size(), 27u);
    for (size_t i = 0; i < read.size(); ++i)
        EXPECT_EQ(read[i], values[i]);
}

using UserFilesTest = testing::TempDataFolderTest;

struct SizeCase
{
    const char* what;
    bool presets; // else the last state
    size_t size;
    bool read;
};

std::ostream& operator<<(std::ostream& out, const SizeCase& c)
{
    return out << c.what;
}

class UserFileSize : public UserFilesTest, public ::testing::WithParamInterface<SizeCase>
{
};

// A file of absurd size is refused whole: nothing of it is used.
TEST_P(UserFileSize, FilesOverTheLimitReadAsMissing)
{
    const SizeCase& c = GetParam();
    // Valid content at the start, padded with white space to the size.
    std::string text = c.presets ? "[{\"n\":\"a\"}" : "[0.25,0.5";
    text.resize(c.size - 1, ' ');
    text += ']';
    CreateDataFolder();
    std::ofstream(PathInDataFolder(c.presets ? kPresetsFileName : kLastStateFileName),
                  std::ios::binary)
        << text;
    if (c.presets)
    {
        EXPECT_EQ(ReadPresetsFile(), c.read ? text : std::string()) << c.what;
    }
    else
    {
        EXPECT_EQ(ReadLastStateFileText(), c.read ? text : std::string()) << c.what;
        const std::vector<double> numbers =
            c.read ? std::vector<double>{0.25, 0.5} : std::vector<double>{};
        EXPECT_EQ(ParseLastStateText(ReadLastStateFileText()), numbers) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UserFileSize,
    ::testing::Values(SizeCase{"presets at 16 MiB", true, kPresetsFileMaxBytes, true},
                      SizeCase{"presets over 16 MiB", true, kPresetsFileMaxBytes + 1, false},
                      SizeCase{"last state at 1 MiB", false, kLastStateFileMaxBytes, true},
                      SizeCase{"last state over 1 MiB", false, kLastStateFileMaxBytes + 1, false},
                      SizeCase{"last state of 16 MiB", false, kPresetsFileMaxBytes, false}));

} // namespace
} // namespace ostrel
