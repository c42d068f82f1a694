#include "webview/editor_failure_windows.h"

#include <cstdio>

namespace plugfw
{

namespace
{

constexpr wchar_t kReopen[] = L"Close and reopen this editor once that is put right.";
constexpr wchar_t kPluginWorks[] = L"The plug-in itself works without its editor.";

std::wstring Code(HRESULT result)
{
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"0x%08lX", static_cast<unsigned long>(result));
    return text;
}

std::wstring Cause(EditorFailure failure, const std::wstring& detail)
{
    switch (failure)
    {
    case EditorFailure::NoRuntime:
        return L"This editor needs the Microsoft Edge WebView2 Runtime, which was not "
               L"found.\r\n\r\n"
               L"Get it free from Microsoft at "
               L"https://developer.microsoft.com/microsoft-edge/webview2/ "
               L"(\"Evergreen Standalone Installer\") and install it.";
    case EditorFailure::Apartment:
        return L"The host runs this editor on a thread whose COM apartment is multithreaded; the "
               L"web view needs a single-threaded one. Ask the host's maker, or try another host.";
    case EditorFailure::DataFolder:
        return L"The web view's data folder cannot be created or written:\r\n" + detail +
               L"\r\n\r\nCheck that the folder (or the drive) is writable and not full.";
    case EditorFailure::RuntimeLoad:
        return L"The Microsoft Edge WebView2 Runtime was found but would not load:\r\n" + detail +
               L"\r\n\r\nRepair or reinstall the runtime (Windows Settings, Apps).";
    case EditorFailure::RuntimeStart:
        return L"The Microsoft Edge WebView2 Runtime could not start its browser. Repair or "
               L"reinstall the runtime (Windows Settings, Apps), or restart the computer.";
    case EditorFailure::Controller:
        return L"The browser started but could not make its view inside the host's window.";
    case EditorFailure::Bridge:
        return L"The editor page's connection to the plug-in could not be installed in the "
               L"browser, so the page would not work.";
    case EditorFailure::PageMissing:
        return L"The editor page is missing from the plug-in's folder:\r\n" + detail +
               L"\r\n\r\nReinstall the plug-in (the whole Ostrel.vst3 folder).";
    case EditorFailure::PageLoad:
        return L"The editor page was found but did not load" +
               (detail.empty() ? std::wstring(L".") : L" (" + detail + L").");
    }
    return L"The editor could not start.";
}

} // namespace

std::wstring EditorFailureText(EditorFailure failure, HRESULT result, const std::wstring& detail)
{
    return Cause(failure, detail) + L"\r\n\r\n" + kReopen + L" " + kPluginWorks +
           L"\r\n\r\n(error " + Code(result) + L")";
}

} // namespace plugfw
