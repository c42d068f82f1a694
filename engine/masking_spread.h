// How a source's level in each band masks the other bands: per-band upper
// slopes that flatten with level, a fixed 27 dB/Bark lower slope, and the
// resulting masking spread (plain and frequency-weighted) for each band.
#pragma once

#include "engine/masking_constants.h"

namespace ostrel
{

// The lower slope (spreading toward lower bands), dB per Bark.
inline constexpr double kLowerMaskingSlope = 27.0;

// Upper slope (spreading toward higher bands), dB per Bark, of a source band
// with linear level `level` centred at `centreHz`. Loud and high bands spread
// further upward; a silent band gets the steepest slope.
double upperMaskingSlope(double level, double centreHz);

struct MaskingSpread
{
    double maskSpread[kBandCount] = {};
    double weightedSpread[kBandCount] = {};
    double spreadFloor = 1e-6;
};

// Spread of the source levels `src` across the bands: for each band the power
// sum of every audible source band attenuated by its slope times the Bark
// distance. spreadFloor is 12 dB below the weighted peak, at least 1e-6.
void computeMaskingSpread(const double src[kBandCount], const double centreHz[kBandCount],
                          const double barkOfBand[kBandCount], const double bandWeight[kBandCount],
                          MaskingSpread& out);

} // namespace ostrel
