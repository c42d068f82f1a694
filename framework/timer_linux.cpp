// The idle clock on Linux: host run loop when offered, private thread
// otherwise (several hosts offer no run loop without an open editor).
#include "framework/timer.h"

#include <chrono>
#include <utility>

namespace plugfw
{

Timer::Timer(std::recursive_mutex& mainThreadMutex, Function function, int periodMs,
             Function offLock)
    : mMutex(mainThreadMutex), mFunction(std::move(function)), mOffLock(std::move(offLock)),
      mPeriodMs(periodMs > 0 ? periodMs : 1)
{
}

Timer::~Timer()
{
    mRunning = false;
    if (OnPrivateThread())
    {
        // Destroyed from its own tick: let the thread run out on its own.
        {
            std::lock_guard<std::mutex> lock(mWakeMutex);
            mStopThread = true;
        }
        mThread.detach();
        return;
    }
    StopThread();
}

void Timer::Start()
{
    if (mRunning)
        return;
    mRunning = true;
    if (!mHostDriven)
        StartThread();
}

void Timer::Stop()
{
    mRunning = false;
    StopThread();
}

void Timer::AttachHostDriver()
{
    mHostDriven = true;
    StopThread();
}

void Timer::DetachHostDriver()
{
    mHostDriven = false;
    if (mRunning)
        StartThread();
}

void Timer::HostTick()
{
    if (mRunning && mHostDriven)
        Fire();
}

bool Timer::OnPrivateThread() const
{
    return mThreadId.load() == std::this_thread::get_id();
}

void Timer::Fire()
{
    RunOffLock();
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        try
        {
            mFunction();
        }
        catch (...)
        {
            // An idle tick must never take the host down with it.
        }
    }
    RunOffLock();
}

void Timer::RunOffLock()
{
    if (!mOffLock)
        return;
    try
    {
        mOffLock();
    }
    catch (...)
    {
    }
}

void Timer::StartThread()
{
    // From a tick: the thread is this one; it keeps going. (The thread
    // object itself belongs to the other threads.)
    if (OnPrivateThread())
    {
        std::lock_guard<std::mutex> lock(mWakeMutex);
        mStopThread = false;
        return;
    }
    if (mThread.joinable())
    {
        bool stopping = false;
        {
            std::lock_guard<std::mutex> lock(mWakeMutex);
            stopping = mStopThread;
        }
        if (!stopping)
            return;
        mThread.join(); // a tick asked its own thread to end earlier
        mThreadId.store(std::thread::id());
    }
    {
        std::lock_guard<std::mutex> lock(mWakeMutex);
        mStopThread = false;
    }
    mThread = std::thread([this] { ThreadMain(); });
}

void Timer::StopThread()
{
    if (OnPrivateThread())
    {
        // Stopped from inside a tick: the thread ends after it; whoever
        // starts or stops it next from another thread joins it.
        std::lock_guard<std::mutex> lock(mWakeMutex);
        mStopThread = true;
        return;
    }
    if (!mThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mWakeMutex);
        mStopThread = true;
    }
    mWake.notify_all();
    mThread.join();
    mThreadId.store(std::thread::id());
}

void Timer::ThreadMain()
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(mPeriodMs);
    mThreadId.store(std::this_thread::get_id());

    std::unique_lock<std::mutex> wake(mWakeMutex);
    auto next = Clock::now() + period;
    while (!mStopThread)
    {
        if (mWake.wait_until(wake, next, [this] { return mStopThread; }))
            break;
        // The main-thread mutex may be held by a host call (possibly one
        // that is stopping this thread): never block on it, poll instead.
        bool fired = false;
        wake.unlock();
        RunOffLock();
        wake.lock();
        while (!fired && !mStopThread)
        {
            wake.unlock();
            if (mMutex.try_lock())
            {
                try
                {
                    mFunction();
                }
                catch (...)
                {
                }
                mMutex.unlock();
                fired = true;
            }
            if (fired)
                RunOffLock();
            wake.lock();
            if (!fired)
                mWake.wait_for(wake, std::chrono::milliseconds(1), [this] { return mStopThread; });
        }
        next += period;
        const auto now = Clock::now();
        if (next < now)
            next = now + period; // late ticks are not made up in a burst
    }
}

} // namespace plugfw
