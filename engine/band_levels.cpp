#include "engine/band_levels.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

void bandLevelsFromEnergies(const double cumulative[kEdgeCount], double total, int n,
                            float levels[kBandCount])
{
    const double frames = static_cast<double>(std::max(n, 1));
    for (int k = 0; k < kBandCount; ++k)
    {
        double energy;
        if (k == 0)
            energy = cumulative[0];
        else if (k < kEdgeCount)
            energy = cumulative[k] - cumulative[k - 1];
        else
            energy = total - cumulative[kEdgeCount - 1];
        // max() with the energy second turns a NaN into 0 as well.
        levels[k] = static_cast<float>(std::sqrt(std::max(0.0, energy) / frames));
    }
}

} // namespace ostrel
