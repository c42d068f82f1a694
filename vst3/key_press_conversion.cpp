#include "vst3/key_press_conversion.h"

#include "vst3/utf8_encoding.h"

namespace plugfw
{

namespace
{

// VST 3 virtual keys 1..56 (index = key) to Windows virtual-key codes;
// 0 where the character decides.
constexpr int kKeyTable[57] = {
    0,   8,   9,   12,  13,  19,  27,  32,  34,  35,  // 0..9
    36,  37,  38,  39,  40,  33,  34,  41,  42,  13,  // 10..19
    44,  45,  46,  47,  96,  97,  98,  99,  100, 101, // 20..29
    102, 103, 104, 105, 106, 107, 108, 109, 110, 111, // 30..39
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, // 40..49
    122, 123, 144, 145, 16,  17,  18,                 // 50..56
};

} // namespace

KeyPress KeyPressFromVst3(char16_t key, int16_t virtualKey, int16_t modifiers)
{
    KeyPress press;
    char32_t character = key;
    if (character == 0)
    {
        if (virtualKey >= 128)
            character = static_cast<char32_t>(virtualKey - 80);
        else if (virtualKey == kVst3KeySpace)
            character = ' ';
    }
    // Lone surrogates carry no character of their own.
    if (character >= 0xD800 && character <= 0xDFFF)
        character = 0;
    if (character != 0)
        press.utf8[EncodeUtf8(character, press.utf8)] = 0;

    press.shift = (modifiers & 1) != 0;
    press.alt = (modifiers & 2) != 0;
    press.control = (modifiers & 4) != 0;

    if (virtualKey == 0 || virtualKey == 57)
        press.keyCode = VirtualKeyForCharacter(character);
    else if (virtualKey > 0 && virtualKey < 57)
        press.keyCode = kKeyTable[virtualKey];
    else if (virtualKey >= 128)
        press.keyCode = virtualKey - 80;
    else
        press.keyCode = 0;
    return press;
}

} // namespace plugfw
