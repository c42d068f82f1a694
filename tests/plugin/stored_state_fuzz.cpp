// libFuzzer target: the stored texts and records the plug-in reads back on
// their own, without a whole instance around them (cheap per input, so far
// more of them than the host-state target reaches). The first byte chooses:
// the last-state file's text, or the records behind a host state with the
// settings slots among them. Whatever is read must write out again and read
// back to the same thing.
#include "framework/state_records.h"
#include "plugin/settings_slots_record.h"
#include "storage/user_files.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace
{

void LastStateText(const uint8_t* data, size_t size)
{
    const std::vector<double> values =
        ostrel::ParseLastStateText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (values.size() > static_cast<size_t>(ostrel::kLastStateValueCount))
        std::abort();
    for (const double v : values)
        if (!std::isfinite(v))
            std::abort();
    if (ostrel::ParseLastStateText(ostrel::BuildLastStateText(values)).size() != values.size())
        std::abort();
}

bool SameBytes(const plugfw::IByteChunk& a, const plugfw::IByteChunk& b)
{
    return a.Size() == b.Size() &&
           (a.Size() == 0 || std::memcmp(a.GetData(), b.GetData(), a.Size()) == 0);
}

void Records(const uint8_t* data, size_t size, bool marked)
{
    plugfw::IByteChunk chunk;
    // Mostly behind the mark, so that the records themselves get fuzzed.
    if (marked)
        chunk.Put(plugfw::StateRecords::kMark);
    chunk.PutBytes(data, static_cast<int>(size));
    const plugfw::StateRecords records = plugfw::StateRecords::ReadFrom(chunk, 0);
    // The settings slots from a record of their id, or from the whole input
    // as such a record.
    const plugfw::IByteChunk* record = records.Find(ostrel::kSettingsSlotsRecordId);
    plugfw::IByteChunk whole;
    whole.PutBytes(data, static_cast<int>(size));
    for (const plugfw::IByteChunk* body : {record, static_cast<const plugfw::IByteChunk*>(&whole)})
    {
        if (body == nullptr)
            continue;
        ostrel::SettingsSlots slots;
        if (!ostrel::ReadSettingsSlots(*body, slots))
            continue;
        const plugfw::IByteChunk written = ostrel::WriteSettingsSlots(slots);
        ostrel::SettingsSlots again;
        if (!ostrel::ReadSettingsSlots(written, again) ||
            !SameBytes(ostrel::WriteSettingsSlots(again), written))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t road = data[0];
    if (road < 64)
        LastStateText(data + 1, size - 1);
    else
        Records(data + 1, size - 1, road < 224);
    return 0;
}
