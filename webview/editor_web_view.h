// Opening the editor's web view inside the host's parent window: the
// platform's browser gets the document-start scripts, the editor's bounds
// and scale and the page, and becomes the IWebView's back end
// (editor_web_view_<platform>.cpp). When it cannot be had, nothing is
// attached.
#pragma once

#include "framework/iweb_view.h"

namespace plugfw
{

// True when a back end was attached to `view`. `parent` is the host's window
// of the platform's type; the size is in logical pixels.
bool OpenEditorWebView(IWebView& view, void* parent, int width, int height, float scale);

// Collects what closed editors left behind (from the idle timer; never
// blocks).
void TidyClosedEditorWebViews();

// When the module's last user leaves (ExitDll): drops what the module's
// editors share, so that nothing of this load outlives it.
void ReleaseEditorWebViewsAtModuleExit();

} // namespace plugfw
