#include "framework/timer.h"

#include "framework/timer_ticker.h"

#include <utility>

namespace plugfw
{

Timer::Timer(std::recursive_mutex& mainThreadMutex, Function function, int periodMs,
             Function offLock)
    : mMutex(mainThreadMutex), mFunction(std::move(function)), mOffLock(std::move(offLock)),
      mPeriodMs(periodMs > 0 ? periodMs : 1), mTicker(MakeTimerTicker(*this))
{
}

Timer::~Timer()
{
    mRunning = false;
    // The ticker's destructor waits for a tick in progress (or lets its own
    // thread run out when destroyed from a tick).
    mTicker.reset();
}

void Timer::Start()
{
    if (mRunning)
        return;
    mRunning = true;
    if (!mHostDriven)
        mTicker->Start();
}

void Timer::Stop()
{
    mRunning = false;
    mTicker->Stop();
}

void Timer::AttachHostDriver()
{
    mHostDriven = true;
    mTicker->Stop();
}

void Timer::DetachHostDriver()
{
    mHostDriven = false;
    if (mRunning)
        mTicker->Start();
}

void Timer::HostTick()
{
    if (mRunning && mHostDriven)
        Fire();
}

bool Timer::PrivateThreadRunning() const
{
    return mTicker && mTicker->Ticking();
}

bool Timer::OnPrivateThread() const
{
    return mTicker && mTicker->OnOwnThread();
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

bool Timer::TryTick()
{
    if (!mMutex.try_lock())
        return false;
    try
    {
        mFunction();
    }
    catch (...)
    {
    }
    mMutex.unlock();
    return true;
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

} // namespace plugfw
