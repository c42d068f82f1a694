// The per-user folder in which the product keeps its presets, last state and
// first-run files. Worked out afresh at every use, so a changed environment
// is followed without restarting the host.
#pragma once

#include <string>
#include <string_view>

#include "storage/write_failure.h"

namespace ostrel
{

// $XDG_CONFIG_HOME/Talmesh, else $HOME/.config/Talmesh, else /tmp/Talmesh.
// Relative or empty variables count as unset.
std::string DataFolder();

// Creates DataFolder with every missing parent; an existing folder is no
// failure. In a folder where other users may create entries (the /tmp
// fallback) it is created readable by the user only.
WriteFailure CreateDataFolder();

// DataFolder followed by the platform's separator and `fileName`.
std::string PathInDataFolder(std::string_view fileName);

// PathInDataFolder when the folder may be used; empty, so that nothing is
// read or written, when DataFolder lies in a folder where other users may
// create entries and is not a real folder of the user's own (missing, a
// symbolic link, another user's): someone else's folder there could make us
// read their files or overwrite files through their links. A write must
// therefore create the folder before it asks.
std::string UsablePathInDataFolder(std::string_view fileName);

// Something stands at DataFolder that is not used for the reason above (a
// missing folder is not refused: creating it makes it the user's own).
bool DataFolderRefused();

} // namespace ostrel
