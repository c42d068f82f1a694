// The "sources" message: every live Source in the registry with its channel
// and track name, for the page's channel pickers.
#pragma once

#include "link/peer_registry.h"

#include <string>

namespace ostrel
{

// {"t":"sources","list":[{"ch":N,"name":"..."},...]} in ascending slot order;
// "live" is judged at one reading of the monotonic clock.
std::string BuildPeerList(const PeerRegistry& registry);

} // namespace ostrel
