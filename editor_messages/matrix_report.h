// The "matrix" message: every live Source and Masker row of the link matrix
// with its target, priority, depth, mute, balance, name and band levels, and
// a diagnostic summary seen from this instance.
#pragma once

#include "link/peer_registry.h"
#include "link/registry_hub.h"

#include <string>

namespace ostrel
{

// {"t":"matrix","slots":[{"ch":..,"role":..,"target":..,"pri":..,"depth":..,
//  "mute":..,"bal":..,"name":"..","e":[24 levels x 1000]},...],
//  "diag":{"shared":1,"src":..,"msk":..,"my":..,"solo":..[,"xproc":0|1,"pid":..,
//  "inhost":0|1,"link":"automatic|never|always","why":".."][,"me":".."]}}; a
//  row of another process also has "pid".
// Rows and counts are judged live at two readings of the monotonic clock (one
// for the rows, one for the counts). `ownLink` gives "my" (its attachKey).
// `place`, when given, adds where this instance meets its peers (across the
// host's processes or in this one only, and why). `ownName`, when not empty,
// is this instance's own track name ("me"): a Source whose channel another
// Source holds has no row of its own, yet its page must still name it.
std::string BuildMatrixReport(const PeerRegistry& registry, const PeerLink& ownLink,
                              const RegistryPlace* place = nullptr,
                              const std::string& ownName = {});

// Band level shown in a row: level x 1000 rounded down after adding 0.5,
// 0 for a level of 0 or less (never published), at most 99999.
int MatrixLevelValue(float level);

} // namespace ostrel
