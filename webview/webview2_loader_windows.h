// Finding the installed WebView2 runtime and asking it for a browser
// environment, in place of Microsoft's loader library (not available to this
// build). Honours the same overrides: the environment variables
// WEBVIEW2_BROWSER_EXECUTABLE_FOLDER, WEBVIEW2_USER_DATA_FOLDER,
// WEBVIEW2_RELEASE_CHANNELS, WEBVIEW2_CHANNEL_SEARCH_KIND and
// WEBVIEW2_RELEASE_CHANNEL_PREFERENCE, then the group policies of the same
// meaning under Software\Policies\Microsoft\Edge\WebView2 (machine, then
// user; value named after the host's executable, then "*").
#pragma once

#include "webview/webview2_com_windows.h"

#include <string>

namespace plugfw
{

struct WebView2Runtime
{
    // S_OK when `dll` is the runtime's EmbeddedBrowserWebView.dll.
    HRESULT status = E_FAIL;
    std::wstring dll;
    // 0: an installed runtime found through the registry; 1: a fixed
    // version from a browser executable folder.
    int kind = 0;
    // After the overrides; empty: the runtime's default.
    std::wstring userDataFolder;
};

// The runtime an environment would be created with.
WebView2Runtime FindWebView2Runtime(const std::wstring& userDataFolder);

// How far CreateWebView2Environment got, and with what.
struct WebView2Attempt
{
    enum class Step
    {
        FindRuntime,
        DataFolder,
        LoadRuntime,
        Create,
    };
    Step step = Step::FindRuntime;
    WebView2Runtime runtime;
};

// Starts creating an environment on this thread (a single-threaded
// apartment with a message loop); the result arrives in `handler`. An error
// returned here means the handler is never called. The user data folder
// (after the overrides) is created first and must be writable.
HRESULT
CreateWebView2Environment(const std::wstring& userDataFolder,
                          wv2::ICoreWebView2EnvironmentOptions* options,
                          wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                          WebView2Attempt* attempt = nullptr);

// Where the editor keeps the runtime's data: the local (never roaming, which
// may sit on a network drive) application-data folder, else the temporary
// folder; never the host's own folder, which is often not writable.
std::wstring EditorWebViewDataFolder();
// The same choice from the two folders (either may be empty).
std::wstring EditorWebViewDataFolder(const std::wstring& localAppData, const std::wstring& temp);

// Creates `folder` with its parents and proves it writable; S_OK or the
// error that stops it.
HRESULT PrepareDataFolder(const std::wstring& folder);

} // namespace plugfw
