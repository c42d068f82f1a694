#include "editor_messages/peer_list.h"

#include "editor_messages/peer_name_text.h"
#include "framework/number_text.h"
#include "link/monotonic_clock.h"

namespace ostrel
{

std::string BuildPeerList(const PeerRegistry& registry)
{
    std::string out = "{\"t\":\"sources\",\"list\":[";
    const int64_t nowMs = monotonicMs();
    bool first = true;
    for (int s = 0; s < kPeerSlotCount; ++s)
    {
        const PeerSlot& slot = registry.slots[s];
        if (slot.role.load(std::memory_order_relaxed) != kPeerRoleSource ||
            !isSlotLive(slot, nowMs))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += "{\"ch\":";
        plugfw::AppendInt(out, s + 1);
        out += ",\"name\":\"";
        AppendEscapedSlotName(out, slot);
        out += "\"}";
    }
    out += "]}";
    return out;
}

} // namespace ostrel
