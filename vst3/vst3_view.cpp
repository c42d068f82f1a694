#include "vst3/vst3_view.h"

#include "framework/editor_size.h"
#include "vst3/editor_platform_type.h"
#include "vst3/key_press_conversion.h"
#include "vst3/vst3_plugin.h"

#include <algorithm>
#include <cmath>
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

int32 Vst3View::ScaledLength(int logical) const
{
    return static_cast<int32>(static_cast<float>(logical) * mScale + 0.5f);
}

ViewRect Vst3View::NearestSize(double width, double height) const
{
    if (!mOwner)
        return ViewRect(0, 0, 0, 0);
    const EditorSize size = NearestEditorSize(
        {mOwner->EditorDesignWidth(), mOwner->EditorDesignHeight(), mOwner->EditorMinWidth(),
         mOwner->EditorMaxWidth(), mOwner->EditorMinHeight(), mOwner->EditorMaxHeight()},
        width, height, mScale);
    return ViewRect(0, 0, ScaledLength(size.width), ScaledLength(size.height));
}

ViewRect Vst3View::ScaledSize() const
{
    if (!mOwner)
        return ViewRect(0, 0, 0, 0);
    return ViewRect(0, 0, ScaledLength(mOwner->EditorWidth()),
                    ScaledLength(mOwner->EditorHeight()));
}

tresult PLUGIN_API Vst3View::isPlatformTypeSupported(FIDString type)
{
    return type && std::strcmp(type, EditorPlatformType()) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3View::attached(void* parent, FIDString type)
{
    if (!mOwner || !mOwner->HasEditor() || isPlatformTypeSupported(type) != kResultTrue)
        return kResultFalse;
    const auto lock = mOwner->EnterFromHost(HostThread::Main, "attached");
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
    const auto lock = mOwner->EnterFromHost(HostThread::Main, "removed");
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
        const auto lock = mOwner->EnterFromHost(HostThread::Main, "setFrame");
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
    const ViewRect current = ScaledSize();
    const bool same =
        newSize->getWidth() == current.getWidth() && newSize->getHeight() == current.getHeight();
    if (!mOwner || (!same && !mOwner->HostCanResizeEditor()))
        return same ? kResultTrue : kResultFalse;
    const auto lock = mOwner->EnterFromHost(HostThread::Main, "onSize");
    // A size the constraint would change (a host that did not ask) becomes
    // the nearest allowed one: the view is at the size getSize and the state
    // report, never at another.
    const ViewRect allowed = NearestSize(newSize->getWidth(), newSize->getHeight());
    rect = *newSize;
    rect.right = rect.left + allowed.getWidth();
    rect.bottom = rect.top + allowed.getHeight();
    if (!same)
        mOwner->SetEditorSize(static_cast<int>(std::lround(allowed.getWidth() / mScale)),
                              static_cast<int>(std::lround(allowed.getHeight() / mScale)));
    mOwner->EditorViewResized(static_cast<float>(allowed.getWidth()) / mScale,
                              static_cast<float>(allowed.getHeight()) / mScale);
    return kResultTrue;
}

tresult PLUGIN_API Vst3View::canResize()
{
    return mOwner && mOwner->HostCanResizeEditor() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3View::checkSizeConstraint(ViewRect* r)
{
    if (!r || !mOwner)
        return kInvalidArgument;
    ViewRect allowed;
    if (mOwner->HostCanResizeEditor())
        allowed = NearestSize(r->getWidth(), r->getHeight());
    else
        allowed = ScaledSize();
    r->right = r->left + allowed.getWidth();
    r->bottom = r->top + allowed.getHeight();
    return kResultTrue;
}

bool Vst3View::RequestSize(int logicalWidth, int logicalHeight)
{
    if (!mOwner || !mOwner->HostCanResizeEditor() || !plugFrame)
        return false;
    ViewRect wanted = NearestSize(logicalWidth * static_cast<double>(mScale),
                                  logicalHeight * static_cast<double>(mScale));
    const ViewRect current = ScaledSize();
    if (wanted.getWidth() == current.getWidth() && wanted.getHeight() == current.getHeight() &&
        rect.getWidth() == current.getWidth() && rect.getHeight() == current.getHeight())
        return true;
    // Hosts answer by calling onSize, during this call or later.
    return plugFrame->resizeView(this, &wanted) == kResultTrue;
}

tresult Vst3View::ForwardKey(bool down, char16 key, int16 keyCode, int16 modifiers)
{
    if (!mOwner)
        return kResultFalse;
    const auto lock = mOwner->EnterFromHost(HostThread::Main, "onKey");
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
    const auto lock = mOwner->EnterFromHost(HostThread::Main, "setContentScaleFactor");
    mOwner->SetEditorScale(factor);
    if (plugFrame)
    {
        ViewRect size = ScaledSize();
        plugFrame->resizeView(this, &size);
    }
    return kResultTrue;
}

} // namespace plugfw
