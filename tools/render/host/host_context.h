// The host side that plug-ins see through `initialize`: the host
// application (name, message and attribute-list objects) and, when offered,
// the host's run loop (host_run_loop.h), driven by the caller's clock.
#pragma once

#include "tools/render/host/host_run_loop.h"

#include "pluginterfaces/vst/ivsthostapplication.h"

#include <string>

namespace ostrel::host
{

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
