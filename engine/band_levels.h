// Turns one chunk's band energies into the 24 linear RMS band levels that an
// instance publishes: band k's energy is the difference of the cumulative
// low-pass energies at its two edges (the total above the last edge).
#pragma once

#include "engine/band_layout.h"

namespace ostrel
{

// cumulative[j]: sum over the chunk of the squared output of the low-pass at
// inner edge j; total: sum of the squared signal; n: samples in the chunk.
// Negative differences count as 0; n below 1 counts as 1.
// Sums of one analysis period of a mid signal: the cumulative low-pass
// energies, the mid energy and the energies of the two channels.
struct MidLevelSums
{
    // Past kEdgeCount: the low-pass bank's padding members, always 0.
    double cumulative[kLowpassLanes] = {};
    double midEnergy = 0.0;
    double energy0 = 0.0;
    double energy1 = 0.0;
    int count = 0;

    void reset() { *this = MidLevelSums{}; }
};

void bandLevelsFromEnergies(const double cumulative[kEdgeCount], double total, int n,
                            float levels[kBandCount]);

} // namespace ostrel
