#include "webview/helper/page_window.h"

#include "webview/page_address.h"

#include <fcntl.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace ostrel_webview
{

namespace proto = plugfw::helper_protocol;

namespace
{

// The page posts objects; the plug-in expects their JSON text, as the
// platform browsers on other systems deliver it.
constexpr const char* kPostMessageShim =
    "(function () {"
    " var post = function (m) {"
    "  window.webkit.messageHandlers.ostrel.postMessage(JSON.stringify(m));"
    " };"
    " window.chrome = window.chrome || {};"
    " window.chrome.webview = window.chrome.webview || {};"
    " window.chrome.webview.postMessage = post;"
    "})();";

// How often the parent window's size and existence are checked (its
// ConfigureNotify events bring a resize at once).
constexpr guint kParentCheckMs = 250;

// The page's own background (style.css): what shows from the first frame,
// before the page has painted anything, so opening never flashes white.
constexpr guint8 kBackgroundRed = 0x14;
constexpr guint8 kBackgroundGreen = 0x16;
constexpr guint8 kBackgroundBlue = 0x1b;
constexpr const char* kBackgroundCss = "window, plug { background-color: #14161b; }";

void AddDocumentStartScript(WebKitUserContentManager* scripts, const char* source)
{
    WebKitUserScript* script =
        webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(scripts, script);
    webkit_user_script_unref(script);
}

// xdg-open, without a shell, its output discarded; GLib reaps it.
void OpenExternally(const std::string& address)
{
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    std::string program = "xdg-open";
    std::string argument = address;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ) == 0 && pid > 0)
        g_child_watch_add(
            pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
    posix_spawn_file_actions_destroy(&actions);
}

std::string ContentTypeWithCharset(const std::string& mime)
{
    if (mime.rfind("text/", 0) == 0 || mime == "application/json")
        return mime + "; charset=utf-8";
    return mime;
}

} // namespace

PageWindow::PageWindow(Window parent, PluginChannel& channel) : mParent(parent), mChannel(channel)
{
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display))
        return;
    mDisplay = GDK_DISPLAY_XDISPLAY(display);

    // The host may have closed the window already.
    XWindowAttributes attributes;
    gdk_x11_display_error_trap_push(display);
    const Status found = XGetWindowAttributes(mDisplay, mParent, &attributes);
    if (gdk_x11_display_error_trap_pop(display) != 0 || found == 0)
        return;

    mContext = webkit_web_context_new_ephemeral();
    webkit_web_context_register_uri_scheme(
        mContext, std::string(plugfw::kPageScheme).c_str(),
        [](WebKitURISchemeRequest* request, gpointer self) { OnPageRequest(request, self); }, this,
        nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(mContext);
    webkit_security_manager_register_uri_scheme_as_secure(security,
                                                          std::string(plugfw::kPageScheme).c_str());
    webkit_security_manager_register_uri_scheme_as_cors_enabled(
        security, std::string(plugfw::kPageScheme).c_str());
    g_signal_connect(mContext, "download-started", G_CALLBACK(OnDownloadStarted), this);

    mScripts = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(mScripts, "ostrel");
    g_signal_connect(mScripts, "script-message-received::ostrel", G_CALLBACK(OnScriptMessage),
                     this);
    AddDocumentStartScript(mScripts, kPostMessageShim);

    mWebView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", mContext,
                                            "user-content-manager", mScripts, nullptr));
    WebKitSettings* settings = webkit_web_view_get_settings(mWebView);
    webkit_settings_set_enable_javascript(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
    // Composited rendering inside a host's window buys nothing for a 2D page
    // and, where GL is emulated in software, cost six times the processor
    // time for the same meters.
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    g_signal_connect(mWebView, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(mWebView, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(mWebView, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(mWebView, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(mWebView, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(mWebView, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
    // The toolkit's tooltip windows for title attributes open outside the
    // host's window, at the wrong place and unpainted in an embedded view;
    // the page draws its own hints.
    g_signal_connect(mWebView, "query-tooltip", G_CALLBACK(OnQueryTooltip), nullptr);

    const GdkRGBA background{kBackgroundRed / 255.0, kBackgroundGreen / 255.0,
                             kBackgroundBlue / 255.0, 1.0};
    webkit_web_view_set_background_color(mWebView, &background);

    mPlug = gtk_plug_new(mParent);
    // The toolkit destroys the plug itself when the host destroys its window
    // first: from then on nothing of it may be touched.
    g_signal_connect(mPlug, "destroy", G_CALLBACK(OnPlugDestroyed), this);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kBackgroundCss, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(mPlug), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    gtk_container_add(GTK_CONTAINER(mPlug), GTK_WIDGET(mWebView));
    // The X server fills a newly mapped window with its background before
    // the toolkit draws anything.
    gtk_widget_realize(mPlug);
    if (GdkWindow* window = gtk_widget_get_window(mPlug))
        SetDarkXBackground(GDK_WINDOW_XID(window));
    // Sized to the host's window before it first shows: mapped at the
    // toolkit's default size, it would leave most of the host's window
    // unpainted for a frame or more.
    ApplyGeometry();
    // The keyboard stays with the host until a text field asks for it.
    SelectKeys(false);
    gtk_widget_show_all(mPlug);
    // Hosts do not all speak XEmbed: the plug maps itself inside the parent
    // (its _XEMBED_INFO already says mapped).
    if (GdkWindow* window = gtk_widget_get_window(mPlug))
    {
        gdk_x11_display_error_trap_push(display);
        XMapWindow(mDisplay, GDK_WINDOW_XID(window));
        gdk_x11_display_error_trap_pop_ignored(display);
    }
    // Once more now that it is shown, should showing have changed its size.
    mAppliedWidth = -1;
    mAppliedHeight = -1;
    ApplyGeometry();
    mParentCheck = g_timeout_add(kParentCheckMs, OnParentCheck, this);
    WatchParent();
    mChannel.Send(proto::kReady, {});
}

void PageWindow::SetDarkXBackground(Window window)
{
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(mDisplay, window, &attributes) != 0)
    {
        XColor color{};
        color.red = static_cast<unsigned short>(kBackgroundRed * 257);
        color.green = static_cast<unsigned short>(kBackgroundGreen * 257);
        color.blue = static_cast<unsigned short>(kBackgroundBlue * 257);
        color.flags = DoRed | DoGreen | DoBlue;
        if (XAllocColor(mDisplay, attributes.colormap, &color) != 0)
        {
            XSetWindowBackground(mDisplay, window, color.pixel);
            XClearWindow(mDisplay, window);
        }
    }
    gdk_x11_display_error_trap_pop_ignored(display);
}

void PageWindow::WatchParent()
{
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    mParentWindow = gdk_x11_window_foreign_new_for_display(display, mParent);
    if (gdk_x11_display_error_trap_pop(display) != 0 || mParentWindow == nullptr)
    {
        mParentWindow = nullptr;
        return;
    }
    gdk_window_set_events(
        mParentWindow,
        static_cast<GdkEventMask>(gdk_window_get_events(mParentWindow) | GDK_STRUCTURE_MASK));
    gdk_window_add_filter(mParentWindow, OnParentEvent, this);
}

GdkFilterReturn PageWindow::OnParentEvent(GdkXEvent* xevent, GdkEvent*, gpointer self)
{
    // The host resized its window: follow now, not at the next check.
    if (static_cast<XEvent*>(xevent)->type == ConfigureNotify)
        static_cast<PageWindow*>(self)->ApplyGeometry();
    return GDK_FILTER_CONTINUE;
}

PageWindow::~PageWindow()
{
    if (mParentCheck != 0)
        g_source_remove(mParentCheck);
    if (mParentWindow != nullptr)
    {
        gdk_window_remove_filter(mParentWindow, OnParentEvent, this);
        g_object_unref(mParentWindow);
    }
    for (auto& [id, pending] : mPending)
    {
        webkit_policy_decision_ignore(pending.decision);
        g_object_unref(pending.decision);
    }
    mPending.clear();
    if (mWebView != nullptr)
        g_signal_handlers_disconnect_by_data(mWebView, this);
    if (mPlug != nullptr)
        g_signal_handlers_disconnect_by_data(mPlug, this);
    if (mScripts != nullptr)
    {
        g_signal_handlers_disconnect_by_data(mScripts, this);
        g_object_unref(mScripts);
    }
    if (mContext != nullptr)
        g_signal_handlers_disconnect_by_data(mContext, this);
    if (mPlug != nullptr)
        gtk_widget_destroy(mPlug);
    if (mContext != nullptr)
        g_object_unref(mContext);
}

void PageWindow::HandleFrame(const plugfw::Frame& frame)
{
    if (mWebView == nullptr)
        return;
    switch (frame.kind)
    {
    case proto::kDocumentStartScript:
        AddDocumentStartScript(mScripts, frame.text.c_str());
        break;
    case proto::kLoadFile:
        LoadFile(frame.text);
        break;
    case proto::kRunScript:
        webkit_web_view_evaluate_javascript(mWebView, frame.text.data(),
                                            static_cast<gssize>(frame.text.size()), nullptr,
                                            nullptr, nullptr, nullptr, nullptr);
        break;
    case proto::kBounds:
        if (const auto b = proto::ParseBounds(frame.text))
        {
            mBounds = *b;
            ApplyGeometry();
        }
        break;
    case proto::kScale:
        if (const auto s = proto::ParseScale(frame.text))
        {
            mScale = *s;
            mAppliedWidth = -1;
            ApplyGeometry();
        }
        break;
    case proto::kFocus:
        TakeFocus();
        break;
    case proto::kReleaseFocus:
        ReleaseFocus();
        break;
    case proto::kAnswer:
        if (const auto a = proto::ParseAnswer(frame.text))
            Answer(*a);
        break;
    case proto::kClose:
        Quit();
        break;
    default:
        break;
    }
}

void PageWindow::Quit()
{
    // The host may close its window while this one is still being made,
    // before the main loop runs: quitting a loop that does not run is an
    // error of the toolkit's, so the loop is not started at all.
    if (gtk_main_level() > 0)
        gtk_main_quit();
    else
        mQuit = true;
}

void PageWindow::LoadFile(const std::string& path)
{
    const plugfw::PagePathParts parts = plugfw::SplitPagePath(path);
    mPageFolder = parts.folder;
    webkit_web_view_load_uri(mWebView, plugfw::PageAddress(parts.fileName).c_str());
}

void PageWindow::ApplyGeometry()
{
    if (mPlug == nullptr)
        return;
    GdkDisplay* display = gdk_display_get_default();
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    gdk_x11_display_error_trap_push(display);
    const Status ok =
        XGetGeometry(mDisplay, mParent, &root, &x, &y, &width, &height, &border, &depth);
    if (gdk_x11_display_error_trap_pop(display) != 0 || ok == 0)
    {
        // The host destroyed the editor's window without telling us.
        Quit();
        return;
    }
    int w = 0;
    int h = 0;
    if (width > 1 && height > 1)
    {
        // The parent's own area wins over the computed one.
        w = static_cast<int>(width);
        h = static_cast<int>(height);
    }
    else
    {
        const proto::PixelRect r = proto::ScaledPixelRect(mBounds, mScale);
        w = r.right - r.left;
        h = r.bottom - r.top;
    }
    if (w <= 0 || h <= 0 || (w == mAppliedWidth && h == mAppliedHeight))
        return;
    mAppliedWidth = w;
    mAppliedHeight = h;
    webkit_web_view_set_zoom_level(mWebView, mScale);
    gtk_window_resize(GTK_WINDOW(mPlug), w, h);
    if (GdkWindow* window = gtk_widget_get_window(mPlug))
    {
        gdk_x11_display_error_trap_push(display);
        XMoveResizeWindow(mDisplay, GDK_WINDOW_XID(window), 0, 0, static_cast<unsigned>(w),
                          static_cast<unsigned>(h));
        gdk_x11_display_error_trap_pop_ignored(display);
    }
}

void PageWindow::SelectKeys(bool on)
{
    GdkWindow* window = gtk_widget_get_window(mPlug);
    if (window == nullptr)
        return;
    // A window that does not select key events passes them on to its
    // ancestors: with the pointer over the editor, the keys then reach the
    // host's window, not the page.
    constexpr int kKeys = GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK;
    const int events = gdk_window_get_events(window);
    gdk_window_set_events(window, static_cast<GdkEventMask>(on ? events | kKeys : events & ~kKeys));
}

void PageWindow::TakeFocus()
{
    gtk_widget_grab_focus(GTK_WIDGET(mWebView));
    GdkWindow* window = gtk_widget_get_window(mPlug);
    if (window == nullptr)
        return;
    SelectKeys(true);
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(mDisplay, &focus, &revert);
    // Where the keyboard goes back to: the window that had it, unless that
    // is ours already.
    if (focus != GDK_WINDOW_XID(window))
        mFocusBefore = focus;
    XSetInputFocus(mDisplay, GDK_WINDOW_XID(window), RevertToParent, CurrentTime);
    gdk_x11_display_error_trap_pop_ignored(display);
}

void PageWindow::ReleaseFocus()
{
    GdkWindow* window = gtk_widget_get_window(mPlug);
    if (window == nullptr)
        return;
    SelectKeys(false);
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(mDisplay, &focus, &revert);
    if (focus == GDK_WINDOW_XID(window))
    {
        // The window that had it, if it is still there and shown; else the
        // host's window (PointerRoot or None is no window to give it to).
        Window back = mFocusBefore > PointerRoot ? mFocusBefore : mParent;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(mDisplay, back, &attributes) == 0 ||
            attributes.map_state != IsViewable)
            back = mParent;
        XSetInputFocus(mDisplay, back, RevertToParent, CurrentTime);
    }
    mFocusBefore = 0;
    gdk_x11_display_error_trap_pop_ignored(display);
}

void PageWindow::Ask(char kind, const std::string& subject, WebKitPolicyDecision* decision,
                     const std::string& address)
{
    const unsigned id = mNextQuestion++;
    g_object_ref(decision);
    mPending[id] = {kind, decision, address};
    mChannel.Send(kind, proto::QuestionText(id, subject));
}

void PageWindow::Answer(const proto::Answer& answer)
{
    const auto it = mPending.find(answer.id);
    if (it == mPending.end())
        return;
    const Pending pending = it->second;
    mPending.erase(it);
    if (!answer.yes)
        webkit_policy_decision_ignore(pending.decision);
    else if (pending.kind == proto::kDownloadQuestion)
    {
        mAllowedDownloads.insert(pending.address);
        webkit_policy_decision_download(pending.decision);
    }
    else
        webkit_policy_decision_use(pending.decision);
    g_object_unref(pending.decision);
}

gboolean PageWindow::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
    {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (webkit_response_policy_decision_is_mime_type_supported(response))
            return FALSE;
        WebKitURIResponse* r = webkit_response_policy_decision_get_response(response);
        const char* mime = webkit_uri_response_get_mime_type(r);
        const char* uri = webkit_uri_response_get_uri(r);
        window->Ask(proto::kDownloadQuestion, mime != nullptr ? mime : "", decision,
                    uri != nullptr ? uri : "");
        return TRUE;
    }

    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(navigation);
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string address = uri != nullptr ? uri : "";
    const bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    const bool userLink = webkit_navigation_action_get_navigation_type(action) ==
                              WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
                          webkit_navigation_action_is_user_gesture(action);
    switch (plugfw::JudgeNavigation(address, newWindow, userLink))
    {
    case plugfw::NavigationVerdict::kAskOwner:
        window->Ask(proto::kNavigationQuestion, address, decision);
        break;
    case plugfw::NavigationVerdict::kAllow:
        webkit_policy_decision_use(decision);
        break;
    case plugfw::NavigationVerdict::kOpenExternally:
        OpenExternally(address);
        webkit_policy_decision_ignore(decision);
        break;
    case plugfw::NavigationVerdict::kRefuse:
        webkit_policy_decision_ignore(decision);
        break;
    }
    return TRUE;
}

void PageWindow::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    if (event == WEBKIT_LOAD_STARTED)
        window->mLoadFailed = false;
    else if (event == WEBKIT_LOAD_FINISHED && !window->mLoadFailed)
        window->mChannel.Send(proto::kContentLoaded, {});
}

gboolean PageWindow::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self)
{
    static_cast<PageWindow*>(self)->mLoadFailed = true;
    return TRUE; // no error page: the editor area stays empty
}

gboolean PageWindow::OnQueryTooltip(GtkWidget* widget, gint, gint, gboolean, GtkTooltip*, gpointer)
{
    // The browser's own handler would still show the text.
    g_signal_stop_emission_by_name(widget, "query-tooltip");
    return FALSE;
}

gboolean PageWindow::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                   WebKitHitTestResult*, gpointer)
{
    return TRUE;
}

GtkWidget* PageWindow::OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer)
{
    return nullptr; // the page never gets a window of its own
}

void PageWindow::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                 gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (value == nullptr || !jsc_value_is_string(value))
        return;
    gchar* text = jsc_value_to_string(value);
    if (text != nullptr)
        window->mChannel.Send(proto::kPageMessage, text);
    g_free(text);
}

void PageWindow::OnPageRequest(WebKitURISchemeRequest* request, gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    const std::string prefix =
        std::string(plugfw::kPageScheme) + "://" + std::string(plugfw::kPageHost) + "/";
    std::optional<std::string> file;
    if (uri != nullptr && g_ascii_strncasecmp(uri, prefix.c_str(), prefix.size()) == 0)
    {
        const char* path = webkit_uri_scheme_request_get_path(request);
        file = plugfw::ResolvePageFile(window->mPageFolder, path != nullptr ? path : "");
    }
    gchar* contents = nullptr;
    gsize length = 0;
    if (!file || !g_file_get_contents(file->c_str(), &contents, &length, nullptr))
    {
        GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not found");
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    GBytes* bytes = g_bytes_new_take(contents, length);
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    const std::string type = ContentTypeWithCharset(plugfw::PageMimeType(*file));
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(length), type.c_str());
    g_object_unref(stream);
    g_bytes_unref(bytes);
}

void PageWindow::OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    const char* uri = webkit_uri_request_get_uri(webkit_download_get_request(download));
    // Only what the plug-in allowed; every other download (a link with a
    // download attribute, a script) is cancelled before it writes anything.
    if (uri == nullptr || window->mAllowedDownloads.count(uri) == 0)
        webkit_download_cancel(download);
}

void PageWindow::OnPlugDestroyed(GtkWidget*, gpointer self)
{
    auto* window = static_cast<PageWindow*>(self);
    // The web view went with it.
    window->mPlug = nullptr;
    window->mWebView = nullptr;
    window->Quit();
}

gboolean PageWindow::OnParentCheck(gpointer self)
{
    static_cast<PageWindow*>(self)->ApplyGeometry();
    return G_SOURCE_CONTINUE;
}

void PageWindow::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                        gpointer self)
{
    // The page is gone; the plug-in sees the stream close and stays quiet.
    static_cast<PageWindow*>(self)->Quit();
}

} // namespace ostrel_webview
