// The band tables the masking tests feed to the pure functions, built from
// the engine's band layout exactly as the engine reset builds them, and the
// gate set-up of a band that opens.
#pragma once

#include <cmath>

#include "engine/band_gates.h"
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

// A band loud over a small spread that stands out by 10 dB: its gate opens
// (while the source is live).
inline GateSetupInputs openingBandGate(bool sourceLive = true)
{
    GateSetupInputs in;
    in.sourceLive = sourceLive;
    in.maskSpread = 1e-3;
    in.weightedSpread = 1e-3;
    in.spreadFloor = 1e-6;
    in.prominenceDb = 10.0;
    in.prominenceThresholdDb = 1.0;
    in.openThresholdDb = 4.0;
    in.closeThresholdDb = 1.0;
    in.amountDivisor = 12.0;
    return in;
}

inline double toDb(double gain)
{
    return 20.0 * std::log10(gain);
}
inline double fromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

} // namespace ostrel::testing
