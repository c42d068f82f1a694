// Stands in for the WebView2 runtime's EmbeddedBrowserWebView.dll: records
// what the loader and the editor pass to it (StandInRecordOf, StandInCalls)
// and answers like the runtime, from this thread's message loop and in the
// orders a real one may take. Environment variables choose its behaviour:
//   OSTREL_STAND_IN_ANSWER       "fail" (environment E_FAIL through the
//                                handler), "fail-with-options" (the same only
//                                when options are given), "refuse" (an error
//                                returned at once), else an environment
//   OSTREL_STAND_IN_ENVIRONMENT  "late": the environment 150 ms later (else
//                                at once, inside the call)
//   OSTREL_STAND_IN_CONTROLLER   "fail" (E_FAIL), "late" (300 ms), else next
//                                round of the message loop
//   OSTREL_STAND_IN_SCRIPTS      "fail" (E_FAIL), "late" (200 ms after being
//                                added), else next round
//   OSTREL_STAND_IN_PAGE         "fail": navigations fail (status 12)
// A controller lives, as the runtime's browser window does, until Close.
#include "tests/windows/runtime_stand_in/stand_in_record.h"
#include "webview/webview2_com_windows.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace
{

using namespace plugfw::wv2;

struct Call
{
    int count = 0;
    bool first = false;
    int kind = -1;
    std::wstring userDataFolder;
    bool nullFolder = true;
    bool hadOptions = false;
    BOOL singleSignOn = TRUE;
    std::wstring targetVersion;
};
Call gCall;
StandInRecord gRecord{};

std::wstring Setting(const wchar_t* name)
{
    wchar_t value[64] = {};
    GetEnvironmentVariableW(name, value, 64);
    return value;
}

// Work for later rounds of this thread's message loop.
std::map<UINT_PTR, std::function<void()>> gLater;

void CALLBACK RunLater(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    const auto found = gLater.find(id);
    if (found == gLater.end())
        return;
    auto work = std::move(found->second);
    gLater.erase(found);
    work();
}

void Later(UINT milliseconds, std::function<void()> work)
{
    const UINT_PTR id = SetTimer(nullptr, 0, milliseconds, RunLater);
    gLater[id] = std::move(work);
}

LPWSTR Copy(const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    memcpy(copy, text.c_str(), bytes);
    return copy;
}

#define NOT_USED(name, ...)                                                                        \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override                                           \
    {                                                                                              \
        return E_NOTIMPL;                                                                          \
    }

// Event arguments live for one Invoke, on the stack.
class StartingArgs final : public ICoreWebView2NavigationStartingEventArgs
{
public:
    explicit StartingArgs(std::wstring uri) : mUri(std::move(uri)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override
    {
        *uri = Copy(mUri);
        return S_OK;
    }
    NOT_USED(get_IsUserInitiated, BOOL*)
    NOT_USED(get_IsRedirected, BOOL*)
    NOT_USED(get_RequestHeaders, IUnknown**)
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override
    {
        *cancel = mCancel;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override
    {
        mCancel = cancel;
        return S_OK;
    }
    BOOL mCancel = FALSE;

private:
    std::wstring mUri;
};

class CompletedArgs final : public ICoreWebView2NavigationCompletedEventArgs
{
public:
    explicit CompletedArgs(bool success) : mSuccess(success) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* success) override
    {
        *success = mSuccess ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_WebErrorStatus(int* status) override
    {
        *status = mSuccess ? 0 : 12;
        return S_OK;
    }

private:
    bool mSuccess;
};

class NewWindowArgs final : public ICoreWebView2NewWindowRequestedEventArgs
{
public:
    explicit NewWindowArgs(std::wstring uri) : mUri(std::move(uri)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override
    {
        *uri = Copy(mUri);
        return S_OK;
    }
    NOT_USED(put_NewWindow, ICoreWebView2*)
    NOT_USED(get_NewWindow, ICoreWebView2**)
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override
    {
        mHandled = handled;
        return S_OK;
    }
    BOOL mHandled = FALSE;

private:
    std::wstring mUri;
};

class MoveFocusArgs final : public ICoreWebView2MoveFocusRequestedEventArgs
{
public:
    explicit MoveFocusArgs(MoveFocusReason reason) : mReason(reason) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Reason(MoveFocusReason* reason) override
    {
        *reason = mReason;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override
    {
        *handled = mHandled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override
    {
        mHandled = handled;
        return S_OK;
    }
    BOOL mHandled = FALSE;

private:
    MoveFocusReason mReason;
};

class Settings final : public ICoreWebView2Settings
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* value) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL value) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL value) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL* value) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL value) override
    {
        return S_OK;
    }
};
Settings gSettings;

template <typename T> void Keep(std::vector<T*>& list, T* handler, Token* token)
{
    handler->AddRef();
    list.push_back(handler);
    if (token)
        token->value = static_cast<__int64>(list.size());
}

template <typename T> void Drop(std::vector<T*>& list)
{
    for (T* handler : list)
        handler->Release();
    list.clear();
}

class WebView;
WebView* gOpenWebView = nullptr; // of the last controller not yet closed

class WebView final : public ICoreWebView2
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_WebView))
        {
            *object = static_cast<ICoreWebView2*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --mRefs;
        if (left == 0)
            delete this;
        return left;
    }

    // A page asks for a new window; TRUE when the handlers took it.
    BOOL RequestWindow(const std::wstring& uri)
    {
        NewWindowArgs args(uri);
        for (auto* handler : std::vector(mNewWindows))
            handler->Invoke(this, &args);
        return args.mHandled;
    }

    // The controller closed: the runtime lets go of every handler.
    void Close()
    {
        mClosed = true;
        Drop(mStarting);
        Drop(mCompleted);
        Drop(mMessages);
        Drop(mNewWindows);
    }

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override
    {
        *settings = &gSettings;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override
    {
        ++gRecord.navigations;
        if (mScriptsPending > 0 || gRecord.scriptsAdded == 0)
            ++gRecord.navigationsBeforeScripts;
        lstrcpynW(gRecord.address, uri, 260);
        const std::wstring address(uri);
        const bool success = Setting(L"OSTREL_STAND_IN_PAGE") != L"fail";
        AddRef();
        Later(0,
              [this, address, success]
              {
                  StartingArgs starting(address);
                  for (auto* handler : std::vector(mStarting))
                      handler->Invoke(this, &starting);
                  CompletedArgs completed(success && !starting.mCancel);
                  for (auto* handler : std::vector(mCompleted))
                      handler->Invoke(this, &completed);
                  Release();
              });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* h,
                                                     Token* token) override
    {
        Keep(mStarting, h, token);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* h, Token* token) override
    {
        Keep(mCompleted, h, token);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* h,
                                                     Token* token) override
    {
        Keep(mMessages, h, token);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* h,
                                                     Token* token) override
    {
        Keep(mNewWindows, h, token);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override
    {
        ++gRecord.scriptsAdded;
        ++mScriptsPending;
        const std::wstring mode = Setting(L"OSTREL_STAND_IN_SCRIPTS");
        const HRESULT result = mode == L"fail" ? E_FAIL : S_OK;
        handler->AddRef();
        AddRef();
        Later(mode == L"late" ? 200 : 0,
              [this, handler, result]
              {
                  --mScriptsPending;
                  ++gRecord.scriptsCompleted;
                  handler->Invoke(result, L"script-id");
                  handler->Release();
                  Release();
              });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    ExecuteScript(LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler* handler) override
    {
        if (mClosed)
            return E_FAIL;
        handler->AddRef();
        Later(0,
              [handler]
              {
                  handler->Invoke(S_OK, L"null");
                  handler->Release();
              });
        return S_OK;
    }
    NOT_USED(get_Source, LPWSTR* uri)
    NOT_USED(NavigateToString, LPCWSTR htmlContent)
    NOT_USED(remove_NavigationStarting, Token token)
    NOT_USED(add_ContentLoading, IUnknown* handler, Token* token)
    NOT_USED(remove_ContentLoading, Token token)
    NOT_USED(add_SourceChanged, IUnknown* handler, Token* token)
    NOT_USED(remove_SourceChanged, Token token)
    NOT_USED(add_HistoryChanged, IUnknown* handler, Token* token)
    NOT_USED(remove_HistoryChanged, Token token)
    NOT_USED(remove_NavigationCompleted, Token token)
    NOT_USED(add_FrameNavigationStarting, IUnknown* handler, Token* token)
    NOT_USED(remove_FrameNavigationStarting, Token token)
    NOT_USED(add_FrameNavigationCompleted, IUnknown* handler, Token* token)
    NOT_USED(remove_FrameNavigationCompleted, Token token)
    NOT_USED(add_ScriptDialogOpening, IUnknown* handler, Token* token)
    NOT_USED(remove_ScriptDialogOpening, Token token)
    NOT_USED(add_PermissionRequested, IUnknown* handler, Token* token)
    NOT_USED(remove_PermissionRequested, Token token)
    NOT_USED(add_ProcessFailed, IUnknown* handler, Token* token)
    NOT_USED(remove_ProcessFailed, Token token)
    NOT_USED(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR id)
    NOT_USED(CapturePreview, int imageFormat, IUnknown* imageStream, IUnknown* handler)
    NOT_USED(Reload)
    NOT_USED(PostWebMessageAsJson, LPCWSTR webMessageAsJson)
    NOT_USED(PostWebMessageAsString, LPCWSTR webMessageAsString)
    NOT_USED(remove_WebMessageReceived, Token token)
    NOT_USED(CallDevToolsProtocolMethod, LPCWSTR methodName, LPCWSTR parametersAsJson,
             IUnknown* handler)
    NOT_USED(get_BrowserProcessId, UINT32* value)
    NOT_USED(get_CanGoBack, BOOL* canGoBack)
    NOT_USED(get_CanGoForward, BOOL* canGoForward)
    NOT_USED(GoBack)
    NOT_USED(GoForward)
    NOT_USED(GetDevToolsProtocolEventReceiver, LPCWSTR eventName, IUnknown** receiver)
    NOT_USED(Stop)
    NOT_USED(remove_NewWindowRequested, Token token)
    NOT_USED(add_DocumentTitleChanged, IUnknown* handler, Token* token)
    NOT_USED(remove_DocumentTitleChanged, Token token)
    NOT_USED(get_DocumentTitle, LPWSTR* title)
    NOT_USED(AddHostObjectToScript, LPCWSTR name, void* object)
    NOT_USED(RemoveHostObjectFromScript, LPCWSTR name)
    NOT_USED(OpenDevToolsWindow)
    NOT_USED(add_ContainsFullScreenElementChanged, IUnknown* handler, Token* token)
    NOT_USED(remove_ContainsFullScreenElementChanged, Token token)
    NOT_USED(get_ContainsFullScreenElement, BOOL* containsFullScreenElement)
    NOT_USED(add_WebResourceRequested, IUnknown* handler, Token* token)
    NOT_USED(remove_WebResourceRequested, Token token)
    NOT_USED(AddWebResourceRequestedFilter, LPCWSTR uri, int resourceContext)
    NOT_USED(RemoveWebResourceRequestedFilter, LPCWSTR uri, int resourceContext)
    NOT_USED(add_WindowCloseRequested, IUnknown* handler, Token* token)
    NOT_USED(remove_WindowCloseRequested, Token token)

private:
    ULONG mRefs = 1;
    bool mClosed = false;
    int mScriptsPending = 0;
    std::vector<ICoreWebView2NavigationStartingEventHandler*> mStarting;
    std::vector<ICoreWebView2NavigationCompletedEventHandler*> mCompleted;
    std::vector<ICoreWebView2WebMessageReceivedEventHandler*> mMessages;
    std::vector<ICoreWebView2NewWindowRequestedEventHandler*> mNewWindows;
};

class Controller;
Controller* gOpenController = nullptr; // the last one not yet closed

class Controller final : public ICoreWebView2Controller
{
public:
    // The browser's window inside the parent, which takes the focus as the
    // real one does at a click or when the focus is moved into it.
    explicit Controller(HWND parent)
    {
        ++gRecord.controllersCreated;
        ++gRecord.controllersAlive;
        gOpenWebView = mWebView;
        gOpenController = this;
        if (IsWindow(parent))
            mBrowser = CreateWindowExW(0, L"STATIC", L"browser", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                       10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    HWND Browser() const { return mBrowser; }
    // A click in the page, or the focus moved in: the browser's window has
    // the keyboard, and the controller says so.
    void Focus()
    {
        if (mBrowser)
            SetFocus(mBrowser);
        for (auto* handler : std::vector(mGotFocus))
            handler->Invoke(this, nullptr);
    }
    // Tab (or Shift+Tab) past the page's last (first) element, with the
    // browser's window holding the keyboard: the controller asks its
    // handlers; unhandled, the focus goes round inside the page. Whether a
    // handler took it.
    BOOL TabOut(MoveFocusReason reason)
    {
        MoveFocusArgs args(reason);
        for (auto* handler : std::vector(mMoveFocus))
            handler->Invoke(this, &args);
        if (!args.mHandled && mBrowser)
            SetFocus(mBrowser);
        return args.mHandled;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_Controller))
        {
            *object = static_cast<ICoreWebView2Controller*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --mRefs;
        if (left == 0)
        {
            mWebView->Release();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override
    {
        gRecord.visible = visible;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override
    {
        gRecord.bounds = bounds;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double) override
    {
        gRecord.bounds = bounds;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveFocus(MoveFocusReason) override
    {
        ++gRecord.focusMoves;
        Focus();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_GotFocus(IUnknown* handler, Token* token) override
    {
        ICoreWebView2FocusChangedEventHandler* typed = nullptr;
        if (FAILED(handler->QueryInterface(IID_FocusChangedEventHandler,
                                           reinterpret_cast<void**>(&typed))))
            return E_NOINTERFACE;
        Keep(mGotFocus, typed, token);
        typed->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(IUnknown* handler, Token* token) override
    {
        ICoreWebView2MoveFocusRequestedEventHandler* typed = nullptr;
        if (FAILED(handler->QueryInterface(IID_MoveFocusRequestedEventHandler,
                                           reinterpret_cast<void**>(&typed))))
            return E_NOINTERFACE;
        Keep(mMoveFocus, typed, token);
        typed->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override
    {
        ++gRecord.parentMoves;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override
    {
        if (mClosed)
            return S_OK;
        mClosed = true;
        --gRecord.controllersAlive;
        if (gOpenWebView == mWebView)
            gOpenWebView = nullptr;
        if (gOpenController == this)
            gOpenController = nullptr;
        Drop(mGotFocus);
        Drop(mMoveFocus);
        if (IsWindow(mBrowser))
            DestroyWindow(mBrowser);
        mBrowser = nullptr;
        mWebView->Close();
        Release(); // the browser window's own reference
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** webView) override
    {
        mWebView->AddRef();
        *webView = mWebView;
        return S_OK;
    }
    NOT_USED(get_IsVisible, BOOL* isVisible)
    NOT_USED(get_Bounds, RECT* bounds)
    NOT_USED(get_ZoomFactor, double* zoomFactor)
    NOT_USED(put_ZoomFactor, double zoomFactor)
    NOT_USED(add_ZoomFactorChanged, IUnknown* handler, Token* token)
    NOT_USED(remove_ZoomFactorChanged, Token token)
    NOT_USED(remove_MoveFocusRequested, Token token)
    NOT_USED(remove_GotFocus, Token token)
    NOT_USED(add_LostFocus, IUnknown* handler, Token* token)
    NOT_USED(remove_LostFocus, Token token)
    NOT_USED(add_AcceleratorKeyPressed, IUnknown* handler, Token* token)
    NOT_USED(remove_AcceleratorKeyPressed, Token token)
    NOT_USED(get_ParentWindow, HWND* parentWindow)
    NOT_USED(put_ParentWindow, HWND parentWindow)

private:
    ULONG mRefs = 1; // the browser window's, until Close
    bool mClosed = false;
    WebView* mWebView = new WebView;
    HWND mBrowser = nullptr;
    std::vector<ICoreWebView2FocusChangedEventHandler*> mGotFocus;
    std::vector<ICoreWebView2MoveFocusRequestedEventHandler*> mMoveFocus;
};

class Environment final : public ICoreWebView2Environment
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_Environment))
        {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++gRecord.environmentRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --gRecord.environmentRefs; } // static
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override
    {
        const std::wstring mode = Setting(L"OSTREL_STAND_IN_CONTROLLER");
        handler->AddRef();
        Later(mode == L"late" ? 300 : 0,
              [parent, handler, mode]
              {
                  if (mode == L"fail")
                      handler->Invoke(E_FAIL, nullptr);
                  else
                  {
                      if (!IsWindow(parent))
                          ++gRecord.controllersForGoneWindows;
                      auto* controller = new Controller(parent);
                      controller->AddRef(); // the completion's, released after it
                      handler->Invoke(S_OK, controller);
                      controller->Release();
                  }
                  handler->Release();
              });
        return S_OK;
    }
};
Environment gEnvironment;

} // namespace

extern "C" __declspec(dllexport) HRESULT STDMETHODCALLTYPE
    CreateWebViewEnvironmentWithOptionsInternal(
        bool first, int kind, PCWSTR userDataFolder, IUnknown* options,
        ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)
{
    ++gCall.count;
    ++gRecord.environmentCalls;
    gCall.first = first;
    gCall.kind = kind;
    gCall.nullFolder = userDataFolder == nullptr;
    gCall.userDataFolder = userDataFolder ? userDataFolder : L"";
    gCall.hadOptions = options != nullptr;
    gCall.singleSignOn = TRUE;
    gCall.targetVersion.clear();
    ICoreWebView2EnvironmentOptions* read = nullptr;
    if (options &&
        SUCCEEDED(options->QueryInterface(IID_EnvironmentOptions, reinterpret_cast<void**>(&read))))
    {
        read->get_AllowSingleSignOnUsingOSPrimaryAccount(&gCall.singleSignOn);
        LPWSTR version = nullptr;
        if (SUCCEEDED(read->get_TargetCompatibleBrowserVersion(&version)) && version)
            gCall.targetVersion = version;
        CoTaskMemFree(version);
        read->Release();
    }
    const std::wstring answer = Setting(L"OSTREL_STAND_IN_ANSWER");
    if (answer == L"refuse")
        return E_ACCESSDENIED;
    const bool fail = answer == L"fail" || (answer == L"fail-with-options" && options);
    handler->AddRef();
    auto complete = [handler, fail]
    {
        handler->Invoke(fail ? E_FAIL : S_OK, fail ? nullptr : &gEnvironment);
        handler->Release();
    };
    if (Setting(L"OSTREL_STAND_IN_ENVIRONMENT") == L"late")
        Later(150, complete);
    else
        complete();
    return S_OK;
}

// For the tests: what the last call received.
extern "C" __declspec(dllexport) int StandInCalls(int* kind, wchar_t* userDataFolder, int capacity,
                                                  int* flags)
{
    *kind = gCall.kind;
    lstrcpynW(userDataFolder, gCall.userDataFolder.c_str(), capacity);
    *flags = (gCall.first ? 1 : 0) | (gCall.nullFolder ? 2 : 0) | (gCall.hadOptions ? 4 : 0) |
             (gCall.singleSignOn ? 8 : 0);
    return gCall.count;
}

extern "C" __declspec(dllexport) void StandInTargetVersion(wchar_t* version, int capacity)
{
    lstrcpynW(version, gCall.targetVersion.c_str(), capacity);
}

// For the tests: the page of the last open editor asks for a new window
// (-1: no open editor; else whether the editor took the request).
extern "C" __declspec(dllexport) int StandInRequestWindow(const wchar_t* uri)
{
    return gOpenWebView ? gOpenWebView->RequestWindow(uri) : -1;
}

// For the tests: the user clicks in the page of the last open editor (the
// browser's window takes the keyboard); its window, or null with no editor.
extern "C" __declspec(dllexport) HWND StandInClick()
{
    if (!gOpenController)
        return nullptr;
    gOpenController->Focus();
    return gOpenController->Browser();
}

// For the tests: Tab (reason 1) or Shift+Tab (2) leaves the last open
// editor's page; whether the editor took the keys (-1: no open editor).
extern "C" __declspec(dllexport) int StandInTabOut(int reason)
{
    return gOpenController ? gOpenController->TabOut(static_cast<MoveFocusReason>(reason)) : -1;
}

extern "C" __declspec(dllexport) void StandInRecordOf(StandInRecord* record)
{
    *record = gRecord;
}

extern "C" __declspec(dllexport) void StandInReset()
{
    const int environmentRefs = gRecord.environmentRefs;
    const int alive = gRecord.controllersAlive;
    gRecord = StandInRecord{};
    gRecord.environmentRefs = environmentRefs;
    gRecord.controllersAlive = alive;
}
