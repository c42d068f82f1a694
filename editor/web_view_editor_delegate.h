// plugfw::WebViewEditorDelegate: the editor delegate whose page lives in a
// web view. It turns page messages into framework calls and formats the
// scripts that carry values and messages back to the page.
#pragma once

#include "framework/editor_delegate.h"
#include "webview/iweb_view.h"

namespace plugfw
{

class WebViewEditorDelegate : public IEditorDelegate, public IWebView
{
public:
    explicit WebViewEditorDelegate(int nParams) : IEditorDelegate(nParams) {}
};

} // namespace plugfw
