// The "matrix" message: every live Source and Masker row of the link matrix
// with its target, priority, depth, mute, balance, name and band levels, and
// a diagnostic summary seen from this instance.
#pragma once

#include "link/peer_registry.h"

#include <string>

namespace ostrel
{

// {"t":"matrix","slots":[{"ch":..,"role":..,"target":..,"pri":..,"depth":..,
//  "mute":..,"bal":..,"name":"..","e":[24 levels x 1000]},...],
//  "diag":{"shared":1,"src":..,"msk":..,"my":..,"solo":..}}
// Rows and counts are judged live at two readings of the monotonic clock (one
// for the rows, one for the counts). `ownLink` gives "my" (its attachKey).
std::string BuildMatrixReport(const PeerRegistry& registry, const PeerLink& ownLink);

// Band level shown in a row: level x 1000 rounded down after adding 0.5,
// 0 for a level of 0 or less (never published), at most 99999.
int MatrixLevelValue(float level);

} // namespace ostrel
