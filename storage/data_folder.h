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
// folder) are ignored. In a folder where other users may create entries (the
// /tmp fallback) it is created readable by the user only.
void CreateDataFolder();

// DataFolder followed by the platform's separator and `fileName`.
std::string PathInDataFolder(std::string_view fileName);

// PathInDataFolder when the folder may be used; empty, so that nothing is
// read or written, when DataFolder lies in a folder where other users may
// create entries and is not a real folder of the user's own (missing, a
// symbolic link, another user's): someone else's folder there could make us
// read their files or overwrite files through their links.
std::string UsablePathInDataFolder(std::string_view fileName);

} // namespace ostrel
