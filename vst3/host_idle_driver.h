// What drives an instance's idle Timer from the host's side, on this
// platform (host_idle_driver_<platform>.cpp). The plug-in reports the points
// of its life that matter to it; the driver decides who ticks.
#pragma once

#include "framework/timer.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/gui/iplugview.h"

#include <memory>

namespace plugfw
{

class HostIdleDriver
{
public:
    virtual ~HostIdleDriver() = default;

    // At initialize: the context given to initialize and the factory's host
    // context (either may be nullptr). Starts the timer.
    virtual void Initialize(Steinberg::FUnknown* context, Steinberg::FUnknown* factoryContext) = 0;
    // A view is attached to `frame`, or an attached view got a new frame.
    virtual void ViewAttached(Steinberg::IPlugFrame* frame) = 0;
    virtual void ViewRemoved() = 0;
    // Stops the timer and lets go of every host object (terminate, release).
    virtual void Stop() = 0;
};

std::unique_ptr<HostIdleDriver> MakeHostIdleDriver(Timer& timer);

} // namespace plugfw
