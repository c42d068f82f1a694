// The idle driver on Windows: the Timer's own SetTimer ticks on the host's
// main thread through its message loop, with or without a view, so the host
// need offer nothing.
#include "vst3/host_idle_driver.h"

namespace plugfw
{

namespace
{

class MessageLoopIdleDriver final : public HostIdleDriver
{
public:
    explicit MessageLoopIdleDriver(Timer& timer) : mTimer(timer) {}
    ~MessageLoopIdleDriver() override { Stop(); }

    void Initialize(Steinberg::FUnknown*, Steinberg::FUnknown*) override { mTimer.Start(); }
    void ViewAttached(Steinberg::IPlugFrame*) override {}
    void ViewRemoved() override {}
    void Stop() override { mTimer.Stop(); }

private:
    Timer& mTimer;
};

} // namespace

std::unique_ptr<HostIdleDriver> MakeHostIdleDriver(Timer& timer)
{
    return std::make_unique<MessageLoopIdleDriver>(timer);
}

} // namespace plugfw
