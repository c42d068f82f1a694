// The virtual-key code (Windows numbering) of the key that types a character
// on the user's keyboard layout (keyboard_layout_<platform>.cpp).
#pragma once

namespace plugfw
{

// 0 when no key of the layout types `c`.
int VirtualKeyForCharacter(char32_t c);

} // namespace plugfw
