// The per-instance processing object: band analysis, masking computation,
// gates, bells, the spectral stage and the block driver. Every buffer is a
// fixed array; nothing is allocated after construction.
#pragma once

#include "engine/engine_settings.h"
#include "link/peer_registry.h"

namespace ostrel
{

class SpectralEngine
{
public:
    SpectralEngine();

    EngineSettings settings;
    PeerLink link;
};

} // namespace ostrel
