// The idle driver on Linux: the run loop of the view's frame while a view is
// attached, else the run loop a host context offers (initialize, or the
// factory's host context), else the Timer's private thread. Ticks that come
// from a run loop are on the host's main thread.
#include "vst3/host_idle_driver.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/smartpointer.h"

namespace plugfw
{

namespace
{

using RunLoopPtr = Steinberg::IPtr<Steinberg::Linux::IRunLoop>;

// The timer handler a run loop holds. The host keeps its own reference, so
// it may outlive the driver; it then forwards nothing.
class TimerHandler : public Steinberg::FObject, public Steinberg::Linux::ITimerHandler
{
public:
    explicit TimerHandler(Timer* timer) : mTimer(timer) {}

    void PLUGIN_API onTimer() SMTG_OVERRIDE
    {
        if (mTimer)
            mTimer->HostTick();
    }
    void Detach() { mTimer = nullptr; }

    OBJ_METHODS(TimerHandler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    Timer* mTimer;
};

// Asks `unknown` for a Linux run loop (nullptr when it offers none).
RunLoopPtr RunLoopOf(Steinberg::FUnknown* unknown)
{
    RunLoopPtr loop;
    if (!unknown)
        return loop;
    void* obj = nullptr;
    if (unknown->queryInterface(Steinberg::Linux::IRunLoop::iid, &obj) == Steinberg::kResultOk &&
        obj)
        loop = Steinberg::owned(static_cast<Steinberg::Linux::IRunLoop*>(obj));
    return loop;
}

class RunLoopIdleDriver final : public HostIdleDriver
{
public:
    explicit RunLoopIdleDriver(Timer& timer) : mTimer(timer) {}
    ~RunLoopIdleDriver() override { Stop(); }

    void Initialize(Steinberg::FUnknown* context, Steinberg::FUnknown* factoryContext) override
    {
        RunLoopPtr loop = RunLoopOf(context);
        if (!loop)
            loop = RunLoopOf(factoryContext);
        mContextLoop = loop;
        mStarted = true;
        Rebind();
        mTimer.Start();
    }

    void ViewAttached(Steinberg::IPlugFrame* frame) override
    {
        mFrameLoop = RunLoopOf(frame);
        if (mStarted)
            Rebind();
    }

    void ViewRemoved() override
    {
        mFrameLoop = nullptr;
        if (mStarted)
            Rebind();
    }

    void Stop() override
    {
        mStarted = false;
        mTimer.Stop();
        Rebind();
        // A host's objects are ours only until terminate: keep no reference.
        mContextLoop = nullptr;
        mFrameLoop = nullptr;
    }

private:
    void Rebind();

    Timer& mTimer;
    RunLoopPtr mContextLoop;
    RunLoopPtr mFrameLoop;
    RunLoopPtr mActive;
    TimerHandler* mHandler = nullptr;
    bool mStarted = false;
};

void RunLoopIdleDriver::Rebind()
{
    Steinberg::Linux::IRunLoop* wanted = nullptr;
    if (mStarted)
        wanted = mFrameLoop ? mFrameLoop.get() : mContextLoop.get();
    if (wanted == mActive.get())
        return;

    if (mActive && mHandler)
    {
        mActive->unregisterTimer(mHandler);
        mHandler->Detach();
        mHandler->release();
        mHandler = nullptr;
    }
    mActive = nullptr;

    if (wanted)
    {
        auto* handler = new TimerHandler(&mTimer);
        if (wanted->registerTimer(handler, static_cast<Steinberg::Linux::TimerInterval>(
                                               mTimer.PeriodMs())) == Steinberg::kResultTrue)
        {
            mHandler = handler;
            mActive = wanted;
            mTimer.AttachHostDriver();
            return;
        }
        handler->release(); // the run loop refused: fall back to the thread
    }
    mTimer.DetachHostDriver();
}

} // namespace

std::unique_ptr<HostIdleDriver> MakeHostIdleDriver(Timer& timer)
{
    return std::make_unique<RunLoopIdleDriver>(timer);
}

} // namespace plugfw
