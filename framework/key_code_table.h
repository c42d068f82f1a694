// Conversion of the page's key codes (DOM keyCode) to the Windows virtual-key
// codes that key presses carry inside the plug-in.
#pragma once

#include <cstdint>

namespace plugfw
{

// Control keys, space to arrows, Insert, Delete, digits, letters and function
// keys keep their code; numeric-keypad digits become the plain digits; every
// other code becomes 0.
int32_t KeyCodeFromPage(int64_t pageKeyCode);

} // namespace plugfw
