// The helper's window: a GtkPlug inside the host's X11 window holding one
// WebKit view. It serves the page folder under the private scheme, injects
// the document-start scripts together with the postMessage shim, runs
// scripts, follows bounds and content scale, and reports to the plug-in.
#pragma once

#include "webview/helper/plugin_channel.h"
#include "webview/helper_protocol.h"

#include <X11/Xlib.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <map>
#include <set>
#include <string>

namespace ostrel_webview
{

class PageWindow
{
public:
    // Creates the window inside `parent`; Created() is false when the
    // parent does not exist (the host closed it already) or there is no X11
    // display.
    PageWindow(Window parent, PluginChannel& channel);
    ~PageWindow();

    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    bool Created() const { return mWebView != nullptr; }
    // Closed before the main loop started (the host's window went away).
    bool Quitting() const { return mQuit; }
    // Ends the main loop, or keeps it from starting.
    void Quit();
    void HandleFrame(const plugfw::Frame& frame);

private:
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType,
                                   gpointer self);
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                  WebKitHitTestResult*, gpointer);
    static gboolean OnQueryTooltip(GtkWidget*, gint, gint, gboolean, GtkTooltip*, gpointer);
    static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
    static void OnPageRequest(WebKitURISchemeRequest* request, gpointer self);
    static void OnDownloadStarted(WebKitWebContext*, WebKitDownload*, gpointer self);
    static gboolean OnParentCheck(gpointer self);
    static void OnPlugDestroyed(GtkWidget*, gpointer self);
    static GdkFilterReturn OnParentEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);
    static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                       gpointer self);

    void LoadFile(const std::string& path);
    // The page's dark colour as the X window's own background.
    void SetDarkXBackground(Window window);
    // Follows the parent's size changes as they happen.
    void WatchParent();
    void ApplyGeometry();
    // The keyboard: taken while the page edits a text field, else the
    // host's (the window then lets key events pass to the host's window).
    void TakeFocus();
    void ReleaseFocus();
    void SelectKeys(bool on);
    void Answer(const plugfw::helper_protocol::Answer& answer);
    // Sends a question; `address` is what a yes to a download allows.
    void Ask(char kind, const std::string& subject, WebKitPolicyDecision* decision,
             const std::string& address = {});

    Window mParent;
    Display* mDisplay = nullptr;
    PluginChannel& mChannel;
    GtkWidget* mPlug = nullptr;
    WebKitWebContext* mContext = nullptr;
    WebKitUserContentManager* mScripts = nullptr;
    WebKitWebView* mWebView = nullptr;
    std::string mPageFolder;
    bool mLoadFailed = false;
    plugfw::helper_protocol::Bounds mBounds{0, 0, 0, 0};
    float mScale = 1.0f;
    int mAppliedWidth = -1;
    int mAppliedHeight = -1;
    unsigned mParentCheck = 0;
    Window mFocusBefore = 0; // X focus when the page took the keyboard
    bool mQuit = false;
    GdkWindow* mParentWindow = nullptr; // the parent, watched for its resizes
    // Questions the plug-in has not answered yet, with their decisions.
    struct Pending
    {
        char kind;
        WebKitPolicyDecision* decision;
        std::string address;
    };
    std::map<unsigned, Pending> mPending;
    unsigned mNextQuestion = 1;
    // Download addresses the plug-in allowed.
    std::set<std::string> mAllowedDownloads;
};

} // namespace ostrel_webview
