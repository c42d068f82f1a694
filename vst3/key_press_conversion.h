// Turns a key event that the host delivers to the editor view (UTF-16
// character, VST 3 virtual key, modifier bits) into the editor's KeyPress,
// whose key code follows the Windows virtual-key numbering.
#pragma once

#include "framework/editor_delegate.h"

#include <cstdint>

namespace plugfw
{

// The VST 3 virtual key of the space bar.
inline constexpr int kVst3KeySpace = 7;

KeyPress KeyPressFromVst3(char16_t key, int16_t virtualKey, int16_t modifiers);

// The virtual-key code of the key that types `c` on a US keyboard layout
// (0 when no key does).
int VirtualKeyForCharacter(char32_t c);

} // namespace plugfw
