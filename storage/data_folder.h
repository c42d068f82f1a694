// The per-user folder in which the product keeps its presets, last state and
// first-run files. Worked out afresh at every use, so a changed environment
// is followed without restarting the host.
#pragma once

#include <string>
#include <string_view>

namespace ostrel
{

// $XDG_CONFIG_HOME/Talmesh, else $HOME/.config/Talmesh, else /tmp/Talmesh.
// Relative or empty variables count as unset.
std::string DataFolder();

// Creates DataFolder with every missing parent. Errors (including an existing
// folder) are ignored.
void CreateDataFolder();

// DataFolder followed by the platform's separator and `fileName`.
std::string PathInDataFolder(std::string_view fileName);

} // namespace ostrel
