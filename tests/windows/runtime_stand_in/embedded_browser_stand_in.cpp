// Stands in for the WebView2 runtime's EmbeddedBrowserWebView.dll in the
// loader's tests: records what the loader passes to the environment-creation
// export and answers through the completion handler as the environment
// variable OSTREL_STAND_IN_ANSWER says: "fail" (E_FAIL, no environment),
// "refuse" (an error returned at once, the handler never called), anything
// else an environment.
#include "webview/webview2_com_windows.h"

#include <string>

namespace
{

struct Call
{
    int count = 0;
    bool first = false;
    int kind = -1;
    std::wstring userDataFolder;
    bool nullFolder = true;
    bool hadOptions = false;
    BOOL singleSignOn = TRUE;
};
Call gCall;

class Environment final : public plugfw::wv2::ICoreWebView2Environment
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, plugfw::wv2::IID_Environment))
        {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --mRefs; } // static, never freed
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND, plugfw::wv2::ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override
    {
        // No browser here: the controller fails, as a broken runtime would.
        handler->Invoke(E_FAIL, nullptr);
        return S_OK;
    }

private:
    ULONG mRefs = 1;
};
Environment gEnvironment;

std::wstring Answer()
{
    wchar_t value[32] = {};
    GetEnvironmentVariableW(L"OSTREL_STAND_IN_ANSWER", value, 32);
    return value;
}

} // namespace

extern "C" __declspec(dllexport) HRESULT STDMETHODCALLTYPE
CreateWebViewEnvironmentWithOptionsInternal(
    bool first, int kind, PCWSTR userDataFolder, IUnknown* options,
    plugfw::wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)
{
    ++gCall.count;
    gCall.first = first;
    gCall.kind = kind;
    gCall.nullFolder = userDataFolder == nullptr;
    gCall.userDataFolder = userDataFolder ? userDataFolder : L"";
    gCall.hadOptions = options != nullptr;
    plugfw::wv2::ICoreWebView2EnvironmentOptions* read = nullptr;
    if (options &&
        SUCCEEDED(options->QueryInterface(plugfw::wv2::IID_EnvironmentOptions,
                                          reinterpret_cast<void**>(&read))))
    {
        read->get_AllowSingleSignOnUsingOSPrimaryAccount(&gCall.singleSignOn);
        read->Release();
    }
    const std::wstring answer = Answer();
    if (answer == L"refuse")
        return E_ACCESSDENIED;
    if (answer == L"fail")
        handler->Invoke(E_FAIL, nullptr);
    else
        handler->Invoke(S_OK, &gEnvironment);
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
