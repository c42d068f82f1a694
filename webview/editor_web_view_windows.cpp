// The editor's web view on Windows: a WebView2 control in a child window of
// our own inside the host's parent window. The browser environment is
// created once per process and shared by every editor. Without a runtime, or
// when creation fails, the child window says so in plain words instead of
// staying empty.
#include "webview/editor_web_view.h"

#include "webview/editor_page_location.h"
#include "webview/injected_scripts.h"
#include "webview/webview2_loader_windows.h"
#include "webview/webview2_objects_windows.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <cmath>
#include <deque>
#include <memory>
#include <string>

namespace plugfw
{

namespace
{

constexpr wchar_t kAreaClass[] = L"OstrelEditorArea";
// Under a top-level domain reserved for examples: it resolves nowhere else.
constexpr wchar_t kVirtualHost[] = L"ostrel-editor.example";
constexpr wchar_t kNoRuntimeText[] =
    L"This editor needs the Microsoft Edge WebView2 Runtime.\r\n\r\n"
    L"Get it free from Microsoft at https://developer.microsoft.com/microsoft-edge/webview2/ "
    L"(\"Evergreen Standalone Installer\"), install it, then close and reopen this editor.\r\n\r\n"
    L"The plug-in itself works without it.";

// The environment every editor of the process shares, kept for the life of
// the process once created. Main thread only.
wv2::ICoreWebView2Environment* gSharedEnvironment = nullptr;

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

LRESULT CALLBACK AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
        const int length = GetWindowTextLengthW(window);
        if (length > 0)
        {
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
            InflateRect(&area, -24, -24);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                      DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateArea(HWND parent, int width, int height)
{
    static const ATOM atom = []
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = AreaProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kAreaClass;
        return RegisterClassExW(&windowClass);
    }();
    if (atom == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return CreateWindowExW(0, kAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                           height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class WebView2Backend final : public WebViewBackend
{
public:
    WebView2Backend(IWebView& owner, HWND area) : mOwner(owner), mArea(area) {}
    ~WebView2Backend() override;

    void Start();

    void EvaluateScript(const std::string& utf8Script) override;
    void TakeFocus() override;
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

    void Fail();
    void CreateController(wv2::ICoreWebView2Environment* environment);
    void ControllerCreated(wv2::ICoreWebView2Controller* controller);
    void Navigate();
    void ApplyBounds();

    IWebView& mOwner;
    HWND mArea;
    // Callbacks that arrive after this back end is gone find the flag false.
    std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
    wv2::ICoreWebView2Environment* mEnvironment = nullptr;
    wv2::ICoreWebView2Controller* mController = nullptr;
    wv2::ICoreWebView2* mWebView = nullptr;
    std::string mPagePath;
    RECT mBounds{};
    std::deque<std::pair<Event, std::string>> mEvents;
};

WebView2Backend::~WebView2Backend()
{
    *mAlive = false;
    if (mController)
        mController->Close();
    ReleaseAndClear(mWebView);
    ReleaseAndClear(mController);
    ReleaseAndClear(mEnvironment);
    DestroyWindow(mArea);
}

void WebView2Backend::Fail()
{
    SetWindowTextW(mArea, kNoRuntimeText);
    InvalidateRect(mArea, nullptr, TRUE);
}

void WebView2Backend::Start()
{
    // WebView2 lives in a single-threaded apartment; a host's main thread
    // usually is one already (then this only counts a use).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (com == RPC_E_CHANGED_MODE)
    {
        Fail();
        return;
    }
    if (gSharedEnvironment)
    {
        CreateController(gSharedEnvironment);
        return;
    }
    wchar_t appData[MAX_PATH] = {};
    std::wstring userData;
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) == S_OK)
        userData = std::wstring(appData) + L"\\Talmesh\\WebViewCache";

    std::weak_ptr<bool> alive = mAlive;
    auto* handler = wv2::EnvironmentCompleted::Make(
        [this, alive](HRESULT result, wv2::ICoreWebView2Environment* environment)
        {
            if (SUCCEEDED(result) && environment)
            {
                environment->AddRef();
                ReleaseAndClear(gSharedEnvironment);
                gSharedEnvironment = environment;
            }
            const auto flag = alive.lock();
            if (!flag || !*flag)
                return S_OK;
            if (FAILED(result) || !environment)
                Fail();
            else
                CreateController(environment);
            return S_OK;
        });
    auto* options = wv2::EnvironmentOptions::Make();
    HRESULT started = CreateWebView2Environment(userData, options, handler);
    if (FAILED(started) && started != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        started = CreateWebView2Environment(userData, nullptr, handler);
    options->Release();
    handler->Release();
    if (FAILED(started))
        Fail();
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
                return S_OK;
            if (FAILED(result) || !controller)
                Fail();
            else
                ControllerCreated(controller);
            return S_OK;
        });
    if (FAILED(environment->CreateCoreWebView2Controller(mArea, handler)))
        Fail();
    handler->Release();
}

void WebView2Backend::ControllerCreated(wv2::ICoreWebView2Controller* controller)
{
    controller->AddRef();
    mController = controller;
    if (FAILED(controller->get_CoreWebView2(&mWebView)) || !mWebView)
    {
        Fail();
        return;
    }
    controller->put_IsVisible(TRUE);
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
    for (std::string_view script : kInjectedScripts)
    {
        auto* added = wv2::AddScriptCompleted::Make({});
        mWebView->AddScriptToExecuteOnDocumentCreated(Wide(std::string(script)).c_str(), added);
        added->Release();
    }

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
                mEvents.emplace_back(Event::ContentLoaded, std::string());
            return S_OK;
        });
    mWebView->add_NavigationCompleted(completed, &token);
    completed->Release();

    auto* newWindow = wv2::NewWindowRequested::Make(
        [this](wv2::ICoreWebView2*, wv2::ICoreWebView2NewWindowRequestedEventArgs* args)
        {
            // Web links for a new window open in the user's browser when
            // online; otherwise the web view does what it does by default.
            // Only http and https go to the shell: "open" on a file or
            // another scheme from a page would start programs.
            LPWSTR uri = nullptr;
            DWORD flags = 0;
            if (FAILED(args->get_Uri(&uri)) || !uri)
                return S_OK;
            const std::wstring address(uri);
            CoTaskMemFree(uri);
            const bool web =
                address.rfind(L"https://", 0) == 0 || address.rfind(L"http://", 0) == 0;
            if (web && InternetGetConnectedState(&flags, 0) &&
                reinterpret_cast<INT_PTR>(ShellExecuteW(GetParent(mArea), L"open", address.c_str(),
                                                        nullptr, nullptr, SW_SHOWNORMAL)) > 32)
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

    ApplyBounds();
    mEvents.emplace_back(Event::Ready, std::string());
    Navigate();
}

void WebView2Backend::Navigate()
{
    if (!mWebView || mPagePath.empty())
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
    mWebView->Navigate(address.c_str());
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
    if (mController)
        mController->MoveFocus(wv2::kMoveFocusProgrammatic);
}

void WebView2Backend::LoadFile(const std::string& utf8Path)
{
    mPagePath = utf8Path;
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
    SetWindowPos(mArea, nullptr, mBounds.left, mBounds.top, mBounds.right - mBounds.left,
                 mBounds.bottom - mBounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (mController)
        mController->SetBoundsAndZoomFactor(
            RECT{0, 0, mBounds.right - mBounds.left, mBounds.bottom - mBounds.top}, 1.0);
}

void WebView2Backend::Poll()
{
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
}

} // namespace

bool OpenEditorWebView(IWebView& view, void* parent, int width, int height, float /*scale*/)
{
    HWND parentWindow = static_cast<HWND>(parent);
    if (!parentWindow || !IsWindow(parentWindow))
        return false;
    HWND area = CreateArea(parentWindow, width, height);
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

} // namespace plugfw
