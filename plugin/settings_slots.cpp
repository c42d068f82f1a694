#include "plugin/settings_slots.h"

namespace ostrel
{

std::string cleanPresetName(std::string_view name)
{
    std::string out;
    for (const char c : name)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            continue;
        out += c;
    }
    if (out.size() <= kPresetNameMaxBytes)
        return out;
    size_t end = kPresetNameMaxBytes;
    // Back to the first byte of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80)
        --end;
    out.resize(end);
    return out;
}

bool SettingsSlots::IsUnused() const
{
    for (const SettingsSlot& slot : slots)
        if (!slot.preset.Empty())
            return false;
    return active == 0 && !slots[1].filled;
}

ParamValues SettingsSlots::SwitchTo(int to, const ParamValues& live)
{
    SettingsSlot& from = slots[static_cast<size_t>(active)];
    from.filled = true;
    from.values = live;
    SettingsSlot& next = slots[static_cast<size_t>(to)];
    if (!next.filled)
    {
        next.filled = true;
        next.values = live;
        next.preset = from.preset;
    }
    active = to;
    return next.values;
}

void SettingsSlots::CopyActiveToOther(const ParamValues& live)
{
    SettingsSlot& from = slots[static_cast<size_t>(active)];
    SettingsSlot& other = slots[static_cast<size_t>(1 - active)];
    other.filled = true;
    other.values = live;
    other.preset = from.preset;
}

} // namespace ostrel
