// How far each band stands out from its neighbourhood: the median of the
// bands two to four places away on either side (the adjacent bands share too
// much energy through the filter skirts to be a fair reference), and the
// band's level over that median in dB.
#pragma once

#include "engine/masking_constants.h"

namespace ostrel
{

// Median of own[k-4], own[k-3], own[k-2], own[k+2], own[k+3], own[k+4]
// (indices outside 0..23 skipped; mean of the two middle values for an even
// count; own[k] itself when no neighbour exists).
double neighbourMedian(const double own[kBandCount], int k);

// median[k] for every band and prominenceDb[k] = 20 log10(own / median).
void computeProminence(const double own[kBandCount], double median[kBandCount],
                       double prominenceDb[kBandCount]);

} // namespace ostrel
