// The keyboard layout on Linux: the host's key events carry no layout we
// could ask, so the US layout's virtual keys stand in for every character.
#include "vst3/keyboard_layout.h"

namespace plugfw
{

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

} // namespace plugfw
