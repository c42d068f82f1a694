// What the Masker/Self path keeps for one analysis period: the block-rate
// decisions taken at its start and the sums its samples add up until it
// closes.
#pragma once

#include "engine/band_gates.h"
#include "engine/band_levels.h"
#include "engine/dynamic_bells.h"
#include "engine/engine_settings.h"
#include "engine/masking_gain_law.h"
#include "engine/masking_meters.h"
#include "engine/masking_spread.h"

namespace ostrel
{

// The block-rate decisions of one period.
struct MaskingDecision
{
    bool sourceLive = false;
    MaskingSpread spread;
    double prominenceDb[kBandCount] = {};
    double targetGain[kBandCount] = {};
    ChunkThresholds thresholds;
    bool holdsSlot = false;
    int heldSlot = -1;
    bool localSource = false; // the source is measured here (sidechain or Self)
    bool sidechainSource = false;
};

struct MaskerPeriod
{
    MaskingDecision decision;
    GateSetup gates[kBandCount];
    BellChunk bells[kBellCount];

    // Sums over the period's samples.
    MaskingMeterSums meterSums;
    alignas(kLaneAlign) double sumCross[kBandCount] = {};
    alignas(kLaneAlign) double sumSquare0[kBandCount] = {};
    alignas(kLaneAlign) double sumSquare1[kBandCount] = {};
    MidLevelSums localSums;
    // This track's own mid signal, while ownMetered (for the "mask" meter).
    MidLevelSums ownSums;
    bool ownMetered = false;
    // The dip meters (each band's energy before and after, how often and how
    // far it is dipped) are measured while an editor shows them: nothing else
    // reads them, and the output's band filters cost a third of the analysis.
    bool dipMetered = false;
    // The output's band filters run from the editor's appearance on, so
    // they are past their start when the dip meters begin (which waits for
    // the input's mid band line to fill).
    bool dipsFiltered = false;

    // The local source's levels of the last closed period.
    double localLevels[kBandCount] = {};

    void resetSums()
    {
        meterSums = MaskingMeterSums{};
        for (int k = 0; k < kBandCount; ++k)
        {
            sumCross[k] = 0.0;
            sumSquare0[k] = 0.0;
            sumSquare1[k] = 0.0;
        }
        localSums.reset();
        ownSums.reset();
    }
    void reset()
    {
        resetSums();
        decision = MaskingDecision{};
        ownMetered = false;
        dipMetered = false;
        dipsFiltered = false;
        for (double& level : localLevels)
            level = 0.0;
    }
};

} // namespace ostrel
