// Chooses what drives the instance's idle Timer on Linux: the run loop of
// the view's frame while a view is attached, else the run loop a host
// context offers (initialize, or the factory's host context), else the
// Timer's private thread. Ticks that come from a run loop are on the host's
// main thread.
#pragma once

#include "framework/timer.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace plugfw
{

class IdleClock
{
public:
    explicit IdleClock(Timer& timer);
    ~IdleClock();

    IdleClock(const IdleClock&) = delete;
    IdleClock& operator=(const IdleClock&) = delete;

    // The run loop of a host context (nullptr: none). Called at initialize.
    void SetContextRunLoop(Steinberg::Linux::IRunLoop* runLoop);
    // The frame's run loop while a view is attached; nullptr when removed.
    void SetFrameRunLoop(Steinberg::Linux::IRunLoop* runLoop);
    // Starts the timer on the best driver.
    void Start();
    // Unregisters from any run loop, forgets the run loops and stops the
    // timer.
    void Stop();

    // Asks `unknown` for a Linux run loop (nullptr when it offers none).
    static Steinberg::IPtr<Steinberg::Linux::IRunLoop> RunLoopOf(Steinberg::FUnknown* unknown);

    bool UsesRunLoop() const { return mActive != nullptr; }
    Steinberg::Linux::IRunLoop* ActiveRunLoop() const { return mActive.get(); }

private:
    class Handler;

    void Rebind();

    Timer& mTimer;
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> mContextLoop;
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> mFrameLoop;
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> mActive;
    Handler* mHandler = nullptr;
    bool mStarted = false;
};

} // namespace plugfw
