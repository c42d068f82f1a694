// Fixed guards shared by the masking computation, the band gates and the
// bells of the Masker/Self path.
#pragma once

#include "engine/band_layout.h"

namespace ostrel
{

// A band or source level at or below this counts as silent.
inline constexpr double kSilentLevel = 1e-12;

// Offset inside square roots and logarithms of levels.
inline constexpr double kLevelFloor = 1e-30;

} // namespace ostrel
