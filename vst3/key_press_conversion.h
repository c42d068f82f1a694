// Turns a key event that the host delivers to the editor view (UTF-16
// character, VST 3 virtual key, modifier bits) into the editor's KeyPress,
// whose key code follows the Windows virtual-key numbering.
#pragma once

#include "framework/editor_delegate.h"
#include "vst3/keyboard_layout.h"

#include <cstdint>

namespace plugfw
{

// The VST 3 virtual key of the space bar.
inline constexpr int kVst3KeySpace = 7;

KeyPress KeyPressFromVst3(char16_t key, int16_t virtualKey, int16_t modifiers);

} // namespace plugfw
