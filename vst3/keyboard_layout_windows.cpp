// The keyboard layout on Windows: the layout of the calling thread, which
// types the character with one key (shift states aside).
#include "vst3/keyboard_layout.h"

#include <windows.h>

namespace plugfw
{

int VirtualKeyForCharacter(char32_t c)
{
    // Characters outside the basic plane are typed by no single key.
    if (c == 0 || c > 0xFFFF)
        return 0;
    const SHORT scan = VkKeyScanExW(static_cast<WCHAR>(c), GetKeyboardLayout(0));
    if (scan == -1)
        return 0;
    return scan & 0xFF;
}

} // namespace plugfw
