// The host side that plug-ins see through `initialize`: the host
// application (name, message and attribute-list objects) and, when offered,
// a Linux run loop. The run loop is driven by the caller's clock, not the
// wall clock: `Advance` fires every timer that has come due, so an offline
// render ticks its plug-ins every 20 ms of rendered audio, deterministically.
#pragma once

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <string>
#include <vector>

namespace ostrel::host
{

class HostRunLoop : public Steinberg::Linux::IRunLoop
{
public:
    HostRunLoop() = default;
    virtual ~HostRunLoop();

    Steinberg::tresult PLUGIN_API registerEventHandler(
        Steinberg::Linux::IEventHandler* handler, Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API
    unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval ms) override;
    Steinberg::tresult PLUGIN_API
    unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    // Lives as long as its owner; reference counts are not needed.
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

    // Moves the clock on by `ms` and fires what came due (timers in due
    // order; readable file descriptors once).
    void Advance(double ms);
    double NowMs() const { return mNowMs; }
    size_t TimerCount() const { return mTimers.size(); }
    size_t EventHandlerCount() const { return mHandlers.size(); }
    long TimerFirings() const { return mFirings; }

private:
    struct TimerEntry
    {
        Steinberg::Linux::ITimerHandler* handler;
        double intervalMs;
        double dueMs;
    };
    struct HandlerEntry
    {
        Steinberg::Linux::IEventHandler* handler;
        int fd;
    };

    void PollHandlers();

    std::vector<TimerEntry> mTimers;
    std::vector<HandlerEntry> mHandlers;
    double mNowMs = 0.0;
    long mFirings = 0;
};

class HostContext : public Steinberg::Vst::IHostApplication
{
public:
    // `offerRunLoop` false models hosts that give plug-ins no run loop.
    explicit HostContext(std::string name = "ostrel-render", bool offerRunLoop = true);
    virtual ~HostContext() = default;

    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                                 void** obj) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

    HostRunLoop& RunLoop() { return mRunLoop; }
    bool OffersRunLoop() const { return mOfferRunLoop; }

private:
    std::string mName;
    bool mOfferRunLoop;
    HostRunLoop mRunLoop;
};

// Copies UTF-8 text into a VST 3 UTF-16 string (ASCII and two-byte forms
// widened; longer sequences become '?').
void CopyToString128(const std::string& text, Steinberg::Vst::String128 out);
// Narrows a VST 3 UTF-16 string to UTF-8.
std::string FromString128(const Steinberg::Vst::TChar* text);

} // namespace ostrel::host
