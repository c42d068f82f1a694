#include "vst3/vst3_view.h"

#include "vst3/editor_platform_type.h"
#include "vst3/key_press_conversion.h"
#include "vst3/vst3_plugin.h"

#include <algorithm>
#include <cstring>

namespace plugfw
{

using namespace Steinberg;

Vst3View::Vst3View(Vst3Plugin& owner) : mOwner(&owner)
{
    // The view keeps its plug-in alive, as hosts may release them in any order.
    mOwner->addRef();
    rect = ScaledSize();
}

Vst3View::~Vst3View()
{
    if (mOwner)
    {
        mOwner->ViewDestroyed(this);
        mOwner->release();
    }
}

ViewRect Vst3View::ScaledSize() const
{
    if (!mOwner)
        return ViewRect(0, 0, 0, 0);
    const auto w = static_cast<int32>(static_cast<float>(mOwner->EditorWidth()) * mScale + 0.5f);
    const auto h = static_cast<int32>(static_cast<float>(mOwner->EditorHeight()) * mScale + 0.5f);
    return ViewRect(0, 0, w, h);
}

tresult PLUGIN_API Vst3View::isPlatformTypeSupported(FIDString type)
{
    return type && std::strcmp(type, EditorPlatformType()) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3View::attached(void* parent, FIDString type)
{
    if (!mOwner || !mOwner->HasEditor() || isPlatformTypeSupported(type) != kResultTrue)
        return kResultFalse;
    std::lock_guard<std::recursive_mutex> lock(mOwner->MainThreadMutex());
    if (CPluginView::attached(parent, type) != kResultOk)
        return kResultFalse;
    // The frame may bring what drives the idle timer while the view is open.
    mOwner->IdleDriver().ViewAttached(plugFrame);
    mOwner->FlushDeferredHostCalls();
    mOwner->OpenEditorWindow(parent);
    return kResultTrue;
}

tresult PLUGIN_API Vst3View::removed()
{
    if (!mOwner)
        return CPluginView::removed();
    std::lock_guard<std::recursive_mutex> lock(mOwner->MainThreadMutex());
    if (mOwner->HasEditor())
        mOwner->CloseEditorWindow();
    mOwner->IdleDriver().ViewRemoved();
    mOwner->FlushDeferredHostCalls();
    return CPluginView::removed();
}

tresult PLUGIN_API Vst3View::setFrame(IPlugFrame* frame)
{
    CPluginView::setFrame(frame);
    if (mOwner && isAttached())
    {
        std::lock_guard<std::recursive_mutex> lock(mOwner->MainThreadMutex());
        mOwner->IdleDriver().ViewAttached(frame);
    }
    return kResultTrue;
}

tresult PLUGIN_API Vst3View::getSize(ViewRect* size)
{
    if (!size)
        return kInvalidArgument;
    *size = ScaledSize();
    return kResultTrue;
}

tresult PLUGIN_API Vst3View::onSize(ViewRect* newSize)
{
    if (!newSize)
        return kInvalidArgument;
    // The editor's size is fixed; a host confirming that size is answered
    // yes, any other size no.
    const ViewRect current = ScaledSize();
    if (newSize->getWidth() == current.getWidth() && newSize->getHeight() == current.getHeight())
    {
        rect = *newSize;
        return kResultTrue;
    }
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::canResize()
{
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::checkSizeConstraint(ViewRect* r)
{
    if (!r || !mOwner)
        return kInvalidArgument;
    const int32 w =
        std::clamp<int32>(r->getWidth(), mOwner->EditorMinWidth(), mOwner->EditorMaxWidth());
    const int32 h =
        std::clamp<int32>(r->getHeight(), mOwner->EditorMinHeight(), mOwner->EditorMaxHeight());
    r->right = r->left + w;
    r->bottom = r->top + h;
    return kResultTrue;
}

tresult Vst3View::ForwardKey(bool down, char16 key, int16 keyCode, int16 modifiers)
{
    if (!mOwner)
        return kResultFalse;
    std::lock_guard<std::recursive_mutex> lock(mOwner->MainThreadMutex());
    KeyPress press;
    if (mOwner->GetHost() == kHostReaper)
    {
        // This host sends every key to plug-in views first; only the space
        // bar (its transport key) is passed on.
        if (keyCode != kVst3KeySpace)
            return kResultFalse;
        press.keyCode = 32;
        press.utf8[0] = ' ';
    }
    else
    {
        press = KeyPressFromVst3(key, keyCode, modifiers);
    }
    const bool used = down ? mOwner->KeyDown(press) : mOwner->KeyUp(press);
    return used ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers)
{
    return ForwardKey(true, key, keyCode, modifiers);
}

tresult PLUGIN_API Vst3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers)
{
    return ForwardKey(false, key, keyCode, modifiers);
}

tresult PLUGIN_API Vst3View::setContentScaleFactor(ScaleFactor factor)
{
    if (!(factor > 0.0f))
        return kInvalidArgument;
    mScale = factor;
    if (!mOwner)
        return kResultTrue;
    std::lock_guard<std::recursive_mutex> lock(mOwner->MainThreadMutex());
    mOwner->SetEditorScale(factor);
    if (plugFrame)
    {
        ViewRect size = ScaledSize();
        plugFrame->resizeView(this, &size);
    }
    return kResultTrue;
}

} // namespace plugfw
