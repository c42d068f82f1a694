#include "engine/spectral_engine.h"

namespace ostrel
{

SpectralEngine::SpectralEngine() { initPeerLink(sharedRegistry(), link); }

} // namespace ostrel
