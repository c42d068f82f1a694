// The COM objects the editor hands to WebView2: completion and event
// handlers around a function, and the environment options.
#pragma once

#include "webview/module_hold_windows.h"
#include "webview/webview2_com_windows.h"

#include <atomic>
#include <functional>
#include <string>
#include <utility>

namespace plugfw::wv2
{

// A handler whose Invoke calls `function`. WebView2 keeps its own reference
// while it needs the handler, and the handler keeps the module loaded.
template <typename Interface, const GUID& kIid, typename... Args>
class Callback final : public Interface
{
public:
    using Function = std::function<HRESULT(Args...)>;

    // Starts with one reference, which the caller owns.
    static Callback* Make(Function function) { return new Callback(std::move(function)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIid))
        {
            *object = static_cast<Interface*>(this);
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
    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override
    {
        return mFunction ? mFunction(args...) : S_OK;
    }

private:
    explicit Callback(Function function) : mFunction(std::move(function)) {}
    ModuleHold mHold;
    std::atomic<ULONG> mRefs{1};
    Function mFunction;
};

using EnvironmentCompleted =
    Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
             IID_EnvironmentCompletedHandler, HRESULT, ICoreWebView2Environment*>;
using ControllerCompleted =
    Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
             IID_ControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>;
using AddScriptCompleted =
    Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
             IID_AddScriptCompletedHandler, HRESULT, LPCWSTR>;
using ExecuteScriptCompleted = Callback<ICoreWebView2ExecuteScriptCompletedHandler,
                                        IID_ExecuteScriptCompletedHandler, HRESULT, LPCWSTR>;
using WebMessageReceived =
    Callback<ICoreWebView2WebMessageReceivedEventHandler, IID_WebMessageReceivedEventHandler,
             ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>;
using NavigationStarting =
    Callback<ICoreWebView2NavigationStartingEventHandler, IID_NavigationStartingEventHandler,
             ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs*>;
using NavigationCompleted =
    Callback<ICoreWebView2NavigationCompletedEventHandler, IID_NavigationCompletedEventHandler,
             ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*>;
using NewWindowRequested =
    Callback<ICoreWebView2NewWindowRequestedEventHandler, IID_NewWindowRequestedEventHandler,
             ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs*>;
using DownloadStarting =
    Callback<ICoreWebView2DownloadStartingEventHandler, IID_DownloadStartingEventHandler,
             ICoreWebView2*, ICoreWebView2DownloadStartingEventArgs*>;
using FocusChanged = Callback<ICoreWebView2FocusChangedEventHandler, IID_FocusChangedEventHandler,
                              ICoreWebView2Controller*, IUnknown*>;
using MoveFocusRequested =
    Callback<ICoreWebView2MoveFocusRequestedEventHandler, IID_MoveFocusRequestedEventHandler,
             ICoreWebView2Controller*, ICoreWebView2MoveFocusRequestedEventArgs*>;

// The environment options: single sign-on, exclusive user-data-folder access
// and custom crash reporting all off; the browser version our declarations
// were checked against, which has every interface we call; no other string
// set (getters then answer NULL). Later options interfaces are answered with
// E_NOINTERFACE.
inline constexpr wchar_t kTargetCompatibleBrowserVersion[] = L"105.0.1343.22";

class EnvironmentOptions final : public ICoreWebView2EnvironmentOptions,
                                 public ICoreWebView2EnvironmentOptions2,
                                 public ICoreWebView2EnvironmentOptions3
{
public:
    static EnvironmentOptions* Make() { return new EnvironmentOptions(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --mRefs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override
    {
        return Get(mArguments, value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override
    {
        return Put(mArguments, value);
    }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override { return Get(mLanguage, value); }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override { return Put(mLanguage, value); }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override
    {
        return Get(mTargetVersion, value);
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override
    {
        return Put(mTargetVersion, value);
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override
    {
        return Get(mSingleSignOn, allow);
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override
    {
        mSingleSignOn = allow;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ExclusiveUserDataFolderAccess(BOOL* value) override
    {
        return Get(mExclusiveFolder, value);
    }
    HRESULT STDMETHODCALLTYPE put_ExclusiveUserDataFolderAccess(BOOL value) override
    {
        mExclusiveFolder = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsCustomCrashReportingEnabled(BOOL* value) override
    {
        return Get(mCustomCrashReporting, value);
    }
    HRESULT STDMETHODCALLTYPE put_IsCustomCrashReportingEnabled(BOOL value) override
    {
        mCustomCrashReporting = value;
        return S_OK;
    }

private:
    EnvironmentOptions() = default;

    // The runtime frees what a getter returns: a fresh CoTaskMemAlloc copy,
    // or NULL when the string was never set.
    static HRESULT Get(const std::wstring& text, LPWSTR* value);
    static HRESULT Get(BOOL stored, BOOL* value);
    static HRESULT Put(std::wstring& text, LPCWSTR value);

    ModuleHold mHold;
    std::atomic<ULONG> mRefs{1};
    std::wstring mArguments;
    std::wstring mLanguage;
    std::wstring mTargetVersion = kTargetCompatibleBrowserVersion;
    BOOL mSingleSignOn = FALSE;
    BOOL mExclusiveFolder = FALSE;
    BOOL mCustomCrashReporting = FALSE;
};

} // namespace plugfw::wv2
