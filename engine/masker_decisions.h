// The block-rate half of the Masker (role 2) and Self (role 3) path, once
// per analysis period: at its start, where the source levels come from and
// how they line up in time, the source's masking spread, the instance's own
// levels and their prominence, one target gain per band and the gate and bell
// set-ups; at its end, stereo statistics, meters and the local source's
// levels.
//
// Audio thread only: no allocation, no lock, bounded registry reads.
#pragma once

#include <cstdint>

namespace ostrel
{

struct EngineParts;

// The period's set-up, before its first sample.
void beginMaskerPeriod(EngineParts& e, int64_t hostSamplePos, bool transportRunning,
                       bool sidechainConnected);

// The period closes, after its last sample.
void closeMaskerPeriod(EngineParts& e);

} // namespace ostrel
