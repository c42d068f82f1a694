// Opening a web address with the user's default handler on Windows. Without
// a connection there is nothing to open it with, so nothing is started.
#include "editor_messages/web_link.h"

#include <windows.h>

#include <shellapi.h>
#include <wininet.h>

namespace ostrel
{

void OpenUrlWithDefaultHandler(const std::string& url)
{
    DWORD flags = 0;
    if (!InternetGetConnectedState(&flags, 0))
        return;
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.data(),
                                         static_cast<int>(url.size()), nullptr, 0);
    if (size <= 0)
        return;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.data(), static_cast<int>(url.size()),
                        wide.data(), size);
    ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace ostrel
