// Our own declarations of the WebView2 COM interfaces the editor uses (the
// SDK's header is not available to this build). Each vtable lists every slot
// in order up to the last one we call; where a declaration stops short of the
// whole interface a comment says so, and nothing may derive from such an
// interface. Unused parameter types are declared loosely (IUnknown*, void*):
// only the slot order and the types of the methods we call matter.
// tests/windows/webview2_slots_test.cpp checks the slots against the table.
#pragma once

#include <windows.h>

#include <objbase.h>

namespace plugfw::wv2
{

struct Token
{
    __int64 value;
};

struct Color
{
    BYTE A;
    BYTE R;
    BYTE G;
    BYTE B;
};

enum MoveFocusReason : int
{
    kMoveFocusProgrammatic = 0,
    kMoveFocusNext = 1,     // Tab
    kMoveFocusPrevious = 2, // Shift+Tab
};

enum HostResourceAccessKind : int
{
    kHostResourceAccessDeny = 0,
    kHostResourceAccessAllow = 1,
};

#define WV2_METHOD(name, ...) virtual HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) = 0

// GUIDs from their text form "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX".
constexpr GUID Iid(unsigned long d1, unsigned short d2, unsigned short d3, unsigned long long d4)
{
    return GUID{d1,
                d2,
                d3,
                {static_cast<unsigned char>(d4 >> 56), static_cast<unsigned char>(d4 >> 48),
                 static_cast<unsigned char>(d4 >> 40), static_cast<unsigned char>(d4 >> 32),
                 static_cast<unsigned char>(d4 >> 24), static_cast<unsigned char>(d4 >> 16),
                 static_cast<unsigned char>(d4 >> 8), static_cast<unsigned char>(d4)}};
}

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2Settings;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2NavigationCompletedEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2DownloadStartingEventArgs;
struct ICoreWebView2DownloadOperation;

// ---- Handlers we implement (one method, Invoke, in slot 3) -------------------

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : IUnknown
{
    WV2_METHOD(Invoke, HRESULT errorCode, ICoreWebView2Environment* environment);
};
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : IUnknown
{
    WV2_METHOD(Invoke, HRESULT errorCode, ICoreWebView2Controller* controller);
};
struct ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler : IUnknown
{
    WV2_METHOD(Invoke, HRESULT errorCode, LPCWSTR id);
};
struct ICoreWebView2ExecuteScriptCompletedHandler : IUnknown
{
    WV2_METHOD(Invoke, HRESULT errorCode, LPCWSTR resultObjectAsJson);
};
struct ICoreWebView2WebMessageReceivedEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args);
};
struct ICoreWebView2NavigationStartingEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args);
};
struct ICoreWebView2NavigationCompletedEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args);
};
struct ICoreWebView2NewWindowRequestedEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2* sender, ICoreWebView2NewWindowRequestedEventArgs* args);
};
struct ICoreWebView2DownloadStartingEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2* sender, ICoreWebView2DownloadStartingEventArgs* args);
};
struct ICoreWebView2FocusChangedEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2Controller* sender, IUnknown* args);
};
// Tab or Shift+Tab past the page's last or first element.
struct ICoreWebView2MoveFocusRequestedEventArgs : IUnknown
{
    WV2_METHOD(get_Reason, MoveFocusReason* reason);
    WV2_METHOD(get_Handled, BOOL* handled);
    WV2_METHOD(put_Handled, BOOL handled);
};
struct ICoreWebView2MoveFocusRequestedEventHandler : IUnknown
{
    WV2_METHOD(Invoke, ICoreWebView2Controller* sender,
               ICoreWebView2MoveFocusRequestedEventArgs* args);
};

inline constexpr GUID IID_EnvironmentCompletedHandler =
    Iid(0x4E8A3389, 0xC9D8, 0x4BD2, 0xB6B5124FEE6CC14Dull);
inline constexpr GUID IID_ControllerCompletedHandler =
    Iid(0x6C4819F3, 0xC9B7, 0x4260, 0x8127C9F5BDE7F68Cull);
inline constexpr GUID IID_AddScriptCompletedHandler =
    Iid(0xB99369F3, 0x9B11, 0x47B5, 0xBC6F8E7895FCEA17ull);
inline constexpr GUID IID_ExecuteScriptCompletedHandler =
    Iid(0x49511172, 0xCC67, 0x4BCA, 0x9923137112F4C4CCull);
inline constexpr GUID IID_WebMessageReceivedEventHandler =
    Iid(0x57213F19, 0x00E6, 0x49FA, 0x8E07898EA01ECBD2ull);
inline constexpr GUID IID_NavigationStartingEventHandler =
    Iid(0x9ADBE429, 0xF36D, 0x432B, 0x9DDCF8881FBD76E3ull);
inline constexpr GUID IID_NavigationCompletedEventHandler =
    Iid(0xD33A35BF, 0x1C49, 0x4F98, 0x93AB006E0533FE1Cull);
inline constexpr GUID IID_NewWindowRequestedEventHandler =
    Iid(0xD4C185FE, 0xC81C, 0x4989, 0x97AF2D3FA7AB5651ull);
inline constexpr GUID IID_DownloadStartingEventHandler =
    Iid(0xEFEDC989, 0xC396, 0x41CA, 0x83F707F845A55724ull);
inline constexpr GUID IID_FocusChangedEventHandler =
    Iid(0x05EA24BD, 0x6452, 0x4926, 0x90144B82B498135Dull);
inline constexpr GUID IID_MoveFocusRequestedEventHandler =
    Iid(0x69035451, 0x6DC7, 0x4CB8, 0x9BCEB2BD70AD289Full);

// ---- Environment options (we implement all three in full) --------------------

struct ICoreWebView2EnvironmentOptions : IUnknown
{
    WV2_METHOD(get_AdditionalBrowserArguments, LPWSTR* value);
    WV2_METHOD(put_AdditionalBrowserArguments, LPCWSTR value);
    WV2_METHOD(get_Language, LPWSTR* value);
    WV2_METHOD(put_Language, LPCWSTR value);
    WV2_METHOD(get_TargetCompatibleBrowserVersion, LPWSTR* value);
    WV2_METHOD(put_TargetCompatibleBrowserVersion, LPCWSTR value);
    WV2_METHOD(get_AllowSingleSignOnUsingOSPrimaryAccount, BOOL* allow);
    WV2_METHOD(put_AllowSingleSignOnUsingOSPrimaryAccount, BOOL allow);
};
struct ICoreWebView2EnvironmentOptions2 : IUnknown
{
    WV2_METHOD(get_ExclusiveUserDataFolderAccess, BOOL* value);
    WV2_METHOD(put_ExclusiveUserDataFolderAccess, BOOL value);
};
struct ICoreWebView2EnvironmentOptions3 : IUnknown
{
    WV2_METHOD(get_IsCustomCrashReportingEnabled, BOOL* value);
    WV2_METHOD(put_IsCustomCrashReportingEnabled, BOOL value);
};

inline constexpr GUID IID_EnvironmentOptions =
    Iid(0x2FDE08A8, 0x1E9A, 0x4766, 0x8C0595A9CEB9D1C5ull);
inline constexpr GUID IID_EnvironmentOptions2 =
    Iid(0xFF85C98A, 0x1BA7, 0x4A6B, 0x90C82B752C89E9E2ull);
inline constexpr GUID IID_EnvironmentOptions3 =
    Iid(0x4A5C436E, 0xA9E3, 0x4A2E, 0x89C3910D3513F5CCull);

// ---- Interfaces we call --------------------------------------------------------

// Stops after slot 3 (the interface has 8 slots).
struct ICoreWebView2Environment : IUnknown
{
    WV2_METHOD(CreateCoreWebView2Controller, HWND parentWindow,
               ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler);
};
inline constexpr GUID IID_Environment = Iid(0xB96D755E, 0x0319, 0x4E92, 0xA29623436F46A1FCull);

// Stops after slot 25, its last (Controller2 would add slots 26 and 27).
struct ICoreWebView2Controller : IUnknown
{
    WV2_METHOD(get_IsVisible, BOOL* isVisible);
    WV2_METHOD(put_IsVisible, BOOL isVisible);
    WV2_METHOD(get_Bounds, RECT* bounds);
    WV2_METHOD(put_Bounds, RECT bounds);
    WV2_METHOD(get_ZoomFactor, double* zoomFactor);
    WV2_METHOD(put_ZoomFactor, double zoomFactor);
    WV2_METHOD(add_ZoomFactorChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_ZoomFactorChanged, Token token);
    WV2_METHOD(SetBoundsAndZoomFactor, RECT bounds, double zoomFactor);
    WV2_METHOD(MoveFocus, MoveFocusReason reason);
    WV2_METHOD(add_MoveFocusRequested, IUnknown* handler, Token* token);
    WV2_METHOD(remove_MoveFocusRequested, Token token);
    WV2_METHOD(add_GotFocus, IUnknown* handler, Token* token);
    WV2_METHOD(remove_GotFocus, Token token);
    WV2_METHOD(add_LostFocus, IUnknown* handler, Token* token);
    WV2_METHOD(remove_LostFocus, Token token);
    WV2_METHOD(add_AcceleratorKeyPressed, IUnknown* handler, Token* token);
    WV2_METHOD(remove_AcceleratorKeyPressed, Token token);
    WV2_METHOD(get_ParentWindow, HWND* parentWindow);
    WV2_METHOD(put_ParentWindow, HWND parentWindow);
    WV2_METHOD(NotifyParentWindowPositionChanged);
    WV2_METHOD(Close);
    WV2_METHOD(get_CoreWebView2, ICoreWebView2** coreWebView2);
};
inline constexpr GUID IID_Controller = Iid(0x4D00C0D1, 0x9434, 0x4EB6, 0x80788697A560334Full);

// All 58 methods: ICoreWebView2_2 and later derive from it.
struct ICoreWebView2 : IUnknown
{
    WV2_METHOD(get_Settings, ICoreWebView2Settings** settings);
    WV2_METHOD(get_Source, LPWSTR* uri);
    WV2_METHOD(Navigate, LPCWSTR uri);
    WV2_METHOD(NavigateToString, LPCWSTR htmlContent);
    WV2_METHOD(add_NavigationStarting, ICoreWebView2NavigationStartingEventHandler* handler,
               Token* token);
    WV2_METHOD(remove_NavigationStarting, Token token);
    WV2_METHOD(add_ContentLoading, IUnknown* handler, Token* token);
    WV2_METHOD(remove_ContentLoading, Token token);
    WV2_METHOD(add_SourceChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_SourceChanged, Token token);
    WV2_METHOD(add_HistoryChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_HistoryChanged, Token token);
    WV2_METHOD(add_NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler* handler,
               Token* token);
    WV2_METHOD(remove_NavigationCompleted, Token token);
    WV2_METHOD(add_FrameNavigationStarting, IUnknown* handler, Token* token);
    WV2_METHOD(remove_FrameNavigationStarting, Token token);
    WV2_METHOD(add_FrameNavigationCompleted, IUnknown* handler, Token* token);
    WV2_METHOD(remove_FrameNavigationCompleted, Token token);
    WV2_METHOD(add_ScriptDialogOpening, IUnknown* handler, Token* token);
    WV2_METHOD(remove_ScriptDialogOpening, Token token);
    WV2_METHOD(add_PermissionRequested, IUnknown* handler, Token* token);
    WV2_METHOD(remove_PermissionRequested, Token token);
    WV2_METHOD(add_ProcessFailed, IUnknown* handler, Token* token);
    WV2_METHOD(remove_ProcessFailed, Token token);
    WV2_METHOD(AddScriptToExecuteOnDocumentCreated, LPCWSTR javaScript,
               ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler);
    WV2_METHOD(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR id);
    WV2_METHOD(ExecuteScript, LPCWSTR javaScript,
               ICoreWebView2ExecuteScriptCompletedHandler* handler);
    WV2_METHOD(CapturePreview, int imageFormat, IUnknown* imageStream, IUnknown* handler);
    WV2_METHOD(Reload);
    WV2_METHOD(PostWebMessageAsJson, LPCWSTR webMessageAsJson);
    WV2_METHOD(PostWebMessageAsString, LPCWSTR webMessageAsString);
    WV2_METHOD(add_WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler* handler,
               Token* token);
    WV2_METHOD(remove_WebMessageReceived, Token token);
    WV2_METHOD(CallDevToolsProtocolMethod, LPCWSTR methodName, LPCWSTR parametersAsJson,
               IUnknown* handler);
    WV2_METHOD(get_BrowserProcessId, UINT32* value);
    WV2_METHOD(get_CanGoBack, BOOL* canGoBack);
    WV2_METHOD(get_CanGoForward, BOOL* canGoForward);
    WV2_METHOD(GoBack);
    WV2_METHOD(GoForward);
    WV2_METHOD(GetDevToolsProtocolEventReceiver, LPCWSTR eventName, IUnknown** receiver);
    WV2_METHOD(Stop);
    WV2_METHOD(add_NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler* handler,
               Token* token);
    WV2_METHOD(remove_NewWindowRequested, Token token);
    WV2_METHOD(add_DocumentTitleChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_DocumentTitleChanged, Token token);
    WV2_METHOD(get_DocumentTitle, LPWSTR* title);
    WV2_METHOD(AddHostObjectToScript, LPCWSTR name, void* object);
    WV2_METHOD(RemoveHostObjectFromScript, LPCWSTR name);
    WV2_METHOD(OpenDevToolsWindow);
    WV2_METHOD(add_ContainsFullScreenElementChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_ContainsFullScreenElementChanged, Token token);
    WV2_METHOD(get_ContainsFullScreenElement, BOOL* containsFullScreenElement);
    WV2_METHOD(add_WebResourceRequested, IUnknown* handler, Token* token);
    WV2_METHOD(remove_WebResourceRequested, Token token);
    WV2_METHOD(AddWebResourceRequestedFilter, LPCWSTR uri, int resourceContext);
    WV2_METHOD(RemoveWebResourceRequestedFilter, LPCWSTR uri, int resourceContext);
    WV2_METHOD(add_WindowCloseRequested, IUnknown* handler, Token* token);
    WV2_METHOD(remove_WindowCloseRequested, Token token);
};
inline constexpr GUID IID_WebView = Iid(0x76ECEACB, 0x0462, 0x4D94, 0xAC83423A6793775Eull);

// All 7 methods.
struct ICoreWebView2_2 : ICoreWebView2
{
    WV2_METHOD(add_WebResourceResponseReceived, IUnknown* handler, Token* token);
    WV2_METHOD(remove_WebResourceResponseReceived, Token token);
    WV2_METHOD(NavigateWithWebResourceRequest, IUnknown* request);
    WV2_METHOD(add_DOMContentLoaded, IUnknown* handler, Token* token);
    WV2_METHOD(remove_DOMContentLoaded, Token token);
    WV2_METHOD(get_CookieManager, IUnknown** cookieManager);
    WV2_METHOD(get_Environment, ICoreWebView2Environment** environment);
};
inline constexpr GUID IID_WebView2 = Iid(0x9E8F0CF8, 0xE670, 0x4B5E, 0xB2BC73E061E3184Cull);

// All 5 methods.
struct ICoreWebView2_3 : ICoreWebView2_2
{
    WV2_METHOD(TrySuspend, IUnknown* handler);
    WV2_METHOD(Resume);
    WV2_METHOD(get_IsSuspended, BOOL* isSuspended);
    WV2_METHOD(SetVirtualHostNameToFolderMapping, LPCWSTR hostName, LPCWSTR folderPath,
               HostResourceAccessKind accessKind);
    WV2_METHOD(ClearVirtualHostNameToFolderMapping, LPCWSTR hostName);
};
inline constexpr GUID IID_WebView3 = Iid(0xA0D6DF20, 0x3B92, 0x416D, 0xAA0C437A9C727857ull);

// Stops after slot 75 (remove_DownloadStarting, slot 76, is never called).
struct ICoreWebView2_4 : ICoreWebView2_3
{
    WV2_METHOD(add_FrameCreated, IUnknown* handler, Token* token);
    WV2_METHOD(remove_FrameCreated, Token token);
    WV2_METHOD(add_DownloadStarting, ICoreWebView2DownloadStartingEventHandler* handler,
               Token* token);
};
inline constexpr GUID IID_WebView4 = Iid(0x20D02D59, 0x6DF2, 0x42DC, 0xBD06F98A694B1302ull);

// Stops after slot 14 (the interface has 21 slots).
struct ICoreWebView2Settings : IUnknown
{
    WV2_METHOD(get_IsScriptEnabled, BOOL* value);
    WV2_METHOD(put_IsScriptEnabled, BOOL value);
    WV2_METHOD(get_IsWebMessageEnabled, BOOL* value);
    WV2_METHOD(put_IsWebMessageEnabled, BOOL value);
    WV2_METHOD(get_AreDefaultScriptDialogsEnabled, BOOL* value);
    WV2_METHOD(put_AreDefaultScriptDialogsEnabled, BOOL value);
    WV2_METHOD(get_IsStatusBarEnabled, BOOL* value);
    WV2_METHOD(put_IsStatusBarEnabled, BOOL value);
    WV2_METHOD(get_AreDevToolsEnabled, BOOL* value);
    WV2_METHOD(put_AreDevToolsEnabled, BOOL value);
    WV2_METHOD(get_AreDefaultContextMenusEnabled, BOOL* value);
    WV2_METHOD(put_AreDefaultContextMenusEnabled, BOOL value);
};

// ---- Event arguments -----------------------------------------------------------

// Stops after slot 4 (the interface has 6 slots).
struct ICoreWebView2WebMessageReceivedEventArgs : IUnknown
{
    WV2_METHOD(get_Source, LPWSTR* source);
    WV2_METHOD(get_WebMessageAsJson, LPWSTR* webMessageAsJson);
};
// Stops after slot 8 (the interface has 10 slots).
struct ICoreWebView2NavigationStartingEventArgs : IUnknown
{
    WV2_METHOD(get_Uri, LPWSTR* uri);
    WV2_METHOD(get_IsUserInitiated, BOOL* isUserInitiated);
    WV2_METHOD(get_IsRedirected, BOOL* isRedirected);
    WV2_METHOD(get_RequestHeaders, IUnknown** requestHeaders);
    WV2_METHOD(get_Cancel, BOOL* cancel);
    WV2_METHOD(put_Cancel, BOOL cancel);
};
// Stops after slot 4 (the interface has 6 slots).
struct ICoreWebView2NavigationCompletedEventArgs : IUnknown
{
    WV2_METHOD(get_IsSuccess, BOOL* isSuccess);
    WV2_METHOD(get_WebErrorStatus, int* webErrorStatus);
};
// Stops after slot 6 (the interface has 11 slots). NewWindow and Handled put
// before get.
struct ICoreWebView2NewWindowRequestedEventArgs : IUnknown
{
    WV2_METHOD(get_Uri, LPWSTR* uri);
    WV2_METHOD(put_NewWindow, ICoreWebView2* newWindow);
    WV2_METHOD(get_NewWindow, ICoreWebView2** newWindow);
    WV2_METHOD(put_Handled, BOOL handled);
};
// Stops after slot 9 (the interface has 11 slots).
struct ICoreWebView2DownloadStartingEventArgs : IUnknown
{
    WV2_METHOD(get_DownloadOperation, ICoreWebView2DownloadOperation** downloadOperation);
    WV2_METHOD(get_Cancel, BOOL* cancel);
    WV2_METHOD(put_Cancel, BOOL cancel);
    WV2_METHOD(get_ResultFilePath, LPWSTR* resultFilePath);
    WV2_METHOD(put_ResultFilePath, LPCWSTR resultFilePath);
    WV2_METHOD(get_Handled, BOOL* handled);
    WV2_METHOD(put_Handled, BOOL handled);
};
// Stops after slot 11 (the interface has 22 slots).
struct ICoreWebView2DownloadOperation : IUnknown
{
    WV2_METHOD(add_BytesReceivedChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_BytesReceivedChanged, Token token);
    WV2_METHOD(add_EstimatedEndTimeChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_EstimatedEndTimeChanged, Token token);
    WV2_METHOD(add_StateChanged, IUnknown* handler, Token* token);
    WV2_METHOD(remove_StateChanged, Token token);
    WV2_METHOD(get_Uri, LPWSTR* uri);
    WV2_METHOD(get_ContentDisposition, LPWSTR* contentDisposition);
    WV2_METHOD(get_MimeType, LPWSTR* mimeType);
};

#undef WV2_METHOD

} // namespace plugfw::wv2
