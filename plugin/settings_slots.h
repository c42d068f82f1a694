// The settings an instance can switch between to compare them (slots A and
// B), each with the preset it came from. The active slot's settings are the
// parameters themselves; the other slot keeps a copy of the sound
// parameters. Main thread.
#pragma once

#include "plugin/ostrel_params.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel
{

// Plain values by parameter index.
using ParamValues = std::array<double, kNumParams>;

// A preset name is kept to this many bytes (cut at a character boundary).
inline constexpr size_t kPresetNameMaxBytes = 128;

// The name as the plug-in keeps it: control characters left out, cut to
// kPresetNameMaxBytes without splitting a UTF-8 character.
std::string cleanPresetName(std::string_view name);

// The preset that settings came from: its name and the values it set (as the
// parameters took them), so that a move away from them shows as modified.
struct PresetMark
{
    std::string name; // empty: none
    std::vector<std::pair<int, double>> values;

    bool Empty() const { return name.empty(); }
    bool operator==(const PresetMark&) const = default;
};

struct SettingsSlot
{
    bool filled = false; // holds settings of its own (a slot never visited holds none)
    ParamValues values{};
    PresetMark preset;

    bool operator==(const SettingsSlot&) const = default;
};

struct SettingsSlots
{
    static constexpr int kCount = 2;

    int active = 0;
    std::array<SettingsSlot, kCount> slots{};

    PresetMark& CurrentPreset() { return slots[static_cast<size_t>(active)].preset; }
    const PresetMark& CurrentPreset() const { return slots[static_cast<size_t>(active)].preset; }
    // Slot A active, no preset named and B never used: nothing to keep.
    bool IsUnused() const;

    // Switching to slot `to` (0..kCount-1, not the active one): the live
    // values go into the active slot, `to` becomes active, and the values to
    // set are returned. A slot never visited starts as a copy of the live
    // settings and their preset, so switching to it changes nothing.
    ParamValues SwitchTo(int to, const ParamValues& live);
    // The live settings and their preset into the other slot.
    void CopyActiveToOther(const ParamValues& live);
};

} // namespace ostrel
