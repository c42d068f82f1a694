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
    return std::move(mBackend);
}

void IWebView::EvaluateScript(const char* utf8Script)
{
    if (mBackend && utf8Script != nullptr)
        mBackend->EvaluateScript(utf8Script);
}

void IWebView::EvaluateScript(const std::string& utf8Script)
{
    if (mBackend)
        mBackend->EvaluateScript(utf8Script);
}

void IWebView::FocusWebView()
{
    if (mBackend)
        mBackend->TakeFocus();
}

void IWebView::ReleaseWebViewFocus()
{
    if (mBackend)
        mBackend->ReleaseFocus();
}

void IWebView::LoadFile(const std::string& utf8Path)
{
    if (mBackend)
        mBackend->LoadFile(utf8Path);
}

void IWebView::SetWebViewBounds(int x, int y, int width, int height)
{
    if (mBackend)
        mBackend->SetBounds(x, y, width, height);
}

void IWebView::SetWebViewScale(float scale)
{
    if (mBackend)
        mBackend->SetScale(scale);
}

void IWebView::PollWebView()
{
    if (mBackend)
        mBackend->Poll();
}

} // namespace plugfw
