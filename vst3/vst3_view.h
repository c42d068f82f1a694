// plugfw::Vst3View: the editor view a host embeds, in a parent window of
// the platform's type (editor_platform_type.h); attaching opens the editor
// window (the web view host) inside it and tells the idle driver of the
// frame; removing closes it. A resizable editor takes any size of its
// design's proportions within its bounds (editor_size.h), asked for by the
// host or by the page through the host's frame; its size is scaled by the
// host's content scale.
#pragma once

#include "public.sdk/source/common/pluginview.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace plugfw
{

class Vst3Plugin;

class Vst3View : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport
{
public:
    explicit Vst3View(Vst3Plugin& owner);
    ~Vst3View() override;

    // The owner is being destroyed (a host released it before the view).
    void OwnerGone() { mOwner = nullptr; }
    float Scale() const { return mScale; }
    // Asks the host's frame for the allowed size nearest to a size in
    // logical pixels (the page's resize corner, a restored state); true
    // when the host took it.
    bool RequestSize(int logicalWidth, int logicalHeight);

    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API removed() SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                            Steinberg::int16 modifiers) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API canResize() SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) SMTG_OVERRIDE;

    // IPlugViewContentScaleSupport
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) SMTG_OVERRIDE;

    OBJ_METHODS(Vst3View, CPluginView)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::IPlugViewContentScaleSupport)
    END_DEFINE_INTERFACES(CPluginView)
    REFCOUNT_METHODS(CPluginView)

private:
    Steinberg::ViewRect ScaledSize() const;
    // View pixels of a length in logical pixels.
    Steinberg::int32 ScaledLength(int logical) const;
    // The allowed view size nearest to width x height (view pixels).
    Steinberg::ViewRect NearestSize(double width, double height) const;
    Steinberg::tresult ForwardKey(bool down, Steinberg::char16 key, Steinberg::int16 keyCode,
                                  Steinberg::int16 modifiers);

    Vst3Plugin* mOwner;
    float mScale = 1.0f;
};

} // namespace plugfw
