#include "plugin/page_outbox.h"

namespace ostrel
{

void PageOutbox::PageOpened()
{
    mMeterTicks = 0;
    for (std::string& last : mLast)
        last.clear();
}

bool PageOutbox::IsNews(Report which, const std::string& text)
{
    std::string& last = mLast[static_cast<int>(which)];
    if (text == last)
        return false;
    last = text;
    return true;
}

} // namespace ostrel
