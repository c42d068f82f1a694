// Host key events on the editor view turned into the editor's key presses.
#include "vst3/key_press_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct KeyCase
{
    char16_t key;
    int16_t virtualKey;
    int32_t keyCode;
    const char* text;
};

TEST(KeyPressConversion, VirtualKeysAndCharacters)
{
    const KeyCase cases[] = {
        {u'a', 0, 'A', "a"},         // plain character: its US-layout key
        {u'Z', 0, 'Z', "Z"},         //
        {u'7', 0, '7', "7"},         //
        {u'&', 0, '7', "&"},         // shifted digit
        {u'-', 0, 0xBD, "-"},        // punctuation keys
        {u'/', 0, 0xBF, "/"},        //
        {u'\u00e9', 0, 0, "\u00e9"}, // no key on a US layout; text kept as UTF-8
        {0, 1, 8, ""},               // back space
        {0, 2, 9, ""},               // tab
        {0, 4, 13, ""},              // return
        {0, 19, 13, ""},             // enter
        {0, 6, 27, ""},              // escape
        {0, 7, 32, " "},             // space with no character gives one
        {0, 11, 37, ""},             // left
        {0, 14, 40, ""},             // down
        {0, 15, 33, ""},             // page up
        {0, 16, 34, ""},             // page down
        {0, 22, 46, ""},             // delete
        {0, 24, 96, ""},             // numeric pad 0
        {0, 33, 105, ""},            // numeric pad 9
        {0, 34, 106, ""},            // multiply
        {0, 40, 112, ""},            // F1
        {0, 51, 123, ""},            // F12
        {0, 52, 144, ""},            // num lock
        {0, 54, 16, ""},             // shift
        {0, 56, 18, ""},             // alt
        {0, 57, 0, ""},              // equals without a character
        {u'=', 57, 0xBB, "="},       // equals with its character
        {0, 128 + 17, 65, "A"},      // an ASCII key code: character code - 80
        {0, 100, 0, ""},             // unknown
    };
    for (const auto& c : cases)
    {
        const plugfw::KeyPress k = plugfw::KeyPressFromVst3(c.key, c.virtualKey, 0);
        EXPECT_EQ(k.keyCode, c.keyCode) << "virtual key " << c.virtualKey << " char " << int(c.key);
        EXPECT_EQ(std::string(k.utf8), c.text) << "virtual key " << c.virtualKey;
    }
}

TEST(KeyPressConversion, ModifierBits)
{
    const plugfw::KeyPress shift = plugfw::KeyPressFromVst3(u'a', 0, 1);
    EXPECT_TRUE(shift.shift);
    EXPECT_FALSE(shift.alt);
    EXPECT_FALSE(shift.control);
    const plugfw::KeyPress all = plugfw::KeyPressFromVst3(u'a', 0, 7);
    EXPECT_TRUE(all.shift);
    EXPECT_TRUE(all.alt);
    EXPECT_TRUE(all.control);
}

TEST(KeyPressConversion, LoneSurrogateCarriesNoText)
{
    const plugfw::KeyPress k = plugfw::KeyPressFromVst3(0xD83C, 0, 0);
    EXPECT_EQ(std::string(k.utf8), "");
    EXPECT_EQ(k.keyCode, 0);
}

} // namespace
