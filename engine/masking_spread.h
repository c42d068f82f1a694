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

// Where the bands sit in Bark, and what the fixed lower slope makes of every
// pair: the attenuation toward a lower band depends on the layout alone, so
// it is worked out once instead of as an exponential in every period.
struct MaskingSpreadGeometry
{
    double barkOfBand[kBandCount] = {};
    // [j][k]: of source band j at band k where k lies below j in Bark, or
    // level with it (1.0); unused where k lies above j.
    double lowerAttenuation[kBandCount][kBandCount] = {};

    explicit MaskingSpreadGeometry(const double barkOfBand[kBandCount]);
};

// The engine's band layout, one for every instance (built as the library
// loads, so never on the audio thread).
const MaskingSpreadGeometry& layoutSpreadGeometry();

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
                          const double bandWeight[kBandCount],
                          const MaskingSpreadGeometry& geometry, MaskingSpread& out);

} // namespace ostrel
