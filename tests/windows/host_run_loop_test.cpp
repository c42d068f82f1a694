// The render tool's run loop on Windows: the thread's SetTimer timers tick
// by the caller's clock, once each per 20 ms of it, however fast or slow the
// wall clock runs meanwhile.
#include "tools/render/host/host_run_loop.h"

#include "pluginterfaces/base/funknown.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace
{

int gFirings[2] = {};

void CALLBACK CountFirst(HWND, UINT, UINT_PTR, DWORD)
{
    ++gFirings[0];
}

void CALLBACK CountSecond(HWND, UINT, UINT_PTR, DWORD)
{
    ++gFirings[1];
}

TEST(WindowsHostRunLoop, TicksTheThreadsTimersByTheCallersClock)
{
    gFirings[0] = gFirings[1] = 0;
    const UINT_PTR first = SetTimer(nullptr, 0, 20, &CountFirst);
    const UINT_PTR second = SetTimer(nullptr, 0, 20, &CountSecond);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);

    ostrel::host::HostRunLoop loop;
    void* obj = &loop;
    EXPECT_EQ(loop.Offer(Steinberg::FUnknown::iid, &obj), Steinberg::kNoInterface);
    EXPECT_EQ(obj, nullptr);

    loop.Advance(19.5);
    EXPECT_EQ(gFirings[0] + gFirings[1], 0) << "nothing before the first 20 ms";
    loop.Advance(0.5);
    EXPECT_EQ(loop.TimerCount(), 2u);
    EXPECT_EQ(gFirings[0], 1);
    EXPECT_EQ(gFirings[1], 1);

    // A second of the caller's clock in far less of the wall clock.
    loop.Advance(1000.0);
    EXPECT_EQ(gFirings[0], 51);
    EXPECT_EQ(gFirings[1], 51);
    // The wall clock alone ticks nothing.
    Sleep(100);
    loop.Advance(1.0);
    EXPECT_EQ(gFirings[0], 51);
    EXPECT_EQ(gFirings[1], 51);
    EXPECT_EQ(loop.TimerFirings(), 102);
    EXPECT_DOUBLE_EQ(loop.NowMs(), 1021.0);

    KillTimer(nullptr, first);
    KillTimer(nullptr, second);
}

} // namespace
