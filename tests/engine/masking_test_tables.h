// The band tables the masking tests feed to the pure functions, built from
// the engine's band layout exactly as the engine reset builds them.
#pragma once

#include <cmath>

#include "engine/band_layout.h"

namespace ostrel::testing
{

struct MaskingTables
{
    double edgeHz[kEdgeCount];
    double centreHz[kBandCount];
    double barkOfBand[kBandCount];
    double bandWeight[kBandCount];

    MaskingTables()
    {
        computeBandEdges(edgeHz);
        for (int k = 0; k < kBandCount; ++k)
        {
            centreHz[k] = bandCentreHz(edgeHz, k);
            barkOfBand[k] = barkOfHz(centreHz[k]);
            bandWeight[k] = weightingGain(centreHz[k]);
        }
    }
};

inline double toDb(double gain)
{
    return 20.0 * std::log10(gain);
}
inline double fromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

} // namespace ostrel::testing
