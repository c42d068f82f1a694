#include "editor/matrix_report.h"

#include "editor/number_text.h"
#include "editor/peer_name_text.h"
#include "link/monotonic_clock.h"

#include <climits>
#include <cmath>

namespace ostrel
{

namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;

bool IsRow(const PeerSlot& slot, int64_t nowMs)
{
    const int role = slot.role.load(kRelaxed);
    return (role == kPeerRoleSource || role == kPeerRoleMasker) && isSlotLive(slot, nowMs);
}

// Truncation toward zero that stays defined for values outside the int range.
int TruncateToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

void AppendRow(std::string& out, const PeerSlot& slot, int slotIndex)
{
    const int target = slot.target.load(kRelaxed);
    out += "{\"ch\":";
    plugfw::AppendInt(out, slotIndex + 1);
    out += ",\"role\":";
    plugfw::AppendInt(out, slot.role.load(kRelaxed));
    out += ",\"target\":";
    plugfw::AppendInt(out, target >= 0 ? target + 1 : 0);
    out += ",\"pri\":";
    plugfw::AppendInt(out, slot.priority.load(kRelaxed));
    out += ",\"depth\":";
    plugfw::AppendInt(out, TruncateToInt(double{slot.depthPercent.load(kRelaxed)} + 0.5));
    out += ",\"mute\":";
    plugfw::AppendInt(out, slot.mute.load(kRelaxed) != 0 ? 1 : 0);
    out += ",\"bal\":";
    plugfw::AppendInt(out, TruncateToInt(double{slot.balance.load(kRelaxed)} * 100.0));
    out += ",\"name\":\"";
    AppendEscapedSlotName(out, slot);
    out += "\",\"e\":[";
    // A slightly torn set of levels is acceptable in a display message.
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        if (k > 0)
            out += ',';
        plugfw::AppendInt(out, MatrixLevelValue(slot.bandLevels[k].load(kRelaxed)));
    }
    out += "]}";
}

} // namespace

int MatrixLevelValue(float level)
{
    if (!(level > 0.0f))
        return 0;
    const double v = double{level} * 1000.0 + 0.5;
    if (!(v < 100000.0))
        return 99999;
    return static_cast<int>(v);
}

std::string BuildMatrixReport(const PeerRegistry& registry, const PeerLink& ownLink)
{
    std::string out;
    out.reserve(256 * 8);
    out += "{\"t\":\"matrix\",\"slots\":[";
    const int64_t rowsNowMs = monotonicMs();
    bool first = true;
    for (int s = 0; s < kPeerSlotCount; ++s)
    {
        const PeerSlot& slot = registry.slots[s];
        if (!IsRow(slot, rowsNowMs))
            continue;
        if (!first)
            out += ',';
        first = false;
        AppendRow(out, slot, s);
    }
    out += ']';

    const int64_t countNowMs = monotonicMs();
    int sources = 0;
    int maskers = 0;
    for (const PeerSlot& slot : registry.slots)
    {
        if (!isSlotLive(slot, countNowMs))
            continue;
        const int role = slot.role.load(kRelaxed);
        sources += role == kPeerRoleSource ? 1 : 0;
        maskers += role == kPeerRoleMasker ? 1 : 0;
    }
    const int solo = registry.header.soloIndex.load(kRelaxed);
    out += ",\"diag\":{\"shared\":1,\"src\":";
    plugfw::AppendInt(out, sources);
    out += ",\"msk\":";
    plugfw::AppendInt(out, maskers);
    out += ",\"my\":";
    plugfw::AppendInt(out, ownLink.attachKey.load(kRelaxed));
    out += ",\"solo\":";
    plugfw::AppendInt(out, solo < 0 ? -1 : solo + 1);
    out += "}}";
    return out;
}

} // namespace ostrel
