// The editor's web view on Linux: the helper process (helper_web_view.h).
#include "webview/editor_web_view.h"

#include "webview/editor_page_location.h"
#include "webview/helper_connection.h"
#include "webview/helper_web_view.h"
#include "webview/helper_web_view_backend.h"
#include "webview/injected_scripts.h"

#include <cstdint>
#include <memory>

namespace plugfw
{

bool OpenHelperWebView(IWebView& view, const EditorWebViewSettings& settings)
{
    // Whatever an earlier editor left behind is collected first.
    ReapClosedWebViewHelpers();
    if (settings.helperPath.empty() || settings.parentWindow == 0)
        return false;
    std::unique_ptr<HelperConnection> connection =
        StartWebViewHelper(settings.helperPath, settings.parentWindow);
    if (!connection)
        return false;

    auto backend = std::make_unique<HelperWebViewBackend>(view, std::move(connection));
    // The stream keeps the order: the scripts are in place before the page
    // starts loading.
    for (std::string_view script : kInjectedScripts)
        backend->AddDocumentStartScript(std::string(script));
    backend->SetScale(settings.scale);
    backend->SetBounds(0, 0, settings.width, settings.height);
    backend->LoadFile(FindEditorPage(settings.moduleFolder));
    view.AttachWebViewBackend(std::move(backend));
    return true;
}

bool OpenEditorWebView(IWebView& view, void* parent, int width, int height, float scale)
{
    EditorWebViewSettings settings;
    settings.moduleFolder = WebViewModuleFolder();
    if (settings.moduleFolder.empty())
        return false;
    settings.helperPath = settings.moduleFolder + "/" + kWebViewHelperName;
    settings.parentWindow = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
    settings.width = width;
    settings.height = height;
    settings.scale = scale;
    return OpenHelperWebView(view, settings);
}

void TidyClosedEditorWebViews()
{
    ReapClosedWebViewHelpers();
}

void ReleaseEditorWebViewsAtModuleExit() {}

} // namespace plugfw
