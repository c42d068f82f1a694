// The idle clock's own ticks on Windows: a windowless SetTimer on the thread
// that starts it (the host's main thread), dispatched by that thread's
// message loop. The callback only gets a timer id, so it finds its ticker in
// a module-wide list of live tickers, under a module-wide critical section
// that Stop also takes: once Stop returns, no tick of that ticker runs.
#include "framework/timer_ticker.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace plugfw
{

namespace
{

class SetTimerTicker;

struct LiveTickers
{
    LiveTickers() { InitializeCriticalSection(&lock); }
    // Lives as long as the module: a timer may fire during unloading.
    CRITICAL_SECTION lock;
    std::vector<std::pair<UINT_PTR, SetTimerTicker*>> tickers;
};

LiveTickers& Live()
{
    static LiveTickers* live = new LiveTickers();
    return *live;
}

class Lock
{
public:
    Lock() { EnterCriticalSection(&Live().lock); }
    ~Lock() { LeaveCriticalSection(&Live().lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

class SetTimerTicker final : public TimerTicker
{
public:
    explicit SetTimerTicker(Timer& timer) : TimerTicker(timer) {}
    ~SetTimerTicker() override { Stop(); }

    void Start() override
    {
        Lock lock;
        if (mId != 0)
            return;
        mId = SetTimer(nullptr, 0, static_cast<UINT>(PeriodMs()), &SetTimerTicker::OnTimer);
        if (mId != 0)
            Live().tickers.emplace_back(mId, this);
    }

    void Stop() override
    {
        Lock lock;
        if (mId == 0)
            return;
        auto& tickers = Live().tickers;
        tickers.erase(std::remove_if(tickers.begin(), tickers.end(),
                                     [this](const auto& entry) { return entry.second == this; }),
                      tickers.end());
        // Only the starting thread can kill the timer; from another thread
        // it fires on, finds nothing in the list and does nothing.
        KillTimer(nullptr, mId);
        mId = 0;
    }

    bool Ticking() const override { return mId != 0; }
    // Ticks come from the host's own message loop.
    bool OnOwnThread() const override { return false; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        Lock lock;
        for (const auto& [liveId, ticker] : Live().tickers)
        {
            if (liveId != id)
                continue;
            // A host call that holds the instance's mutex on another thread
            // keeps this tick back; the next one comes 20 ms later.
            ticker->RunOffLock();
            if (ticker->TryTick())
                ticker->RunOffLock();
            return;
        }
    }

    UINT_PTR mId = 0;
};

} // namespace

std::unique_ptr<TimerTicker> MakeTimerTicker(Timer& timer)
{
    return std::make_unique<SetTimerTicker>(timer);
}

} // namespace plugfw
