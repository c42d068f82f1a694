// The idle clock's own ticks on Linux: a private thread (several hosts offer
// no run loop without an open editor).
#include "framework/timer_ticker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace plugfw
{

namespace
{

class ThreadTicker final : public TimerTicker
{
public:
    explicit ThreadTicker(Timer& timer) : TimerTicker(timer) {}
    ~ThreadTicker() override;

    void Start() override;
    void Stop() override;
    bool Ticking() const override { return mThread.joinable(); }
    bool OnOwnThread() const override { return mThreadId.load() == std::this_thread::get_id(); }

private:
    void ThreadMain();

    std::thread mThread;
    std::mutex mWakeMutex;
    std::condition_variable mWake;
    bool mStopThread = false;
    std::atomic<std::thread::id> mThreadId{};
};

ThreadTicker::~ThreadTicker()
{
    if (OnOwnThread())
    {
        // Destroyed from its own tick: let the thread run out on its own.
        {
            std::lock_guard<std::mutex> lock(mWakeMutex);
            mStopThread = true;
        }
        mThread.detach();
        return;
    }
    Stop();
}

void ThreadTicker::Start()
{
    // From a tick: the thread is this one; it keeps going. (The thread
    // object itself belongs to the other threads.)
    if (OnOwnThread())
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

void ThreadTicker::Stop()
{
    if (OnOwnThread())
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

void ThreadTicker::ThreadMain()
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(PeriodMs());
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
            fired = TryTick();
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

} // namespace

std::unique_ptr<TimerTicker> MakeTimerTicker(Timer& timer)
{
    return std::make_unique<ThreadTicker>(timer);
}

} // namespace plugfw
