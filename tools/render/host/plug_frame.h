// The host's frame around a plug-in view: accepts resize requests and, like
// every Linux host, offers its run loop while the view is attached.
#pragma once

#include "tools/render/host/host_context.h"

#include "pluginterfaces/gui/iplugview.h"

namespace ostrel::host
{

class PlugFrame : public Steinberg::IPlugFrame
{
public:
    explicit PlugFrame(bool offerRunLoop = true) : mOfferRunLoop(offerRunLoop) {}
    virtual ~PlugFrame() = default;

    Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view,
                                             Steinberg::ViewRect* newSize) override
    {
        if (!view || !newSize)
            return Steinberg::kInvalidArgument;
        ++resizeRequests;
        lastRequest = *newSize;
        return view->onSize(newSize) == Steinberg::kResultTrue ? Steinberg::kResultTrue
                                                               : Steinberg::kResultFalse;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override
    {
        QUERY_INTERFACE(iid, obj, Steinberg::IPlugFrame::iid, Steinberg::IPlugFrame)
        QUERY_INTERFACE(iid, obj, Steinberg::FUnknown::iid, Steinberg::IPlugFrame)
        if (mOfferRunLoop && mRunLoop.Offer(iid, obj) == Steinberg::kResultOk)
            return Steinberg::kResultOk;
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

    HostRunLoop& RunLoop() { return mRunLoop; }

    int resizeRequests = 0;
    Steinberg::ViewRect lastRequest{};

private:
    bool mOfferRunLoop;
    HostRunLoop mRunLoop;
};

} // namespace ostrel::host
