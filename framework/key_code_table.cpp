#include "framework/key_code_table.h"

namespace plugfw
{

int32_t KeyCodeFromPage(int64_t c)
{
    switch (c)
    {
    case 8:  // Backspace
    case 9:  // Tab
    case 13: // Enter
    case 16: // Shift
    case 17: // Control
    case 18: // Alt
    case 19: // Pause
    case 20: // Caps Lock
    case 27: // Escape
    case 45: // Insert
    case 46: // Delete
        return static_cast<int32_t>(c);
    default:
        break;
    }
    if ((c >= 32 && c <= 40) || (c >= 48 && c <= 57) || (c >= 65 && c <= 90) ||
        (c >= 112 && c <= 123))
        return static_cast<int32_t>(c);
    if (c >= 96 && c <= 105)
        return static_cast<int32_t>(c - 96 + 48);
    return 0;
}

} // namespace plugfw
