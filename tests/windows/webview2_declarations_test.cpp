// Our WebView2 declarations against the published interface table: every
// declared method sits in the vtable slot the table gives it, and every IID
// has the table's value. The numbers below are the table's, copied as data.
#include "webview/webview2_com_windows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{

using namespace plugfw::wv2;

// g++ (also for Windows) represents a pointer to a virtual member function as
// 1 + the method's byte offset in the vtable.
template <typename Method> long SlotOf(Method method)
{
    struct Representation
    {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(Method) == sizeof(Representation));
    Representation representation;
    std::memcpy(&representation, &method, sizeof representation);
    if ((representation.pointer & 1) == 0)
        return -1;
    return static_cast<long>((representation.pointer - 1) / sizeof(void*));
}

struct SlotCase
{
    const char* method;
    long declared;
    long table;
};

#define SLOT(interface, method, table)                                                             \
    SlotCase                                                                                       \
    {                                                                                              \
#interface "::" #method, SlotOf(&interface::method), table                                 \
    }

const SlotCase kSlots[] = {
    SLOT(IUnknown, AddRef, 1),
    SLOT(IUnknown, Release, 2),
    SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2ExecuteScriptCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationStartingEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationCompletedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2DownloadStartingEventHandler, Invoke, 3),
    SLOT(ICoreWebView2FocusChangedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2MoveFocusRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2MoveFocusRequestedEventArgs, get_Reason, 3),
    SLOT(ICoreWebView2MoveFocusRequestedEventArgs, get_Handled, 4),
    SLOT(ICoreWebView2MoveFocusRequestedEventArgs, put_Handled, 5),
    SLOT(ICoreWebView2EnvironmentOptions, get_AdditionalBrowserArguments, 3),
    SLOT(ICoreWebView2EnvironmentOptions, put_AdditionalBrowserArguments, 4),
    SLOT(ICoreWebView2EnvironmentOptions, get_Language, 5),
    SLOT(ICoreWebView2EnvironmentOptions, put_Language, 6),
    SLOT(ICoreWebView2EnvironmentOptions, get_TargetCompatibleBrowserVersion, 7),
    SLOT(ICoreWebView2EnvironmentOptions, put_TargetCompatibleBrowserVersion, 8),
    SLOT(ICoreWebView2EnvironmentOptions, get_AllowSingleSignOnUsingOSPrimaryAccount, 9),
    SLOT(ICoreWebView2EnvironmentOptions, put_AllowSingleSignOnUsingOSPrimaryAccount, 10),
    SLOT(ICoreWebView2EnvironmentOptions2, get_ExclusiveUserDataFolderAccess, 3),
    SLOT(ICoreWebView2EnvironmentOptions2, put_ExclusiveUserDataFolderAccess, 4),
    SLOT(ICoreWebView2EnvironmentOptions3, get_IsCustomCrashReportingEnabled, 3),
    SLOT(ICoreWebView2EnvironmentOptions3, put_IsCustomCrashReportingEnabled, 4),
    SLOT(ICoreWebView2Environment, CreateCoreWebView2Controller, 3),
    SLOT(ICoreWebView2Controller, get_IsVisible, 3),
    SLOT(ICoreWebView2Controller, put_IsVisible, 4),
    SLOT(ICoreWebView2Controller, get_Bounds, 5),
    SLOT(ICoreWebView2Controller, put_Bounds, 6),
    SLOT(ICoreWebView2Controller, get_ZoomFactor, 7),
    SLOT(ICoreWebView2Controller, put_ZoomFactor, 8),
    SLOT(ICoreWebView2Controller, add_ZoomFactorChanged, 9),
    SLOT(ICoreWebView2Controller, remove_ZoomFactorChanged, 10),
    SLOT(ICoreWebView2Controller, SetBoundsAndZoomFactor, 11),
    SLOT(ICoreWebView2Controller, MoveFocus, 12),
    SLOT(ICoreWebView2Controller, add_MoveFocusRequested, 13),
    SLOT(ICoreWebView2Controller, remove_MoveFocusRequested, 14),
    SLOT(ICoreWebView2Controller, add_GotFocus, 15),
    SLOT(ICoreWebView2Controller, remove_GotFocus, 16),
    SLOT(ICoreWebView2Controller, add_LostFocus, 17),
    SLOT(ICoreWebView2Controller, remove_LostFocus, 18),
    SLOT(ICoreWebView2Controller, add_AcceleratorKeyPressed, 19),
    SLOT(ICoreWebView2Controller, remove_AcceleratorKeyPressed, 20),
    SLOT(ICoreWebView2Controller, get_ParentWindow, 21),
    SLOT(ICoreWebView2Controller, put_ParentWindow, 22),
    SLOT(ICoreWebView2Controller, NotifyParentWindowPositionChanged, 23),
    SLOT(ICoreWebView2Controller, Close, 24),
    SLOT(ICoreWebView2Controller, get_CoreWebView2, 25),
    SLOT(ICoreWebView2, get_Settings, 3),
    SLOT(ICoreWebView2, get_Source, 4),
    SLOT(ICoreWebView2, Navigate, 5),
    SLOT(ICoreWebView2, NavigateToString, 6),
    SLOT(ICoreWebView2, add_NavigationStarting, 7),
    SLOT(ICoreWebView2, remove_NavigationStarting, 8),
    SLOT(ICoreWebView2, add_ContentLoading, 9),
    SLOT(ICoreWebView2, remove_ContentLoading, 10),
    SLOT(ICoreWebView2, add_SourceChanged, 11),
    SLOT(ICoreWebView2, remove_SourceChanged, 12),
    SLOT(ICoreWebView2, add_HistoryChanged, 13),
    SLOT(ICoreWebView2, remove_HistoryChanged, 14),
    SLOT(ICoreWebView2, add_NavigationCompleted, 15),
    SLOT(ICoreWebView2, remove_NavigationCompleted, 16),
    SLOT(ICoreWebView2, add_FrameNavigationStarting, 17),
    SLOT(ICoreWebView2, remove_FrameNavigationStarting, 18),
    SLOT(ICoreWebView2, add_FrameNavigationCompleted, 19),
    SLOT(ICoreWebView2, remove_FrameNavigationCompleted, 20),
    SLOT(ICoreWebView2, add_ScriptDialogOpening, 21),
    SLOT(ICoreWebView2, remove_ScriptDialogOpening, 22),
    SLOT(ICoreWebView2, add_PermissionRequested, 23),
    SLOT(ICoreWebView2, remove_PermissionRequested, 24),
    SLOT(ICoreWebView2, add_ProcessFailed, 25),
    SLOT(ICoreWebView2, remove_ProcessFailed, 26),
    SLOT(ICoreWebView2, AddScriptToExecuteOnDocumentCreated, 27),
    SLOT(ICoreWebView2, RemoveScriptToExecuteOnDocumentCreated, 28),
    SLOT(ICoreWebView2, ExecuteScript, 29),
    SLOT(ICoreWebView2, CapturePreview, 30),
    SLOT(ICoreWebView2, Reload, 31),
    SLOT(ICoreWebView2, PostWebMessageAsJson, 32),
    SLOT(ICoreWebView2, PostWebMessageAsString, 33),
    SLOT(ICoreWebView2, add_WebMessageReceived, 34),
    SLOT(ICoreWebView2, remove_WebMessageReceived, 35),
    SLOT(ICoreWebView2, CallDevToolsProtocolMethod, 36),
    SLOT(ICoreWebView2, get_BrowserProcessId, 37),
    SLOT(ICoreWebView2, get_CanGoBack, 38),
    SLOT(ICoreWebView2, get_CanGoForward, 39),
    SLOT(ICoreWebView2, GoBack, 40),
    SLOT(ICoreWebView2, GoForward, 41),
    SLOT(ICoreWebView2, GetDevToolsProtocolEventReceiver, 42),
    SLOT(ICoreWebView2, Stop, 43),
    SLOT(ICoreWebView2, add_NewWindowRequested, 44),
    SLOT(ICoreWebView2, remove_NewWindowRequested, 45),
    SLOT(ICoreWebView2, add_DocumentTitleChanged, 46),
    SLOT(ICoreWebView2, remove_DocumentTitleChanged, 47),
    SLOT(ICoreWebView2, get_DocumentTitle, 48),
    SLOT(ICoreWebView2, AddHostObjectToScript, 49),
    SLOT(ICoreWebView2, RemoveHostObjectFromScript, 50),
    SLOT(ICoreWebView2, OpenDevToolsWindow, 51),
    SLOT(ICoreWebView2, add_ContainsFullScreenElementChanged, 52),
    SLOT(ICoreWebView2, remove_ContainsFullScreenElementChanged, 53),
    SLOT(ICoreWebView2, get_ContainsFullScreenElement, 54),
    SLOT(ICoreWebView2, add_WebResourceRequested, 55),
    SLOT(ICoreWebView2, remove_WebResourceRequested, 56),
    SLOT(ICoreWebView2, AddWebResourceRequestedFilter, 57),
    SLOT(ICoreWebView2, RemoveWebResourceRequestedFilter, 58),
    SLOT(ICoreWebView2, add_WindowCloseRequested, 59),
    SLOT(ICoreWebView2, remove_WindowCloseRequested, 60),
    SLOT(ICoreWebView2_2, add_WebResourceResponseReceived, 61),
    SLOT(ICoreWebView2_2, remove_WebResourceResponseReceived, 62),
    SLOT(ICoreWebView2_2, NavigateWithWebResourceRequest, 63),
    SLOT(ICoreWebView2_2, add_DOMContentLoaded, 64),
    SLOT(ICoreWebView2_2, remove_DOMContentLoaded, 65),
    SLOT(ICoreWebView2_2, get_CookieManager, 66),
    SLOT(ICoreWebView2_2, get_Environment, 67),
    SLOT(ICoreWebView2_3, TrySuspend, 68),
    SLOT(ICoreWebView2_3, Resume, 69),
    SLOT(ICoreWebView2_3, get_IsSuspended, 70),
    SLOT(ICoreWebView2_3, SetVirtualHostNameToFolderMapping, 71),
    SLOT(ICoreWebView2_3, ClearVirtualHostNameToFolderMapping, 72),
    SLOT(ICoreWebView2_4, add_FrameCreated, 73),
    SLOT(ICoreWebView2_4, remove_FrameCreated, 74),
    SLOT(ICoreWebView2_4, add_DownloadStarting, 75),
    SLOT(ICoreWebView2Settings, get_IsScriptEnabled, 3),
    SLOT(ICoreWebView2Settings, put_IsScriptEnabled, 4),
    SLOT(ICoreWebView2Settings, get_IsWebMessageEnabled, 5),
    SLOT(ICoreWebView2Settings, put_IsWebMessageEnabled, 6),
    SLOT(ICoreWebView2Settings, get_AreDefaultScriptDialogsEnabled, 7),
    SLOT(ICoreWebView2Settings, put_AreDefaultScriptDialogsEnabled, 8),
    SLOT(ICoreWebView2Settings, get_IsStatusBarEnabled, 9),
    SLOT(ICoreWebView2Settings, put_IsStatusBarEnabled, 10),
    SLOT(ICoreWebView2Settings, get_AreDevToolsEnabled, 11),
    SLOT(ICoreWebView2Settings, put_AreDevToolsEnabled, 12),
    SLOT(ICoreWebView2Settings, get_AreDefaultContextMenusEnabled, 13),
    SLOT(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, 14),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_Source, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_WebMessageAsJson, 4),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsUserInitiated, 4),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsRedirected, 5),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_RequestHeaders, 6),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Cancel, 7),
    SLOT(ICoreWebView2NavigationStartingEventArgs, put_Cancel, 8),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_IsSuccess, 3),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_WebErrorStatus, 4),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_NewWindow, 4),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_NewWindow, 5),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, 6),
    SLOT(ICoreWebView2DownloadStartingEventArgs, get_DownloadOperation, 3),
    SLOT(ICoreWebView2DownloadStartingEventArgs, get_Cancel, 4),
    SLOT(ICoreWebView2DownloadStartingEventArgs, put_Cancel, 5),
    SLOT(ICoreWebView2DownloadStartingEventArgs, get_ResultFilePath, 6),
    SLOT(ICoreWebView2DownloadStartingEventArgs, put_ResultFilePath, 7),
    SLOT(ICoreWebView2DownloadStartingEventArgs, get_Handled, 8),
    SLOT(ICoreWebView2DownloadStartingEventArgs, put_Handled, 9),
    SLOT(ICoreWebView2DownloadOperation, add_BytesReceivedChanged, 3),
    SLOT(ICoreWebView2DownloadOperation, remove_BytesReceivedChanged, 4),
    SLOT(ICoreWebView2DownloadOperation, add_EstimatedEndTimeChanged, 5),
    SLOT(ICoreWebView2DownloadOperation, remove_EstimatedEndTimeChanged, 6),
    SLOT(ICoreWebView2DownloadOperation, add_StateChanged, 7),
    SLOT(ICoreWebView2DownloadOperation, remove_StateChanged, 8),
    SLOT(ICoreWebView2DownloadOperation, get_Uri, 9),
    SLOT(ICoreWebView2DownloadOperation, get_ContentDisposition, 10),
    SLOT(ICoreWebView2DownloadOperation, get_MimeType, 11),
};

TEST(WebView2Declarations, EveryMethodSitsInItsSlot)
{
    for (const SlotCase& c : kSlots)
        EXPECT_EQ(c.declared, c.table) << c.method;
}

struct IidCase
{
    const char* name;
    GUID declared;
    const char* table;
};

const IidCase kIids[] = {
    {"ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler", IID_EnvironmentCompletedHandler,
     "4E8A3389-C9D8-4BD2-B6B5-124FEE6CC14D"},
    {"ICoreWebView2CreateCoreWebView2ControllerCompletedHandler", IID_ControllerCompletedHandler,
     "6C4819F3-C9B7-4260-8127-C9F5BDE7F68C"},
    {"ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler",
     IID_AddScriptCompletedHandler, "B99369F3-9B11-47B5-BC6F-8E7895FCEA17"},
    {"ICoreWebView2ExecuteScriptCompletedHandler", IID_ExecuteScriptCompletedHandler,
     "49511172-CC67-4BCA-9923-137112F4C4CC"},
    {"ICoreWebView2WebMessageReceivedEventHandler", IID_WebMessageReceivedEventHandler,
     "57213F19-00E6-49FA-8E07-898EA01ECBD2"},
    {"ICoreWebView2NavigationStartingEventHandler", IID_NavigationStartingEventHandler,
     "9ADBE429-F36D-432B-9DDC-F8881FBD76E3"},
    {"ICoreWebView2NavigationCompletedEventHandler", IID_NavigationCompletedEventHandler,
     "D33A35BF-1C49-4F98-93AB-006E0533FE1C"},
    {"ICoreWebView2NewWindowRequestedEventHandler", IID_NewWindowRequestedEventHandler,
     "D4C185FE-C81C-4989-97AF-2D3FA7AB5651"},
    {"ICoreWebView2DownloadStartingEventHandler", IID_DownloadStartingEventHandler,
     "EFEDC989-C396-41CA-83F7-07F845A55724"},
    {"ICoreWebView2FocusChangedEventHandler", IID_FocusChangedEventHandler,
     "05EA24BD-6452-4926-9014-4B82B498135D"},
    {"ICoreWebView2MoveFocusRequestedEventHandler", IID_MoveFocusRequestedEventHandler,
     "69035451-6DC7-4CB8-9BCE-B2BD70AD289F"},
    {"ICoreWebView2EnvironmentOptions", IID_EnvironmentOptions,
     "2FDE08A8-1E9A-4766-8C05-95A9CEB9D1C5"},
    {"ICoreWebView2EnvironmentOptions2", IID_EnvironmentOptions2,
     "FF85C98A-1BA7-4A6B-90C8-2B752C89E9E2"},
    {"ICoreWebView2EnvironmentOptions3", IID_EnvironmentOptions3,
     "4A5C436E-A9E3-4A2E-89C3-910D3513F5CC"},
    {"ICoreWebView2Environment", IID_Environment, "B96D755E-0319-4E92-A296-23436F46A1FC"},
    {"ICoreWebView2Controller", IID_Controller, "4D00C0D1-9434-4EB6-8078-8697A560334F"},
    {"ICoreWebView2", IID_WebView, "76ECEACB-0462-4D94-AC83-423A6793775E"},
    {"ICoreWebView2_2", IID_WebView2, "9E8F0CF8-E670-4B5E-B2BC-73E061E3184C"},
    {"ICoreWebView2_3", IID_WebView3, "A0D6DF20-3B92-416D-AA0C-437A9C727857"},
    {"ICoreWebView2_4", IID_WebView4, "20D02D59-6DF2-42DC-BD06-F98A694B1302"},
};

TEST(WebView2Declarations, EveryIidIsTheTablesValue)
{
    for (const IidCase& c : kIids)
    {
        const GUID& g = c.declared;
        char text[40];
        std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                      static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                      g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
        EXPECT_EQ(std::string(text), c.table) << c.name;
    }
}

} // namespace
