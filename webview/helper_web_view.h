// The Linux editor's web view: a helper browser process inside the host's
// X11 parent window, attached to the IWebView as its back end. If the helper
// cannot start, nothing is attached and the editor area stays empty.
#pragma once

#include "framework/iweb_view.h"

#include <string>

namespace plugfw
{

// The helper executable's file name, installed beside the module.
inline constexpr const char* kWebViewHelperName = "ostrel-webview";

struct EditorWebViewSettings
{
    std::string helperPath;
    // The page is looked for relative to this folder.
    std::string moduleFolder;
    // The host's parent window (an X11 window id).
    unsigned long parentWindow = 0;
    // The editor's size in logical pixels and the host's content scale.
    int width = 0;
    int height = 0;
    float scale = 1.0f;
};

// True when the helper started and is now the view's back end.
bool OpenHelperWebView(IWebView& view, const EditorWebViewSettings& settings);

} // namespace plugfw
