// The settings slots in the host's state: one state record that carries the
// active slot, the other slot's values and each slot's preset. It is written
// only once the slots are in use, so the state of an instance that never
// used them is what earlier versions wrote.
#pragma once

#include "framework/state_records.h"
#include "plugin/settings_slots.h"

namespace ostrel
{

inline constexpr uint32_t kSettingsSlotsRecordId = plugfw::StateRecordId('S', 'L', 'O', 'T');

plugfw::IByteChunk WriteSettingsSlots(const SettingsSlots& slots);

// The slots stored in `record`; false (and `slots` untouched) when the record
// cannot be read. A value that is no finite number empties its slot; preset
// values of parameters a preset does not hold are left out.
bool ReadSettingsSlots(const plugfw::IByteChunk& record, SettingsSlots& slots);

} // namespace ostrel
