#include "editor_messages/message_text_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <string>
#include <vector>

namespace
{

using ostrel::MessageText;

TEST(MessageTextReader, IntegersAfterTheirKey)
{
    struct Case
    {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {R"({"paramIdx":5})", 5},
        {R"({"paramIdx": -3})", -3},
        {R"({"paramIdx":	+7,"x":1})", 7},
        {R"({"paramIdx":"5"})", 0},           // no digits right after the colon
        {R"({"paramIdx" :5})", std::nullopt}, // a space before the colon hides the key
        {R"({"paramidx":5})", std::nullopt},
        {R"({"paramIdx":12abc})", 12},
        {R"({"paramIdx":4294967298})", INT_MAX}, // saturates, never wraps to 2
        {R"({"paramIdx":-99999999999})", INT_MIN},
        {R"({"paramIdx":2.9})", 2},
        {"", std::nullopt},
        {R"("paramIdx")", std::nullopt}, // shorter than the key text
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageText(c.text).Integer("paramIdx"), c.value) << c.text;
}

TEST(MessageTextReader, FirstOccurrenceCounts)
{
    EXPECT_EQ(MessageText(R"({"ch":3,"ch":9})").Integer("ch"), 3);
    // "v" is also found inside a longer key that ends in v.
    EXPECT_EQ(MessageText(R"({"v":1.5,"depth":1})").Real("v"), 1.5);
}

TEST(MessageTextReader, RealsAreLocaleIndependent)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const auto value = MessageText(R"({"value":12.75})").Real("value");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(value, 12.75);
}

TEST(MessageTextReader, Reals)
{
    struct Case
    {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {R"({"v":2.6})", 2.6},        {R"({"v": -1})", -1.0}, {R"({"v":+0.5})", 0.5},
        {R"({"v":1e2})", 100.0},      {R"({"v":null})", 0.0}, {R"({"v":"3"})", 0.0},
        {R"({"v":1e999})", 0.0},      {R"({"v":nan})", 0.0},  {R"({"v":-inf})", 0.0},
        {R"({"x":1})", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageText(c.text).Real("v"), c.value) << c.text;
}

TEST(MessageTextReader, NumberLists)
{
    struct Case
    {
        const char* text;
        std::vector<double> values;
    };
    const Case cases[] = {
        {R"({"values":[2,40.5,26,3]})", {2, 40.5, 26, 3}},
        {R"({"values": [ 1 , -2.5 ,+3 ]})", {1, -2.5, 3}},
        {R"({"values":[]})", {}},
        {R"({"values":[1,"x",3]})", {1}},                      // stops at what is no number
        {R"({"values":[1,2)", {1, 2}},                         // a text that ends early
        {R"({"values":[1e999,4]})", {0, 4}},                   // out of range reads as 0
        {R"({"values":7})", {}},                               // no array
        {R"({"values" :[1]})", {}},                            // key hidden by the space
        {R"({"values":[1,2,3,4,5,6,7]})", {1, 2, 3, 4, 5, 6}}, // at most six asked for
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageText(c.text).NumberList("values", 6), c.values) << c.text;
}

TEST(MessageTextReader, GestureText)
{
    EXPECT_EQ(MessageText(R"({"gesture":"begin"})").QuotedText("gesture"), "begin");
    EXPECT_EQ(MessageText(R"({"gesture":""})").QuotedText("gesture"), "");
    EXPECT_EQ(MessageText(R"({"gesture":"end)").QuotedText("gesture"), "");
    EXPECT_EQ(MessageText(R"({"gesture": "end"})").QuotedText("gesture"), "");
    EXPECT_EQ(MessageText(R"({"gesture":1})").QuotedText("gesture"), "");
}

TEST(MessageTextReader, PresenceOfAKey)
{
    const MessageText text(R"({"ch":3,"pri":1,"v":2})");
    EXPECT_TRUE(text.Has("pri"));
    EXPECT_FALSE(text.Has("depth"));
    EXPECT_FALSE(text.Has("mute"));
    EXPECT_FALSE(MessageText(R"({"primary":1})").Has("pri"));
}

TEST(MessageTextReader, EscapedString)
{
    struct Case
    {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {R"({"url":"https://example.org/a?b=c"})", "https://example.org/a?b=c"},
        {R"({"url" : "http://x"})", "http://x"},
        {R"({"url":"a\"b\\c\/d"})", "a\"b\\c/d"},
        {R"({"url":"unterminated)", ""},
        {R"({"url":"ends with backslash\)", ""},
        {R"({"url"})", ""},
        {R"({"url":5})", ""},
        {R"({"link":"http://x"})", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageText(c.text).EscapedString("url"), c.value) << c.text;
}

TEST(MessageTextReader, TextEndsAtTheFirstZeroByteAndAtTheByteCount)
{
    const char bytes[] = "{\"ch\":4}\0{\"v\":2}";
    const MessageText text(bytes, static_cast<int>(sizeof bytes - 1));
    EXPECT_EQ(text.Integer("ch"), 4);
    EXPECT_EQ(text.Real("v"), std::nullopt);
    // Only byteCount bytes are looked at (no terminator needed).
    const char unterminated[4] = {'"', 'v', '"', ':'};
    EXPECT_EQ(MessageText(unterminated, 4).Real("v"), 0.0);
    EXPECT_EQ(MessageText(nullptr, 10).Text(), "");
    EXPECT_EQ(MessageText(bytes, -1).Text(), "");
}

} // namespace
