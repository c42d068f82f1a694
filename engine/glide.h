// The one-pole glide of a gain back to unity that every path uses to release
// dips: it snaps to exactly 1.0 once closer than 1e-6, so a released instance
// ends bit-exact.
#pragma once

#include <cmath>

namespace ostrel
{

inline constexpr double kUnitySnap = 1e-6;

inline double glideToUnity(double gain, double coef)
{
    gain += (1.0 - gain) * coef;
    return std::fabs(1.0 - gain) < kUnitySnap ? 1.0 : gain;
}

// Glide of the listen crossfade toward 0 (snapped to exactly 0 below 1e-6).
inline double glideToZero(double mix, double coef)
{
    mix -= mix * coef;
    return mix < kUnitySnap ? 0.0 : mix;
}

} // namespace ostrel
