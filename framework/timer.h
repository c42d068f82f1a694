// plugfw::Timer: the plug-in's idle clock. It calls its function every
// period "on the main thread". A host that offers a run loop drives it from
// its own main thread (`HostTick`); while no host driver is attached, the
// platform's own ticker ticks instead (timer_ticker.h). Every tick runs under
// the instance's main-thread mutex, so a tick never overlaps the host's
// controller calls, which take the same mutex.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace plugfw
{

class TimerTicker;

class Timer
{
public:
    using Function = std::function<void()>;

    // Nothing ticks before `Start`: the owner is usually still being built.
    // `offLock`, when given, runs on the ticking thread just before and just
    // after each tick, without the mutex: work that may wait (files) and
    // must not hold up host calls that take the mutex.
    Timer(std::recursive_mutex& mainThreadMutex, Function function, int periodMs,
          Function offLock = {});
    ~Timer();

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Begins ticking: from the host driver if one is attached, else from the
    // platform's ticker. Safe to call again.
    void Start();
    // No tick runs after this returns (may be called with the mutex held).
    void Stop();

    // A host run loop takes over (the ticker stops) or gives back.
    void AttachHostDriver();
    void DetachHostDriver();
    // Called by the host driver on the host's main thread.
    void HostTick();

    int PeriodMs() const { return mPeriodMs; }
    bool Running() const { return mRunning; }
    bool HostDriven() const { return mHostDriven; }
    // The platform's ticker is ticking (a private thread on Linux).
    bool PrivateThreadRunning() const;
    // True on a thread of the ticker's own that the host does not know:
    // host interfaces reserved for the main thread must not be called from
    // here.
    bool OnPrivateThread() const;

private:
    friend class TimerTicker;

    void Fire();
    // Runs the function if the mutex is free now; false when it was busy.
    bool TryTick();
    void RunOffLock();

    std::recursive_mutex& mMutex;
    Function mFunction;
    Function mOffLock;
    const int mPeriodMs;

    std::atomic<bool> mRunning{false};
    std::atomic<bool> mHostDriven{false};

    std::unique_ptr<TimerTicker> mTicker;
};

} // namespace plugfw
