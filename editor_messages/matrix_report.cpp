#include "editor_messages/matrix_report.h"

#include "editor_messages/peer_name_text.h"
#include "framework/number_text.h"
#include "link/link_matrix.h"
#include "link/monotonic_clock.h"
#include "link/process_identity.h"
#include "link/registry_hub.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace ostrel
{

namespace
{

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

// A text of ours (a reason) as a JSON string's content.
void AppendEscapedText(std::string& out, const std::string& text)
{
    for (const char c : text)
    {
        if (static_cast<unsigned char>(c) < 32)
            continue;
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
}

// `pid`: the holder's process when it is another one than this (0: this).
void AppendRow(std::string& out, const MatrixRow& row, int32_t pid)
{
    out += "{\"ch\":";
    plugfw::AppendInt(out, row.channel);
    if (pid != 0)
    {
        out += ",\"pid\":";
        plugfw::AppendInt(out, pid);
    }
    out += ",\"role\":";
    plugfw::AppendInt(out, row.role);
    out += ",\"target\":";
    plugfw::AppendInt(out, row.target >= 0 ? row.target + 1 : 0);
    out += ",\"pri\":";
    plugfw::AppendInt(out, row.priority);
    out += ",\"depth\":";
    plugfw::AppendInt(out, TruncateToInt(double{row.depthPercent} + 0.5));
    out += ",\"mute\":";
    plugfw::AppendInt(out, row.mute ? 1 : 0);
    out += ",\"bal\":";
    plugfw::AppendInt(out, TruncateToInt(double{row.balance} * 100.0));
    out += ",\"name\":\"";
    char name[kPeerNameBytes];
    std::memcpy(name, row.name, sizeof name);
    name[kPeerNameBytes - 1] = '\0';
    AppendEscapedName(out, name);
    out += "\",\"e\":[";
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        if (k > 0)
            out += ',';
        plugfw::AppendInt(out, MatrixLevelValue(row.bandLevels[k]));
    }
    out += "]}";
}

// This instance's own name, cut at a character's start so that it fits
// the escaped name's limit whole.
std::string OwnNameShown(const std::string& name)
{
    constexpr size_t kMaxBytes = 64;
    if (name.size() <= kMaxBytes)
        return name;
    size_t end = kMaxBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
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

std::string BuildMatrixReport(const PeerRegistry& registry, const PeerLink& ownLink,
                              const RegistryPlace* place, const std::string& ownName)
{
    std::string out;
    out.reserve(256 * 8);
    out += "{\"t\":\"matrix\",\"slots\":[";
    const int64_t rowsNowMs = monotonicMs();
    bool first = true;
    MatrixRow row;
    for (int s = 0; s < kPeerSlotCount; ++s)
    {
        if (!readMatrixRow(registry, s, rowsNowMs, row))
            continue;
        if (!first)
            out += ',';
        first = false;
        const int32_t pid = slotProcessId(registry.slots[s]);
        AppendRow(out, row, pid != thisProcessId() ? pid : 0);
    }
    out += ']';

    const LiveRowCounts counts = countLiveRows(registry, monotonicMs());
    out += ",\"diag\":{\"shared\":1,\"src\":";
    plugfw::AppendInt(out, counts.sources);
    out += ",\"msk\":";
    plugfw::AppendInt(out, counts.maskers);
    out += ",\"my\":";
    plugfw::AppendInt(out, ownLink.attachKey.load(std::memory_order_relaxed));
    out += ",\"solo\":";
    plugfw::AppendInt(out, soloChannel(registry));
    // Where this instance meets its peers: across the host's processes, or
    // in this process only (and why, when the shared table was refused).
    if (place != nullptr && place->decided)
    {
        out += ",\"xproc\":";
        plugfw::AppendInt(out, place->shared ? 1 : 0);
        out += ",\"pid\":";
        plugfw::AppendInt(out, place->processId);
        out += ",\"inhost\":";
        plugfw::AppendInt(out, place->inHostProcess ? 1 : 0);
        out += ",\"link\":\"";
        out += crossProcessLinkingText(place->mode);
        out += "\",\"why\":\"";
        AppendEscapedText(out, place->why);
        out += '"';
    }
    if (!ownName.empty())
    {
        out += ",\"me\":\"";
        AppendEscapedName(out, OwnNameShown(ownName).c_str());
        out += '"';
    }
    out += "}}";
    return out;
}

} // namespace ostrel
