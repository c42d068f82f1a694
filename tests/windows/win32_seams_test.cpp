// The small Win32 seams: the idle Timer on the thread's message loop, the
// monotonic clock, the keyboard layout's virtual keys and the editor view's
// window type.
#include "framework/timer.h"
#include "link/monotonic_clock.h"
#include "vst3/editor_platform_type.h"
#include "vst3/keyboard_layout.h"

#include "pluginterfaces/gui/iplugview.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace
{

// Runs this thread's message loop for `ms` milliseconds, as a host's main
// thread would.
void PumpMessages(int ms)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (GetTickCount64() < end)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

struct CountingTimer
{
    std::recursive_mutex mutex;
    int ticks = 0;
    DWORD thread = 0;
    bool onPrivate = true;
    plugfw::Timer timer{mutex,
                        [this]
                        {
                            ++ticks;
                            thread = GetCurrentThreadId();
                            onPrivate = timer.OnPrivateThread();
                        },
                        20};
};

TEST(WindowsTimer, TicksOnTheStartingThreadsMessageLoopUntilStopped)
{
    CountingTimer a;
    CountingTimer b;
    PumpMessages(100);
    EXPECT_EQ(a.ticks, 0) << "nothing ticks before Start";

    a.timer.Start();
    b.timer.Start();
    EXPECT_TRUE(a.timer.PrivateThreadRunning());
    PumpMessages(300);
    // Both timers of the module-wide list tick, on this thread.
    EXPECT_GE(a.ticks, 3);
    EXPECT_GE(b.ticks, 3);
    EXPECT_EQ(a.thread, GetCurrentThreadId());
    EXPECT_FALSE(a.onPrivate);

    a.timer.Stop();
    EXPECT_FALSE(a.timer.PrivateThreadRunning());
    const int stoppedAt = a.ticks;
    const int bBefore = b.ticks;
    PumpMessages(150);
    EXPECT_EQ(a.ticks, stoppedAt);
    EXPECT_GT(b.ticks, bBefore);
}

TEST(WindowsTimer, HostDriverAndABusyMutexHoldTicksBack)
{
    CountingTimer a;
    a.timer.Start();
    a.timer.AttachHostDriver();
    PumpMessages(120);
    EXPECT_EQ(a.ticks, 0);
    a.timer.HostTick();
    EXPECT_EQ(a.ticks, 1);
    a.timer.DetachHostDriver();

    // Another thread holds the instance's mutex: ticks wait, none block.
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder(
        [&]
        {
            std::lock_guard<std::recursive_mutex> lock(a.mutex);
            held = true;
            while (!release)
                Sleep(1);
        });
    while (!held)
        Sleep(1);
    PumpMessages(120);
    EXPECT_EQ(a.ticks, 1);
    release = true;
    holder.join();
    PumpMessages(120);
    EXPECT_GT(a.ticks, 1);
}

TEST(WindowsMonotonicClock, AdvancesInMilliseconds)
{
    const int64_t before = ostrel::monotonicMs();
    Sleep(100);
    const int64_t after = ostrel::monotonicMs();
    // The tick count moves in steps of 10 to 16 ms.
    EXPECT_GE(after - before, 80);
    EXPECT_LT(after - before, 5000);
}

TEST(WindowsEditorView, EmbedsInAWindowHandle)
{
    EXPECT_STREQ(plugfw::EditorPlatformType(), Steinberg::kPlatformTypeHWND);
}

struct KeyCase
{
    char32_t character;
    int keyCode;
};

class WindowsKeyboardLayout : public ::testing::TestWithParam<KeyCase>
{
};

// The US layout of the test prefix; letters are their capitals, digits
// themselves, whatever the shift state.
TEST_P(WindowsKeyboardLayout, VirtualKeyOfCharacter)
{
    EXPECT_EQ(plugfw::VirtualKeyForCharacter(GetParam().character), GetParam().keyCode);
}

INSTANTIATE_TEST_SUITE_P(UsLayout, WindowsKeyboardLayout,
                         ::testing::Values(KeyCase{U'a', 'A'}, KeyCase{U'Z', 'Z'},
                                           KeyCase{U'7', '7'}, KeyCase{U' ', VK_SPACE},
                                           KeyCase{U'!', '1'}, KeyCase{U'/', VK_OEM_2},
                                           KeyCase{U'\r', VK_RETURN}, KeyCase{U'\U0001F600', 0},
                                           KeyCase{0, 0}));

} // namespace
