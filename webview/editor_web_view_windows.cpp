// The editor's web view on Windows: a WebView2 control in a child window of
// our own inside the host's parent window. The browser environment is
// created once per module load and shared by every editor. When the web view
// cannot show the page, the child window says why in plain words instead of
// staying empty.
#include "webview/editor_web_view.h"

#include "webview/editor_area_windows.h"
#include "webview/editor_failure_windows.h"
#include "webview/editor_page_location.h"
#include "webview/injected_scripts.h"
#include "webview/webview2_loader_windows.h"
#include "webview/webview2_objects_windows.h"

#include <shellapi.h>

#include <cmath>
#include <deque>
#include <memory>
#include <string>

namespace plugfw
{

namespace
{

// Under a top-level domain reserved for examples: it resolves nowhere else.
constexpr wchar_t kVirtualHost[] = L"ostrel-editor.example";

// The environment every editor of this module load shares, and the count of
// module exits, so that a creation still pending at an exit does not keep
// its environment past it. Main thread only.
wv2::ICoreWebView2Environment* gSharedEnvironment = nullptr;
unsigned gModuleExits = 0;

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            size);
    return wide;
}

std::string Utf8(const wchar_t* wide)
{
    if (wide == nullptr || *wide == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 1 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// A string WebView2 allocated for us.
std::string TakeText(LPWSTR text)
{
    std::string utf8 = Utf8(text);
    CoTaskMemFree(text);
    return utf8;
}

template <typename T> void ReleaseAndClear(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

std::string ModuleFolderOfThisCode()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleFolderOfThisCode), &module))
        return {};
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring folder(path, length);
    folder.resize(folder.find_last_of(L"\\/"));
    return Utf8(folder.c_str());
}

float DpiScaleOf(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpi && window ? getDpi(window) : 96;
    return dpi == 0 || dpi == 96 ? 1.0f : static_cast<float>(dpi) / 96.0f;
}

class WebView2Backend final : public WebViewBackend
{
public:
    WebView2Backend(IWebView& owner, HWND area) : mOwner(owner), mArea(area) {}
    ~WebView2Backend() override;

    void Start();

    void EvaluateScript(const std::string& utf8Script) override;
    void TakeFocus() override;
    void ReleaseFocus() override;
    void LoadFile(const std::string& utf8Path) override;
    void SetBounds(int x, int y, int width, int height) override;
    void Poll() override;

private:
    enum class Event
    {
        Ready,
        ContentLoaded,
        Message,
    };

    void Fail(EditorFailure failure, HRESULT result, const std::wstring& detail = {});
    void RequestEnvironment(bool withOptions);
    void EnvironmentArrived(HRESULT result, wv2::ICoreWebView2Environment* environment,
                            bool withOptions);
    void CreateController(wv2::ICoreWebView2Environment* environment);
    void ControllerCreated(wv2::ICoreWebView2Controller* controller);
    void AddScripts();
    void Subscribe();
    void Navigate();
    void ApplyBounds();
    void FollowParent();
    bool KeyboardInBrowser() const;
    void NoteHostFocus();
    void GiveKeyboardBack();

    IWebView& mOwner;
    HWND mArea;
    // Callbacks that arrive after this back end is gone find the flag false.
    std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
    bool mComInitialized = false;
    bool mFailed = false;
    wv2::ICoreWebView2Environment* mEnvironment = nullptr;
    wv2::ICoreWebView2Controller* mController = nullptr;
    wv2::ICoreWebView2* mWebView = nullptr;
    std::wstring mDataFolder;
    std::string mPagePath;
    // Navigation waits until the runtime has confirmed every injected
    // script: a page that ran before its bridge existed would lose its edits.
    size_t mScriptsPending = 0;
    bool mScriptsInjected = false;
    bool mPageLoaded = false;
    RECT mBounds{};
    // The parent as last seen: its place on screen and its client size.
    RECT mParentOnScreen{};
    RECT mParentClient{};
    std::deque<std::pair<Event, std::string>> mEvents;
    // The keyboard. Windows gives the browser the focus at any click in it;
    // the page wants the keys only while one of its text fields is edited.
    // A click's focus goes back to the host's window once the page has had
    // the time to say that the click began an edit: its message comes
    // through the browser's process, a little after the focus.
    bool mKeysWanted = false;
    int mGiveBackInPolls = 0;
    HWND mHostFocus = nullptr; // the host's window that last had the keyboard
};

// Polls between a click's focus and its return: the page's message about the
// click arrives within one idle tick.
constexpr int kPollsBeforeGivingBack = 2;

WebView2Backend::~WebView2Backend()
{
    *mAlive = false;
    if (mController)
        mController->Close();
    ReleaseAndClear(mWebView);
    ReleaseAndClear(mController);
    ReleaseAndClear(mEnvironment);
    DestroyWindow(mArea);
    if (mComInitialized)
        CoUninitialize();
}

void WebView2Backend::Fail(EditorFailure failure, HRESULT result, const std::wstring& detail)
{
    if (mFailed)
        return; // the first cause is the one to fix
    mFailed = true;
    // The browser's window would cover the words.
    if (mController)
        mController->put_IsVisible(FALSE);
    ShowEditorAreaText(mArea, EditorFailureText(failure, result, detail));
}

void WebView2Backend::Start()
{
    if (mFailed)
        return;
    // WebView2 lives in a single-threaded apartment; a host's main thread
    // usually is one already (then this only counts a use, undone on close).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    mComInitialized = SUCCEEDED(com);
    if (FAILED(com))
    {
        Fail(com == RPC_E_CHANGED_MODE ? EditorFailure::Apartment : EditorFailure::RuntimeStart,
             com);
        return;
    }
    if (gSharedEnvironment)
    {
        CreateController(gSharedEnvironment);
        return;
    }
    mDataFolder = EditorWebViewDataFolder();
    if (mDataFolder.empty())
    {
        // Without a folder of ours the runtime would write beside the host's
        // program, in Program Files.
        Fail(EditorFailure::DataFolder, E_UNEXPECTED, L"(no local or temporary folder)");
        return;
    }
    RequestEnvironment(true);
}

void WebView2Backend::RequestEnvironment(bool withOptions)
{
    std::weak_ptr<bool> alive = mAlive;
    const unsigned exits = gModuleExits;
    auto* handler = wv2::EnvironmentCompleted::Make(
        [this, alive, exits, withOptions](HRESULT result,
                                          wv2::ICoreWebView2Environment* environment)
        {
            if (SUCCEEDED(result) && environment && exits == gModuleExits)
            {
                environment->AddRef();
                ReleaseAndClear(gSharedEnvironment);
                gSharedEnvironment = environment;
            }
            const auto flag = alive.lock();
            if (flag && *flag)
                EnvironmentArrived(result, environment, withOptions);
            return S_OK;
        });
    wv2::EnvironmentOptions* options = withOptions ? wv2::EnvironmentOptions::Make() : nullptr;
    WebView2Attempt attempt;
    HRESULT started = CreateWebView2Environment(mDataFolder, options, handler, &attempt);
    if (options)
        options->Release();
    handler->Release();
    if (SUCCEEDED(started))
        return;
    switch (attempt.step)
    {
    case WebView2Attempt::Step::FindRuntime:
        Fail(EditorFailure::NoRuntime, started);
        break;
    case WebView2Attempt::Step::DataFolder:
        Fail(EditorFailure::DataFolder, started, attempt.runtime.userDataFolder);
        break;
    case WebView2Attempt::Step::LoadRuntime:
        Fail(EditorFailure::RuntimeLoad, started, attempt.runtime.dll);
        break;
    case WebView2Attempt::Step::Create:
        // A runtime that does not take our options may still start without.
        if (withOptions)
            RequestEnvironment(false);
        else
            Fail(EditorFailure::RuntimeStart, started);
        break;
    }
}

void WebView2Backend::EnvironmentArrived(HRESULT result, wv2::ICoreWebView2Environment* environment,
                                         bool withOptions)
{
    if (SUCCEEDED(result) && environment)
    {
        CreateController(environment);
        return;
    }
    if (result == E_ACCESSDENIED || result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) ||
        result == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
        Fail(EditorFailure::DataFolder, result, mDataFolder);
    else if (withOptions)
        RequestEnvironment(false); // as for a failure at once
    else
        Fail(EditorFailure::RuntimeStart, FAILED(result) ? result : E_POINTER);
}

void WebView2Backend::CreateController(wv2::ICoreWebView2Environment* environment)
{
    environment->AddRef();
    ReleaseAndClear(mEnvironment);
    mEnvironment = environment;
    std::weak_ptr<bool> alive = mAlive;
    auto* handler = wv2::ControllerCompleted::Make(
        [this, alive](HRESULT result, wv2::ICoreWebView2Controller* controller)
        {
            const auto flag = alive.lock();
            if (!flag || !*flag)
            {
                // The editor closed meanwhile: its browser must not linger.
                if (SUCCEEDED(result) && controller)
                    controller->Close();
                return S_OK;
            }
            if (FAILED(result) || !controller)
                Fail(EditorFailure::Controller, FAILED(result) ? result : E_POINTER);
            else
                ControllerCreated(controller);
            return S_OK;
        });
    const HRESULT started = environment->CreateCoreWebView2Controller(mArea, handler);
    handler->Release();
    if (FAILED(started))
        Fail(EditorFailure::Controller, started);
}

void WebView2Backend::ControllerCreated(wv2::ICoreWebView2Controller* controller)
{
    controller->AddRef();
    mController = controller;
    const HRESULT got = controller->get_CoreWebView2(&mWebView);
    if (FAILED(got) || !mWebView)
    {
        Fail(EditorFailure::Controller, FAILED(got) ? got : E_POINTER);
        return;
    }
    controller->put_IsVisible(mFailed ? FALSE : TRUE);
    wv2::ICoreWebView2Settings* settings = nullptr;
    if (SUCCEEDED(mWebView->get_Settings(&settings)) && settings)
    {
        settings->put_IsScriptEnabled(TRUE);
        settings->put_AreDefaultScriptDialogsEnabled(TRUE);
        settings->put_IsWebMessageEnabled(TRUE);
        settings->put_AreDefaultContextMenusEnabled(mOwner.DeveloperToolsEnabled());
        settings->put_AreDevToolsEnabled(mOwner.DeveloperToolsEnabled());
        settings->Release();
    }
    Subscribe();
    std::weak_ptr<bool> alive = mAlive;
    auto* gotFocus = wv2::FocusChanged::Make(
        [this, alive](wv2::ICoreWebView2Controller*, IUnknown*)
        {
            const auto flag = alive.lock();
            if (flag && *flag && !mKeysWanted)
                mGiveBackInPolls = kPollsBeforeGivingBack;
            return S_OK;
        });
    wv2::Token token{};
    controller->add_GotFocus(gotFocus, &token);
    gotFocus->Release();
    // Tab past the page's last element (or Shift+Tab past its first): the
    // keys leave the page for the host's window, instead of going round the
    // page again.
    auto* tabbedOut = wv2::MoveFocusRequested::Make(
        [this, alive](wv2::ICoreWebView2Controller*,
                      wv2::ICoreWebView2MoveFocusRequestedEventArgs* args)
        {
            const auto flag = alive.lock();
            if (!flag || !*flag || args == nullptr)
                return S_OK;
            mKeysWanted = false;
            mGiveBackInPolls = 0;
            GiveKeyboardBack();
            args->put_Handled(TRUE);
            return S_OK;
        });
    controller->add_MoveFocusRequested(tabbedOut, &token);
    tabbedOut->Release();
    GetWindowRect(GetParent(mArea), &mParentOnScreen);
    GetClientRect(GetParent(mArea), &mParentClient);
    ApplyBounds();
    mEvents.emplace_back(Event::Ready, std::string());
    AddScripts();
}

void WebView2Backend::AddScripts()
{
    // Counted before the first call: a runtime may complete inside it.
    mScriptsPending = std::size(kInjectedScripts);
    std::weak_ptr<bool> alive = mAlive;
    for (std::string_view script : kInjectedScripts)
    {
        auto* added = wv2::AddScriptCompleted::Make(
            [this, alive](HRESULT result, LPCWSTR)
            {
                const auto flag = alive.lock();
                if (!flag || !*flag)
                    return S_OK;
                if (FAILED(result))
                    Fail(EditorFailure::Bridge, result);
                else if (mScriptsPending > 0 && --mScriptsPending == 0)
                {
                    mScriptsInjected = true;
                    Navigate();
                }
                return S_OK;
            });
        const HRESULT started =
            mWebView->AddScriptToExecuteOnDocumentCreated(Wide(std::string(script)).c_str(), added);
        added->Release();
        if (FAILED(started))
        {
            Fail(EditorFailure::Bridge, started);
            return;
        }
    }
}

void WebView2Backend::Subscribe()
{
    wv2::Token token{};
    auto* message = wv2::WebMessageReceived::Make(
        [this](wv2::ICoreWebView2*, wv2::ICoreWebView2WebMessageReceivedEventArgs* args)
        {
            LPWSTR json = nullptr;
            if (SUCCEEDED(args->get_WebMessageAsJson(&json)))
                mEvents.emplace_back(Event::Message, TakeText(json));
            return S_OK;
        });
    mWebView->add_WebMessageReceived(message, &token);
    message->Release();

    auto* starting = wv2::NavigationStarting::Make(
        [this](wv2::ICoreWebView2*, wv2::ICoreWebView2NavigationStartingEventArgs* args)
        {
            LPWSTR uri = nullptr;
            if (SUCCEEDED(args->get_Uri(&uri)) && !mOwner.OnCanNavigateToURL(TakeText(uri)))
                args->put_Cancel(TRUE);
            return S_OK;
        });
    mWebView->add_NavigationStarting(starting, &token);
    starting->Release();

    auto* completed = wv2::NavigationCompleted::Make(
        [this](wv2::ICoreWebView2*, wv2::ICoreWebView2NavigationCompletedEventArgs* args)
        {
            BOOL success = FALSE;
            if (SUCCEEDED(args->get_IsSuccess(&success)) && success)
            {
                mPageLoaded = true;
                mEvents.emplace_back(Event::ContentLoaded, std::string());
                return S_OK;
            }
            // Only the editor's own page failing leaves the editor dead; a
            // later navigation of the page's own is the page's business.
            if (!mPageLoaded)
            {
                int status = 0;
                args->get_WebErrorStatus(&status);
                Fail(EditorFailure::PageLoad, E_FAIL,
                     L"web error status " + std::to_wstring(status));
            }
            return S_OK;
        });
    mWebView->add_NavigationCompleted(completed, &token);
    completed->Release();

    auto* newWindow = wv2::NewWindowRequested::Make(
        [this](wv2::ICoreWebView2*, wv2::ICoreWebView2NewWindowRequestedEventArgs* args)
        {
            // Web links for a new window open in the user's browser. The
            // shell may run a modal loop, which no runtime event may do, so
            // it is asked from our own message once this handler has
            // returned. Only http and https go to the shell: "open" on a
            // file or another scheme from a page would start programs; the
            // rest is left to the web view.
            LPWSTR uri = nullptr;
            if (FAILED(args->get_Uri(&uri)) || !uri)
                return S_OK;
            const std::wstring address(uri);
            CoTaskMemFree(uri);
            const bool web =
                address.rfind(L"https://", 0) == 0 || address.rfind(L"http://", 0) == 0;
            const HWND owner = GetParent(mArea);
            if (web && PostToEditorArea(mArea,
                                        [address, owner] {
                                            ShellExecuteW(owner, L"open", address.c_str(), nullptr,
                                                          nullptr, SW_SHOWNORMAL);
                                        }))
                args->put_Handled(TRUE);
            return S_OK;
        });
    mWebView->add_NewWindowRequested(newWindow, &token);
    newWindow->Release();

    wv2::ICoreWebView2_4* webView4 = nullptr;
    if (SUCCEEDED(
            mWebView->QueryInterface(wv2::IID_WebView4, reinterpret_cast<void**>(&webView4))) &&
        webView4)
    {
        auto* download = wv2::DownloadStarting::Make(
            [this](wv2::ICoreWebView2*, wv2::ICoreWebView2DownloadStartingEventArgs* args)
            {
                args->put_Handled(TRUE); // no download interface of the web view's own
                std::string mimeType;
                wv2::ICoreWebView2DownloadOperation* operation = nullptr;
                if (SUCCEEDED(args->get_DownloadOperation(&operation)) && operation)
                {
                    LPWSTR type = nullptr;
                    if (SUCCEEDED(operation->get_MimeType(&type)))
                        mimeType = TakeText(type);
                    operation->Release();
                }
                if (!mOwner.OnCanDownloadMIMEType(mimeType))
                    args->put_Cancel(TRUE);
                return S_OK;
            });
        webView4->add_DownloadStarting(download, &token);
        download->Release();
        webView4->Release();
    }
}

void WebView2Backend::Navigate()
{
    if (!mWebView || !mScriptsInjected || mFailed || mPagePath.empty())
        return;
    const std::wstring path = Wide(mPagePath);
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    wv2::ICoreWebView2_3* webView3 = nullptr;
    if (SUCCEEDED(
            mWebView->QueryInterface(wv2::IID_WebView3, reinterpret_cast<void**>(&webView3))) &&
        webView3)
    {
        webView3->SetVirtualHostNameToFolderMapping(kVirtualHost, folder.c_str(),
                                                    wv2::kHostResourceAccessAllow);
        webView3->Release();
    }
    std::wstring address = std::wstring(L"https://") + kVirtualHost + L"/" + file;
    if (address.size() > 2048)
        address.resize(2048);
    mPageLoaded = false;
    const HRESULT started = mWebView->Navigate(address.c_str());
    if (FAILED(started))
        Fail(EditorFailure::PageLoad, started, address);
}

void WebView2Backend::EvaluateScript(const std::string& utf8Script)
{
    if (!mWebView)
        return; // before the web view exists scripts are dropped
    auto* done = wv2::ExecuteScriptCompleted::Make({});
    mWebView->ExecuteScript(Wide(utf8Script).c_str(), done);
    done->Release();
}

void WebView2Backend::TakeFocus()
{
    mKeysWanted = true;
    mGiveBackInPolls = 0;
    NoteHostFocus();
    if (mController)
        mController->MoveFocus(wv2::kMoveFocusProgrammatic);
}

void WebView2Backend::ReleaseFocus()
{
    mKeysWanted = false;
    mGiveBackInPolls = 0;
    GiveKeyboardBack();
}

bool WebView2Backend::KeyboardInBrowser() const
{
    // The browser's windows are children of the area, in another process
    // whose input is attached to this thread's.
    const HWND focus = GetFocus();
    return focus != nullptr && (focus == mArea || IsChild(mArea, focus));
}

void WebView2Backend::NoteHostFocus()
{
    const HWND focus = GetFocus();
    if (focus != nullptr && focus != mArea && !IsChild(mArea, focus))
        mHostFocus = focus;
}

void WebView2Backend::GiveKeyboardBack()
{
    // Only from the browser: a window of the host's that the user clicked
    // since keeps the keyboard.
    if (!KeyboardInBrowser())
        return;
    const HWND back = mHostFocus != nullptr && IsWindow(mHostFocus) ? mHostFocus : GetParent(mArea);
    SetFocus(back);
}

void WebView2Backend::LoadFile(const std::string& utf8Path)
{
    mPagePath = utf8Path;
    // A page missing from the bundle would only give a blank view.
    const DWORD attributes = GetFileAttributesW(Wide(utf8Path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        Fail(EditorFailure::PageMissing, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Wide(utf8Path));
        return;
    }
    Navigate();
}

void WebView2Backend::SetBounds(int x, int y, int width, int height)
{
    const float s = DpiScaleOf(GetParent(mArea));
    mBounds = RECT{static_cast<LONG>(std::ceil(static_cast<float>(x) * s)),
                   static_cast<LONG>(std::ceil(static_cast<float>(y) * s)),
                   static_cast<LONG>(std::ceil(static_cast<float>(x + width) * s)) + 1,
                   static_cast<LONG>(std::ceil(static_cast<float>(y + height) * s)) + 1};
    ApplyBounds();
}

void WebView2Backend::ApplyBounds()
{
    // The host's window decides when it has a size of its own.
    RECT parent{};
    if (GetClientRect(GetParent(mArea), &parent) && !IsRectEmpty(&parent))
        mBounds = parent;
    mParentClient = parent;
    SetWindowPos(mArea, nullptr, mBounds.left, mBounds.top, mBounds.right - mBounds.left,
                 mBounds.bottom - mBounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (mController)
        mController->SetBoundsAndZoomFactor(
            RECT{0, 0, mBounds.right - mBounds.left, mBounds.bottom - mBounds.top}, 1.0);
}

void WebView2Backend::FollowParent()
{
    // Hosts move and resize their windows without telling the plug-in: the
    // browser needs to know where it is on screen (for its popups and for
    // accessibility) and should fill a parent that changed size.
    const HWND parent = GetParent(mArea);
    RECT onScreen{};
    RECT client{};
    if (!mController || !GetWindowRect(parent, &onScreen) || !GetClientRect(parent, &client))
        return;
    if (onScreen.left != mParentOnScreen.left || onScreen.top != mParentOnScreen.top)
        mController->NotifyParentWindowPositionChanged();
    mParentOnScreen = onScreen;
    if (!EqualRect(&client, &mParentClient) && !IsRectEmpty(&client))
        ApplyBounds();
}

void WebView2Backend::Poll()
{
    FollowParent();
    NoteHostFocus();
    // Events reach the owner here, from the idle timer, like every other
    // main-thread call of the editor.
    while (!mEvents.empty())
    {
        auto [event, text] = std::move(mEvents.front());
        mEvents.pop_front();
        switch (event)
        {
        case Event::Ready:
            mOwner.OnWebViewReady();
            break;
        case Event::ContentLoaded:
            mOwner.OnWebContentLoaded();
            break;
        case Event::Message:
            mOwner.OnWebMessage(text);
            break;
        }
    }
    // A click that began no edit: the keys go back to the host, so its
    // transport and shortcut keys work again.
    if (mGiveBackInPolls > 0 && --mGiveBackInPolls == 0 && !mKeysWanted)
        GiveKeyboardBack();
}

} // namespace

bool OpenEditorWebView(IWebView& view, void* parent, int width, int height, float /*scale*/)
{
    HWND parentWindow = static_cast<HWND>(parent);
    if (!parentWindow || !IsWindow(parentWindow))
        return false;
    HWND area = CreateEditorArea(parentWindow, width, height);
    if (!area)
        return false;
    auto backend = std::make_unique<WebView2Backend>(view, area);
    WebView2Backend& started = *backend;
    backend->SetBounds(0, 0, width, height);
    backend->LoadFile(FindEditorPage(ModuleFolderOfThisCode()));
    view.AttachWebViewBackend(std::move(backend));
    started.Start();
    return true;
}

void TidyClosedEditorWebViews() {}

void ReleaseEditorWebViewsAtModuleExit()
{
    ++gModuleExits;
    ReleaseAndClear(gSharedEnvironment);
    UnregisterEditorAreaClass();
}

} // namespace plugfw
