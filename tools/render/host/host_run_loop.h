// The host's main-thread timers as a plug-in sees them, driven by the
// caller's clock instead of the wall clock: `Advance` fires every timer that
// has come due, so an offline render ticks its plug-ins every 20 ms of
// rendered audio, deterministically, as fast as it renders.
// host_run_loop_<platform>.cpp: on Linux the run loop interface that hosts
// offer through their contexts and frames; on Windows the thread's message
// loop, whose timer callbacks it dispatches by the same clock.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <cstddef>
#include <memory>

namespace ostrel::host
{

class HostRunLoop
{
public:
    HostRunLoop();
    ~HostRunLoop();

    HostRunLoop(const HostRunLoop&) = delete;
    HostRunLoop& operator=(const HostRunLoop&) = delete;

    // Hands out the platform's run loop interface when `iid` asks for it
    // (kResultOk), else kNoInterface. Windows has none: plug-ins there set
    // their timers on the host's message loop.
    Steinberg::tresult Offer(const Steinberg::TUID iid, void** obj);

    // Moves the clock on by `ms` and fires what came due (timers in due
    // order; readable file descriptors once). With `catchUp` false each
    // timer fires at most once however many of its periods passed, as on a
    // host whose main thread was busy (an export) and comes back.
    void Advance(double ms, bool catchUp = true);
    double NowMs() const;
    size_t TimerCount() const;
    size_t EventHandlerCount() const;
    long TimerFirings() const;

private:
    class Platform;
    std::unique_ptr<Platform> mPlatform;
};

} // namespace ostrel::host
