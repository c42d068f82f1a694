// The platform's part of the idle Timer: what ticks it while no host driver
// is attached (timer_ticker_<platform>.cpp).
#pragma once

#include "framework/timer.h"

#include <memory>

namespace plugfw
{

class TimerTicker
{
public:
    virtual ~TimerTicker() = default;

    // Begins ticking every period. Safe to call again, also from a tick.
    virtual void Start() = 0;
    // No tick starts after this returns, except when called from a tick:
    // then the ticking ends after it.
    virtual void Stop() = 0;
    virtual bool Ticking() const = 0;
    // True on a thread of the ticker's own (never the host's main thread).
    virtual bool OnOwnThread() const = 0;

protected:
    explicit TimerTicker(Timer& timer) : mTimer(timer) {}

    // What a ticker may do with its Timer.
    bool TryTick() { return mTimer.TryTick(); }
    void RunOffLock() { mTimer.RunOffLock(); }
    int PeriodMs() const { return mTimer.PeriodMs(); }

private:
    Timer& mTimer;
};

// The ticker of this platform for `timer`; it starts idle.
std::unique_ptr<TimerTicker> MakeTimerTicker(Timer& timer);

} // namespace plugfw
