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

int VirtualKeyForCharacter(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<int>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return static_cast<int>(c);
    switch (c)
    {
    case ' ':
        return 32;
    case '\b':
        return 8;
    case '\t':
        return 9;
    case '\r':
    case '\n':
        return 13;
    case 27:
        return 27;
    case ')':
        return '0';
    case '!':
        return '1';
    case '@':
        return '2';
    case '#':
        return '3';
    case '$':
        return '4';
    case '%':
        return '5';
    case '^':
        return '6';
    case '&':
        return '7';
    case '*':
        return '8';
    case '(':
        return '9';
    case ';':
    case ':':
        return 0xBA;
    case '=':
    case '+':
        return 0xBB;
    case ',':
    case '<':
        return 0xBC;
    case '-':
    case '_':
        return 0xBD;
    case '.':
    case '>':
        return 0xBE;
    case '/':
    case '?':
        return 0xBF;
    case '`':
    case '~':
        return 0xC0;
    case '[':
    case '{':
        return 0xDB;
    case '\\':
    case '|':
        return 0xDC;
    case ']':
    case '}':
        return 0xDD;
    case '\'':
    case '"':
        return 0xDE;
    default:
        return 0;
    }
}

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
