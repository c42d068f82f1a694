// ostrel::PageOutbox: what the page last got of the messages sent only when
// they change (meters, peer list, matrix), and the meters' pace. A new page
// has seen none of them.
#pragma once

#include <cstdint>
#include <string>

namespace ostrel
{

class PageOutbox
{
public:
    enum class Report
    {
        Meters,
        Sources,
        Matrix,
        Count,
    };

    // Meters go out at most every fifth tick (100 ms, 10 a second): smooth
    // enough for levels smoothed over 150 ms, and what keeps an open editor
    // light. Each update costs the web view a repaint of the spectrum, and
    // the helper a copy of it to the screen: most of what an open editor
    // costs.
    static constexpr int32_t kMeterTickPeriod = 5;

    // A new page: nothing sent yet, the meters' pace starts again.
    void PageOpened();
    // Counts a tick with the page open; true on the ticks the meters are due.
    bool MeterTickDue() { return mMeterTicks++ % kMeterTickPeriod == 0; }
    // True when `text` differs from what the page last got of `which`; it
    // is then taken as what the page has.
    bool IsNews(Report which, const std::string& text);

private:
    std::string mLast[static_cast<int>(Report::Count)];
    int32_t mMeterTicks = 0;
};

} // namespace ostrel
