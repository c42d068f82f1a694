#include "framework/iweb_view.h"

namespace plugfw
{

IWebView::~IWebView() = default;

void IWebView::AttachWebViewBackend(std::unique_ptr<WebViewBackend> backend)
{
    mBackend = std::move(backend);
}

std::unique_ptr<WebViewBackend> IWebView::DetachWebViewBackend()
{
    SendHeld();
    return std::move(mBackend);
}

void IWebView::EvaluateScript(const char* utf8Script)
{
    if (utf8Script != nullptr)
        EvaluateScript(std::string(utf8Script));
}

void IWebView::EvaluateScript(const std::string& utf8Script)
{
    if (!mBackend)
        return;
    if (!mHolding)
    {
        mBackend->EvaluateScript(utf8Script);
        return;
    }
    // Each script is a complete statement list; a line break keeps a
    // script's last line comment from swallowing the next one.
    if (!mHeld.empty())
        mHeld += ";\n";
    mHeld += utf8Script;
}

void IWebView::SendHeldScripts()
{
    SendHeld();
    mHolding = false;
}

void IWebView::SendHeld()
{
    if (mHeld.empty())
        return;
    std::string held;
    held.swap(mHeld);
    if (mBackend)
        mBackend->EvaluateScript(held);
}

void IWebView::FocusWebView()
{
    SendHeld();
    if (mBackend)
        mBackend->TakeFocus();
}

void IWebView::ReleaseWebViewFocus()
{
    SendHeld();
    if (mBackend)
        mBackend->ReleaseFocus();
}

void IWebView::LoadFile(const std::string& utf8Path)
{
    SendHeld();
    if (mBackend)
        mBackend->LoadFile(utf8Path);
}

void IWebView::SetWebViewBounds(int x, int y, int width, int height)
{
    SendHeld();
    if (mBackend)
        mBackend->SetBounds(x, y, width, height);
}

void IWebView::SetWebViewScale(float scale)
{
    SendHeld();
    if (mBackend)
        mBackend->SetScale(scale);
}

void IWebView::PollWebView()
{
    SendHeld();
    if (mBackend)
        mBackend->Poll();
}

} // namespace plugfw
