// The run loop on Windows: plug-ins set their timers on the host thread's
// message loop (SetTimer), and a host's loop dispatches them by the wall
// clock. An offline render must tick by its own clock instead, as on Linux,
// so this loop learns the thread's timers from the WM_TIMER messages the
// system posts, drops those, and dispatches one WM_TIMER to each learned
// timer every 20 ms of the caller's clock (the idle period plug-ins use).
// Other messages are dispatched as they come.
#include "tools/render/host/host_run_loop.h"

#include <windows.h>

#include <algorithm>
#include <vector>

using namespace Steinberg;

namespace ostrel::host
{

namespace
{

constexpr double kPeriodMs = 20.0;
// A timer started before the first round has fired by then, so the first
// round knows every timer the plug-ins started while being set up.
constexpr DWORD kFirstRoundWaitMs = 60;

struct ThreadTimer
{
    HWND window;
    UINT_PTR id;
    LPARAM callback;
};

} // namespace

class HostRunLoop::Platform
{
public:
    void Advance(double ms, bool catchUp)
    {
        const double end = mNowMs + ms;
        while (mNextRoundMs <= end)
        {
            mNowMs = std::max(mNowMs, mNextRoundMs);
            Pump(mRounds == 0 ? kFirstRoundWaitMs : 0);
            // A timer killed since keeps its place: its callback is called
            // with an id it no longer holds, as for a WM_TIMER queued just
            // before a KillTimer, which callbacks ignore.
            const auto timers = mTimers;
            for (const auto& t : timers)
            {
                MSG msg{};
                msg.hwnd = t.window;
                msg.message = WM_TIMER;
                msg.wParam = t.id;
                msg.lParam = t.callback;
                msg.time = GetTickCount();
                DispatchMessageW(&msg);
                ++mFirings;
            }
            ++mRounds;
            mNextRoundMs += kPeriodMs;
            if (!catchUp)
                mNextRoundMs = std::max(mNextRoundMs, end + kPeriodMs);
        }
        mNowMs = end;
        Pump(0);
    }

    double NowMs() const { return mNowMs; }
    size_t TimerCount() const { return mTimers.size(); }
    long TimerFirings() const { return mFirings; }

private:
    // Takes every message waiting now (and for `waitMs` more): WM_TIMER
    // ones name a timer to learn, the others are dispatched.
    void Pump(DWORD waitMs)
    {
        const ULONGLONG until = GetTickCount64() + waitMs;
        for (;;)
        {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                if (msg.message == WM_TIMER)
                {
                    Learn(msg);
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= until)
                return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now),
                                      QS_ALLINPUT);
        }
    }

    void Learn(const MSG& msg)
    {
        const bool known = std::any_of(mTimers.begin(), mTimers.end(),
                                       [&](const ThreadTimer& t)
                                       { return t.window == msg.hwnd && t.id == msg.wParam; });
        if (!known)
            mTimers.push_back({msg.hwnd, msg.wParam, msg.lParam});
    }

    std::vector<ThreadTimer> mTimers;
    double mNowMs = 0.0;
    double mNextRoundMs = kPeriodMs;
    long mRounds = 0;
    long mFirings = 0;
};

HostRunLoop::HostRunLoop() : mPlatform(std::make_unique<Platform>()) {}
HostRunLoop::~HostRunLoop() = default;

tresult HostRunLoop::Offer(const TUID, void** obj)
{
    *obj = nullptr;
    return kNoInterface;
}

void HostRunLoop::Advance(double ms, bool catchUp)
{
    mPlatform->Advance(ms, catchUp);
}
double HostRunLoop::NowMs() const
{
    return mPlatform->NowMs();
}
size_t HostRunLoop::TimerCount() const
{
    return mPlatform->TimerCount();
}
size_t HostRunLoop::EventHandlerCount() const
{
    return 0;
}
long HostRunLoop::TimerFirings() const
{
    return mPlatform->TimerFirings();
}

} // namespace ostrel::host
