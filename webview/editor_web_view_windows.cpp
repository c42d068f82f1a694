// The editor's web view on Windows.
#include "webview/editor_web_view.h"

namespace plugfw
{

bool OpenEditorWebView(IWebView& /*view*/, void* /*parent*/, int /*width*/, int /*height*/,
                       float /*scale*/)
{
    return false;
}

void TidyClosedEditorWebViews() {}

} // namespace plugfw
