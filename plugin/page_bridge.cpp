#include "plugin/page_bridge.h"

namespace ostrel
{

void PageBridge::Opened()
{
    mOpen = true;
    mRefreshDue = true;
    mKeysForwarded = false;
    mTicks = 0;
    mTick = 0;
    mFront.Used();
    for (std::string& last : mLast)
        last.clear();
}

void PageBridge::Closed()
{
    mOpen = false;
    mKeysForwarded = false;
    mSettingsShown.reset();
    mFront.Closed();
}

void PageBridge::Loaded()
{
    mRefreshDue = true;
    mSettingsShown.reset();
}

void PageBridge::NotePresetsGeneration(uint64_t generation)
{
    if (generation == mPresetsSeen)
        return;
    mPresetsSeen = generation;
    mPresetsDue = true;
}

bool PageBridge::IsNews(Report which, const std::string& text)
{
    std::string& last = mLast[static_cast<int>(which)];
    if (text == last)
        return false;
    last = text;
    return true;
}

bool PageBridge::IsNews(const SettingsView& view)
{
    if (mSettingsShown == view)
        return false;
    mSettingsShown = view;
    return true;
}

} // namespace ostrel
