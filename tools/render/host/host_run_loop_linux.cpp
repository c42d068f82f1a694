// The run loop on Linux: the Linux::IRunLoop that hosts offer plug-ins
// through their contexts and frames, its timers driven by the caller's clock.
#include "tools/render/host/host_run_loop.h"

#include "pluginterfaces/gui/iplugview.h"

#include <poll.h>

#include <algorithm>
#include <vector>

using namespace Steinberg;

namespace ostrel::host
{

class HostRunLoop::Platform : public Linux::IRunLoop
{
public:
    Platform() = default;
    virtual ~Platform();

    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler,
                                            Linux::FileDescriptor fd) override;
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override;
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler,
                                     Linux::TimerInterval ms) override;
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override;

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    // Lives as long as its owner; reference counts are not needed.
    uint32 PLUGIN_API addRef() override { return 1000; }
    uint32 PLUGIN_API release() override { return 1000; }

    void Advance(double ms, bool catchUp);
    double NowMs() const { return mNowMs; }
    size_t TimerCount() const { return mTimers.size(); }
    size_t EventHandlerCount() const { return mHandlers.size(); }
    long TimerFirings() const { return mFirings; }

private:
    struct TimerEntry
    {
        Linux::ITimerHandler* handler;
        double intervalMs;
        double dueMs;
    };
    struct HandlerEntry
    {
        Linux::IEventHandler* handler;
        int fd;
    };

    void PollHandlers();

    std::vector<TimerEntry> mTimers;
    std::vector<HandlerEntry> mHandlers;
    double mNowMs = 0.0;
    long mFirings = 0;
};

HostRunLoop::Platform::~Platform()
{
    for (auto& t : mTimers)
        t.handler->release();
    for (auto& h : mHandlers)
        h.handler->release();
}

tresult PLUGIN_API HostRunLoop::Platform::registerEventHandler(Linux::IEventHandler* handler,
                                                               Linux::FileDescriptor fd)
{
    if (!handler || fd < 0)
        return kInvalidArgument;
    handler->addRef();
    mHandlers.push_back({handler, fd});
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::Platform::unregisterEventHandler(Linux::IEventHandler* handler)
{
    bool found = false;
    for (auto it = mHandlers.begin(); it != mHandlers.end();)
    {
        if (it->handler == handler)
        {
            it->handler->release();
            it = mHandlers.erase(it);
            found = true;
        }
        else
        {
            ++it;
        }
    }
    return found ? kResultTrue : kInvalidArgument;
}

tresult PLUGIN_API HostRunLoop::Platform::registerTimer(Linux::ITimerHandler* handler,
                                                        Linux::TimerInterval ms)
{
    if (!handler || ms == 0)
        return kInvalidArgument;
    handler->addRef();
    const double interval = static_cast<double>(ms);
    mTimers.push_back({handler, interval, mNowMs + interval});
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::Platform::unregisterTimer(Linux::ITimerHandler* handler)
{
    for (auto it = mTimers.begin(); it != mTimers.end(); ++it)
    {
        if (it->handler == handler)
        {
            it->handler->release();
            mTimers.erase(it);
            return kResultTrue;
        }
    }
    return kInvalidArgument;
}

tresult PLUGIN_API HostRunLoop::Platform::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IRunLoop)
    *obj = nullptr;
    return kNoInterface;
}

void HostRunLoop::Platform::Advance(double ms, bool catchUp)
{
    const double end = mNowMs + ms;
    for (;;)
    {
        // The earliest due timer; a handler may (un)register others while it
        // runs, so look it up afresh every time.
        auto next = std::min_element(mTimers.begin(), mTimers.end(),
                                     [](const TimerEntry& a, const TimerEntry& b)
                                     { return a.dueMs < b.dueMs; });
        if (next == mTimers.end() || next->dueMs > end)
            break;
        mNowMs = std::max(mNowMs, next->dueMs);
        next->dueMs += next->intervalMs;
        if (!catchUp)
            next->dueMs = std::max(next->dueMs, end + next->intervalMs);
        Linux::ITimerHandler* handler = next->handler;
        handler->addRef();
        handler->onTimer();
        handler->release();
        ++mFirings;
    }
    mNowMs = end;
    PollHandlers();
}

void HostRunLoop::Platform::PollHandlers()
{
    const auto handlers = mHandlers;
    for (const auto& h : handlers)
    {
        pollfd p{h.fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0)
        {
            const bool stillRegistered =
                std::any_of(mHandlers.begin(), mHandlers.end(),
                            [&](const HandlerEntry& e) { return e.handler == h.handler; });
            if (stillRegistered)
                h.handler->onFDIsSet(h.fd);
        }
    }
}

HostRunLoop::HostRunLoop() : mPlatform(std::make_unique<Platform>()) {}
HostRunLoop::~HostRunLoop() = default;

tresult HostRunLoop::Offer(const TUID iid, void** obj)
{
    if (!FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
        return kNoInterface;
    return mPlatform->queryInterface(iid, obj);
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
    return mPlatform->EventHandlerCount();
}
long HostRunLoop::TimerFirings() const
{
    return mPlatform->TimerFirings();
}

} // namespace ostrel::host
