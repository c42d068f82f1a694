#include "vst3/idle_clock.h"

#include "base/source/fobject.h"

namespace plugfw
{

// The timer handler a run loop holds. The host keeps its own reference, so
// it may outlive the clock; it then forwards nothing.
class IdleClock::Handler : public Steinberg::FObject, public Steinberg::Linux::ITimerHandler
{
public:
    explicit Handler(Timer* timer) : mTimer(timer) {}

    void PLUGIN_API onTimer() SMTG_OVERRIDE
    {
        if (mTimer)
            mTimer->HostTick();
    }
    void Detach() { mTimer = nullptr; }

    OBJ_METHODS(IdleClock::Handler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    Timer* mTimer;
};

IdleClock::IdleClock(Timer& timer) : mTimer(timer) {}

IdleClock::~IdleClock()
{
    Stop();
}

Steinberg::IPtr<Steinberg::Linux::IRunLoop> IdleClock::RunLoopOf(Steinberg::FUnknown* unknown)
{
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop;
    if (!unknown)
        return loop;
    void* obj = nullptr;
    if (unknown->queryInterface(Steinberg::Linux::IRunLoop::iid, &obj) == Steinberg::kResultOk &&
        obj)
        loop = Steinberg::owned(static_cast<Steinberg::Linux::IRunLoop*>(obj));
    return loop;
}

void IdleClock::SetContextRunLoop(Steinberg::Linux::IRunLoop* runLoop)
{
    mContextLoop = runLoop;
    if (mStarted)
        Rebind();
}

void IdleClock::SetFrameRunLoop(Steinberg::Linux::IRunLoop* runLoop)
{
    mFrameLoop = runLoop;
    if (mStarted)
        Rebind();
}

void IdleClock::Start()
{
    mStarted = true;
    Rebind();
    mTimer.Start();
}

void IdleClock::Stop()
{
    mStarted = false;
    mTimer.Stop();
    Rebind();
    // A host's objects are ours only until terminate: keep no reference.
    mContextLoop = nullptr;
    mFrameLoop = nullptr;
}

void IdleClock::Rebind()
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
        auto* handler = new Handler(&mTimer);
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

} // namespace plugfw
