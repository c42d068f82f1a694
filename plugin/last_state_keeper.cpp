#include "plugin/last_state_keeper.h"

namespace ostrel
{

bool LastStateKeeper::SaveDue()
{
    if (!mDirty || ++mSaveTicks % kSavePeriodTicks != 0)
        return false;
    mDirty = false;
    return true;
}

std::optional<std::string> LastStateKeeper::TakeText()
{
    std::optional<std::string> text;
    {
        std::lock_guard<std::mutex> lock(mTextMutex);
        text.swap(mText);
    }
    if (!text)
        mWanted = true; // read before the next tick
    return text;
}

void LastStateKeeper::ReadIfWanted(const std::function<std::string()>& read)
{
    if (!mWanted.exchange(false))
        return;
    std::string text = read();
    std::lock_guard<std::mutex> lock(mTextMutex);
    mText = std::move(text);
}

} // namespace ostrel
