// The "settings" message: which settings slot (A or B) is active, the preset
// the current settings came from, and whether they have moved away from it.
// The page shows them in its header; the plug-in keeps them in its state, so
// they survive closing the editor and reloading the project.
#pragma once

#include <string>
#include <string_view>

namespace ostrel
{

struct SettingsView
{
    int slot = 0;           // 0 A, 1 B
    std::string presetName; // empty: none
    bool modified = false;

    bool operator==(const SettingsView&) const = default;
};

// {"t":"settings","slot":0,"preset":"Lead vocal","modified":1}; the name is
// written as a JSON string (quote, backslash and control characters escaped).
std::string BuildSettingsMessage(const SettingsView& view);

} // namespace ostrel
