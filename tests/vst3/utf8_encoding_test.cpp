// The one UTF-8 encoder behind host texts (UTF-16 names) and key presses.
#include "vst3/channel_context.h"
#include "vst3/utf8_encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace
{

struct CodePointCase
{
    char32_t codePoint;
    const char* bytes;
};

// The first and last code point of each encoded length.
constexpr CodePointCase kCodePoints[] = {
    {0x41, "\x41"},
    {0x7F, "\x7F"},
    {0x80, "\xC2\x80"},
    {0xE9, "\xC3\xA9"},
    {0x7FF, "\xDF\xBF"},
    {0x800, "\xE0\xA0\x80"},
    {0x20AC, "\xE2\x82\xAC"},
    {0xFFFD, "\xEF\xBF\xBD"},
    {0xFFFF, "\xEF\xBF\xBF"},
    {0x10000, "\xF0\x90\x80\x80"},
    {0x1F3B5, "\xF0\x9F\x8E\xB5"},
    {0x10FFFF, "\xF4\x8F\xBF\xBF"},
};

TEST(Utf8Encoding, EachLengthFromItsFirstToItsLastCodePoint)
{
    for (const CodePointCase& c : kCodePoints)
    {
        char out[plugfw::kMaxUtf8Bytes + 1] = {'#', '#', '#', '#', '#'};
        const int count = plugfw::EncodeUtf8(c.codePoint, out);
        EXPECT_EQ(std::string(out, static_cast<size_t>(count)), c.bytes)
            << std::hex << static_cast<uint32_t>(c.codePoint);
        EXPECT_EQ(out[plugfw::kMaxUtf8Bytes], '#') << "wrote past the longest encoding";

        std::string appended = "x";
        plugfw::AppendUtf8(appended, c.codePoint);
        EXPECT_EQ(appended, std::string("x") + c.bytes)
            << std::hex << static_cast<uint32_t>(c.codePoint);
    }
}

struct Utf16Case
{
    const char16_t* text;
    size_t maxUnits;
    const char* utf8;
};

TEST(Utf8Encoding, Utf16TextsWithPairsLoneSurrogatesAndLimits)
{
    const Utf16Case cases[] = {
        {u"Vocal", 128, "Vocal"},
        {u"Caf\u00e9 \u20ac", 128, "Caf\xC3\xA9 \xE2\x82\xAC"},
        {u"\U0001F3B5", 128, "\xF0\x9F\x8E\xB5"}, // a surrogate pair: one code point
        {u"a\xD83Cz", 128, "a\xEF\xBF\xBDz"},     // lone high surrogate
        {u"a\xDF35z", 128, "a\xEF\xBF\xBDz"},     // lone low surrogate
        {u"\U0001F3B5", 1, "\xEF\xBF\xBD"},       // pair cut by the limit
        {u"Guitar", 3, "Gui"},                    // stops at the limit
        {u"", 128, ""},
    };
    for (const Utf16Case& c : cases)
        EXPECT_EQ(plugfw::Utf16ToUtf8(c.text, c.maxUnits), c.utf8) << c.utf8;
    EXPECT_EQ(plugfw::Utf16ToUtf8(nullptr, 128), "");
}

} // namespace
