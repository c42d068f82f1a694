// The engine's parts behind its face, for the reference paths that drive
// them sample by sample and for the tests not yet moved to a stage's face.
#pragma once

#include "engine/spectral_engine.h"

namespace ostrel
{

inline EngineParts& engineParts(SpectralEngine& engine)
{
    return engine.parts;
}

// An engine's masking stage, for the tests that still seed it in place.
inline MaskingStage& maskingStageOf(SpectralEngine& engine)
{
    return engineParts(engine).masking;
}

} // namespace ostrel
