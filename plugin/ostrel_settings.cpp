// The user's settings as a whole: the last settings a new instance starts
// from, presets applied from the page, and the settings slots A and B. Each
// is one action of the user, so each reaches the host as one edit. Main
// thread.
#include "plugin/ostrel.h"

#include "editor_messages/message_text_reader.h"
#include "editor_messages/product_message_tags.h"
#include "framework/iparam.h"
#include "plugin/settings_slots_record.h"
#include "storage/user_files.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ostrel
{

namespace
{

// Values this close (in the normalised range) are the same setting: a value
// that went to the host and back may differ in its last bits.
constexpr double kSameNormalised = 1e-9;
// The last-state file keeps six decimals: a stored value this close to the
// current one is that value, not a change.
constexpr double kLastStateResolution = 0.5e-6;

bool SameValue(const plugfw::IParam& param, double plain)
{
    return std::abs(param.ToNormalised(plain) - param.Normalised()) <= kSameNormalised;
}

} // namespace

ParamValues Ostrel::LiveValues() const
{
    ParamValues values{};
    for (int i = 0; i < kNumParams; ++i)
        values[static_cast<size_t>(i)] = GetParam(i)->Value();
    return values;
}

void Ostrel::ApplyValuesAsOneEdit(const ParamValues& plain, bool (*which)(int))
{
    std::vector<plugfw::ParamEdit> edits;
    for (int i = 0; i < kNumParams; ++i)
    {
        const plugfw::IParam& param = *GetParam(i);
        const double value = plain[static_cast<size_t>(i)];
        if (!which(i) || SameValue(param, value))
            continue;
        edits.push_back({i, param.ToNormalised(value)});
        // The new settings end a gesture held on the parameter: the group's
        // own end closes it at the host.
        mGestures.Close(GestureHolder::Page, i);
        mGestures.Close(GestureHolder::Peer, i);
    }
    SetParamsFromEditorAsOneEdit(edits);
    for (const plugfw::ParamEdit& e : edits)
        SendParamValueToPage(e.paramIdx, e.normalisedValue, true);
}

void Ostrel::RestoreLastStateOnce()
{
    if (mLastState.RestoreTried())
        return;
    // A project the host restored, or values the host or the user set, are
    // what this instance is meant to sound like.
    if (mLastState.HostRestored() || ParamsEditedSinceCreation())
    {
        mLastState.RestoreDone();
        return;
    }
    const std::optional<std::string> text = mLastState.TakeText();
    if (!text)
        return; // read before the next tick
    mLastState.RestoreDone();
    if (text->size() <= 2)
        return;
    const std::vector<double> stored = ParseLastStateText(*text);
    ParamValues values = LiveValues();
    for (int i = 0; i < kNumParams && i < static_cast<int>(stored.size()); ++i)
    {
        const plugfw::IParam& param = *GetParam(i);
        const double x = std::clamp(stored[static_cast<size_t>(i)], 0.0, 1.0);
        if (isLastStateParam(i) && std::abs(x - param.Normalised()) > kLastStateResolution)
            values[static_cast<size_t>(i)] = param.FromNormalised(x);
    }
    const LastStateKeeper::Restoring restoring(mLastState);
    ApplyValuesAsOneEdit(values, isLastStateParam);
}

void Ostrel::SaveLastStateWhenDue()
{
    if (!mLastState.SaveDue())
        return;
    std::array<double, kNumParams> values{};
    for (int i = 0; i < kNumParams; ++i)
        values[static_cast<size_t>(i)] = GetParam(i)->Normalised();
    mFiles.QueueWrite(kLastStateFileName, BuildLastStateText(values));
}

void Ostrel::PresetFromPage(const MessageText& text)
{
    // "values": parameter index and plain value in turn.
    const std::vector<double> list = text.NumberList("values", 2 * kNumParams);
    const std::string name = cleanPresetName(text.EscapedString("preset"));
    ParamValues values = LiveValues();
    std::vector<int> named;
    for (size_t i = 0; i + 1 < list.size(); i += 2)
    {
        const double at = list[i];
        if (!(at >= 0.0 && at < static_cast<double>(kNumParams)) || at != std::floor(at))
            continue;
        const int index = static_cast<int>(at);
        if (!isSoundParam(index))
            continue;
        values[static_cast<size_t>(index)] = list[i + 1];
        if (std::find(named.begin(), named.end(), index) == named.end())
            named.push_back(index);
    }
    ApplyValuesAsOneEdit(values, isSoundParam);

    PresetMark mark;
    if (!name.empty())
    {
        mark.name = name;
        for (const int index : named)
            mark.values.emplace_back(index, GetParam(index)->Value());
    }
    PresetMark& current = mSettingsSlots.CurrentPreset();
    if (mark != current)
    {
        current = std::move(mark);
        MarkStateDirty();
    }
}

void Ostrel::CompareFromPage(const MessageText& text)
{
    if (text.Has("copy"))
    {
        mSettingsSlots.CopyActiveToOther(LiveValues());
        MarkStateDirty();
        return;
    }
    const std::optional<int> slot = text.Integer("slot");
    if (!slot || *slot < 0 || *slot >= SettingsSlots::kCount || *slot == mSettingsSlots.active)
        return;
    const ParamValues values = mSettingsSlots.SwitchTo(*slot, LiveValues());
    ApplyValuesAsOneEdit(values, isSoundParam);
    MarkStateDirty();
}

SettingsView Ostrel::CurrentSettingsView() const
{
    SettingsView view;
    view.slot = mSettingsSlots.active;
    const PresetMark& preset = mSettingsSlots.CurrentPreset();
    view.presetName = preset.name;
    for (const auto& [index, value] : preset.values)
        view.modified = view.modified || !SameValue(*GetParam(index), value);
    return view;
}

void Ostrel::SendSettingsToPage()
{
    const SettingsView view = CurrentSettingsView();
    if (mPage.IsNews(view))
        SendTextToPage(kTagSettings, BuildSettingsMessage(view));
}

void Ostrel::SaveStateRecords(plugfw::StateRecords& records) const
{
    if (!mSettingsSlots.IsUnused())
        records.Add(kSettingsSlotsRecordId, WriteSettingsSlots(mSettingsSlots));
}

void Ostrel::LoadStateRecords(const plugfw::StateRecords& records)
{
    // A project saved without slots (or by an earlier version) has none.
    SettingsSlots slots;
    if (const plugfw::IByteChunk* record = records.Find(kSettingsSlotsRecordId))
        ReadSettingsSlots(*record, slots);
    mSettingsSlots = std::move(slots);
}

} // namespace ostrel
