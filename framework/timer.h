// plugfw::Timer: the plug-in's idle clock. It calls its function every
// period "on the main thread". A host that offers a run loop drives it from
// its own main thread (`HostTick`); while no host driver is attached, a
// private thread ticks instead. Every tick runs under the instance's
// main-thread mutex, so a private tick never overlaps the host's controller
// calls, which take the same mutex.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace plugfw
{

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
    // private thread. Safe to call again.
    void Start();
    // No tick runs after this returns (may be called with the mutex held).
    void Stop();

    // A host run loop takes over (the private thread ends) or gives back.
    void AttachHostDriver();
    void DetachHostDriver();
    // Called by the host driver on the host's main thread.
    void HostTick();

    int PeriodMs() const { return mPeriodMs; }
    bool Running() const { return mRunning; }
    bool HostDriven() const { return mHostDriven; }
    bool PrivateThreadRunning() const { return mThread.joinable(); }
    // True on the private thread: host interfaces reserved for the main
    // thread must not be called from here.
    bool OnPrivateThread() const;

private:
    void StartThread();
    void StopThread();
    void ThreadMain();
    void Fire();
    void RunOffLock();

    std::recursive_mutex& mMutex;
    Function mFunction;
    Function mOffLock;
    const int mPeriodMs;

    std::atomic<bool> mRunning{false};
    std::atomic<bool> mHostDriven{false};

    std::thread mThread;
    std::mutex mWakeMutex;
    std::condition_variable mWake;
    bool mStopThread = false;
    std::atomic<std::thread::id> mThreadId{};
};

} // namespace plugfw
