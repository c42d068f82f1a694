// What the engine's meters show, read at once for the editor: the band dips,
// the two level curves, the linked and peer counts, the smoothed deepest dip
// and the bells' dips. A plain copy, taken by any thread from the relaxed
// atomics the audio thread writes (each value is whole on its own).
#pragma once

#include "engine/band_layout.h"
#include "engine/engine_settings.h"

#include <cstdint>

namespace ostrel
{

struct EngineMeters;
class BellStage;

struct MeterReadings
{
    float dipDb[kBandCount] = {};
    // Linear band levels of a mid signal: the Source's as published, and
    // this track's own.
    float src[kBandCount] = {};
    float mask[kBandCount] = {};
    int32_t touched = 0;
    float nullDb = -150.0f;
    int32_t peers = 0;
    bool linked = false;
    float bellDipDb[kBellCount] = {};
};

MeterReadings readMeters(const EngineMeters& meters, const BellStage& bells);

} // namespace ostrel
