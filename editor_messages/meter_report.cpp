#include "editor_messages/meter_report.h"

#include "framework/number_text.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

namespace
{

// Each number is formatted into a 16-byte buffer.
constexpr int kValueBuffer = 16;
// The opening members are formatted into a 120-byte buffer.
constexpr size_t kHeadLimit = 119;

void AppendValues(std::string& out, const float* values, int count, int decimals)
{
    for (int i = 0; i < count; ++i)
    {
        if (i > 0)
            out += ',';
        const double v = std::isfinite(values[i]) ? values[i] : 0.0;
        plugfw::AppendFixedInBuffer(out, v, decimals, kValueBuffer);
    }
}

void AppendLevelsDb(std::string& out, const float* levels, int count)
{
    for (int i = 0; i < count; ++i)
    {
        if (i > 0)
            out += ',';
        const double level = levels[i];
        const double db = std::isfinite(level) && level > 0.0
                              ? std::max(kMeterFloorDb, 20.0 * std::log10(level))
                              : kMeterFloorDb;
        plugfw::AppendFixedInBuffer(out, std::isfinite(db) ? db : kMeterFloorDb, 1, kValueBuffer);
    }
}

} // namespace

std::string BuildMeterReport(const MeterSnapshot& meters)
{
    std::string out;
    out.reserve(1200);
    out += "{\"t\":\"meters\",\"role\":";
    plugfw::AppendInt(out, meters.role);
    out += ",\"linked\":";
    plugfw::AppendInt(out, meters.linked ? 1 : 0);
    out += ",\"peers\":";
    plugfw::AppendInt(out, meters.peers);
    out += ",\"null\":";
    double nullDb = meters.nullDb;
    if (!(nullDb >= -120.0) || !std::isfinite(nullDb))
        nullDb = -120.0;
    plugfw::AppendFixed(out, nullDb, 1);
    out += ",\"touched\":";
    plugfw::AppendInt(out, meters.touched);
    out += ",\"dip\":[";
    if (out.size() > kHeadLimit)
        out.resize(kHeadLimit);
    AppendValues(out, meters.dipDb, kMeterBands, 1);
    out += "],\"src\":[";
    AppendLevelsDb(out, meters.src, kMeterBands);
    out += "],\"mask\":[";
    AppendLevelsDb(out, meters.mask, kMeterBands);
    out += "],\"bellDip\":[";
    AppendValues(out, meters.bellDipDb, kMeterBells, 1);
    out += "],\"hostBypass\":";
    plugfw::AppendInt(out, meters.hostBypass ? 1 : 0);
    out += ",\"stale\":";
    plugfw::AppendInt(out, meters.stale ? 1 : 0);
    out += '}';
    return out;
}

} // namespace ostrel
