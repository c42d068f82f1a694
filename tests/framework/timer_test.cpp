// The idle Timer: its private thread, the host driver that replaces it, and
// the main-thread mutex every tick runs under.
#include "framework/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace
{

using namespace std::chrono_literals;
using plugfw::Timer;

// Waits (up to a generous limit, the machine may be busy) for `done`.
template <typename Predicate> bool WaitFor(Predicate done)
{
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class TimerConcurrency : public ::testing::Test
{
protected:
    std::recursive_mutex mutex;
    std::atomic<int> ticks{0};
    std::atomic<bool> tickOnPrivateThread{false};
    std::atomic<bool> tickHeldTheMutex{true};
    Timer timer{mutex,
                [this]
                {
                    tickOnPrivateThread = timer.OnPrivateThread();
                    // The tick's thread owns the mutex: a recursive try_lock
                    // from here succeeds, one from elsewhere would not.
                    if (!mutex.try_lock())
                        tickHeldTheMutex = false;
                    else
                        mutex.unlock();
                    ++ticks;
                },
                20};
};

TEST_F(TimerConcurrency, NothingTicksBeforeStart)
{
    std::this_thread::sleep_for(70ms);
    EXPECT_EQ(ticks.load(), 0);
    EXPECT_FALSE(timer.PrivateThreadRunning());
}

TEST_F(TimerConcurrency, PrivateThreadTicksUnderTheMutex)
{
    timer.Start();
    EXPECT_TRUE(timer.PrivateThreadRunning());
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 3; }));
    timer.Stop();
    EXPECT_TRUE(tickOnPrivateThread.load());
    EXPECT_TRUE(tickHeldTheMutex.load());
    EXPECT_FALSE(timer.OnPrivateThread());
}

TEST_F(TimerConcurrency, NoTickAfterStop)
{
    timer.Start();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 1; }));
    timer.Stop();
    const int seen = ticks.load();
    std::this_thread::sleep_for(70ms);
    EXPECT_EQ(ticks.load(), seen);
    EXPECT_FALSE(timer.PrivateThreadRunning());
}

TEST_F(TimerConcurrency, HoldingTheMutexHoldsTheTicksBack)
{
    timer.Start();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 1; }));
    int seen = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        seen = ticks.load();
        std::this_thread::sleep_for(80ms);
        EXPECT_EQ(ticks.load(), seen);
    }
    EXPECT_TRUE(WaitFor([&] { return ticks.load() > seen; }));
    timer.Stop();
}

TEST_F(TimerConcurrency, StopWhileHoldingTheMutexReturns)
{
    timer.Start();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 1; }));
    std::lock_guard<std::recursive_mutex> lock(mutex);
    std::this_thread::sleep_for(30ms); // let the thread wait for the mutex
    timer.Stop();
    EXPECT_FALSE(timer.PrivateThreadRunning());
}

TEST_F(TimerConcurrency, HostDriverReplacesThePrivateThread)
{
    timer.Start();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 1; }));
    timer.AttachHostDriver();
    EXPECT_FALSE(timer.PrivateThreadRunning());
    const int seen = ticks.load();
    std::this_thread::sleep_for(70ms);
    EXPECT_EQ(ticks.load(), seen);

    timer.HostTick();
    timer.HostTick();
    EXPECT_EQ(ticks.load(), seen + 2);
    EXPECT_FALSE(tickOnPrivateThread.load());

    timer.DetachHostDriver();
    EXPECT_TRUE(timer.PrivateThreadRunning());
    EXPECT_TRUE(WaitFor([&] { return ticks.load() > seen + 2; }));
    timer.Stop();
}

TEST_F(TimerConcurrency, HostTicksCountOnlyWhileRunningAndHostDriven)
{
    timer.AttachHostDriver();
    timer.HostTick(); // not started yet
    EXPECT_EQ(ticks.load(), 0);
    timer.Start();
    EXPECT_FALSE(timer.PrivateThreadRunning());
    timer.HostTick();
    EXPECT_EQ(ticks.load(), 1);
    timer.Stop();
    timer.HostTick();
    EXPECT_EQ(ticks.load(), 1);
    // Back to the thread only once started again.
    timer.DetachHostDriver();
    EXPECT_FALSE(timer.PrivateThreadRunning());
}

TEST(TimerStopFromTick, ATickMayStopItsOwnTimer)
{
    std::recursive_mutex mutex;
    std::atomic<int> ticks{0};
    Timer* self = nullptr;
    Timer timer(
        mutex,
        [&]
        {
            ++ticks;
            self->Stop();
        },
        5);
    self = &timer;
    timer.Start();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 1; }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ticks.load(), 1);
    // And it can be started again from outside.
    timer.Start();
    EXPECT_TRUE(WaitFor([&] { return ticks.load() >= 2; }));
}

} // namespace

namespace
{

// The work outside the lock runs on the ticking thread before and after each
// tick, while another thread can take the mutex (a host call on the audio
// thread need not wait for it).
struct OffLockCase
{
    const char* label;
    bool hostDriven;
};

class TimerOffLockConcurrency : public ::testing::TestWithParam<OffLockCase>
{
protected:
    std::recursive_mutex mutex;
    std::atomic<int> ticks{0};
    std::atomic<int> offLockRuns{0};
    std::atomic<int> offLockWithMutexFree{0};
    Timer timer{mutex, [this] { ++ticks; }, 5,
                [this]
                {
                    ++offLockRuns;
                    bool free = false;
                    std::thread other(
                        [&]
                        {
                            free = mutex.try_lock();
                            if (free)
                                mutex.unlock();
                        });
                    other.join();
                    offLockWithMutexFree += free ? 1 : 0;
                }};
};

TEST_P(TimerOffLockConcurrency, RunsAroundEveryTickWithoutTheMutex)
{
    if (GetParam().hostDriven)
    {
        timer.AttachHostDriver();
        timer.Start();
        timer.HostTick();
        timer.HostTick();
    }
    else
    {
        timer.Start();
        ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 2; }));
    }
    timer.Stop();
    EXPECT_GE(offLockRuns.load(), 2 * ticks.load());
    EXPECT_EQ(offLockWithMutexFree.load(), offLockRuns.load());
}

INSTANTIATE_TEST_SUITE_P(Drivers, TimerOffLockConcurrency,
                         ::testing::Values(OffLockCase{"host", true},
                                           OffLockCase{"private_thread", false}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
