#include "framework/key_code_table.h"

#include <gtest/gtest.h>

namespace
{

using plugfw::KeyCodeFromPage;

TEST(KeyCodeTable, KeptCodes)
{
    const int kept[] = {8,  9,  13, 16, 17, 18, 19, 20, 27, 32,  33,
                        37, 40, 45, 46, 48, 57, 65, 77, 90, 112, 123};
    for (int code : kept)
        EXPECT_EQ(KeyCodeFromPage(code), code) << code;
}

TEST(KeyCodeTable, NumericKeypadDigitsBecomePlainDigits)
{
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(KeyCodeFromPage(96 + d), 48 + d);
}

TEST(KeyCodeTable, EverythingElseIsZero)
{
    const long long dropped[] = {0,  1,  7,  10, 12, 14,  15,  21,  26,  28,  31, 41,       44,
                                 47, 58, 64, 91, 95, 106, 111, 124, 186, 255, -1, 1LL << 40};
    for (long long code : dropped)
        EXPECT_EQ(KeyCodeFromPage(code), 0) << code;
}

} // namespace
