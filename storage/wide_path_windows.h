// UTF-8 paths (what the store passes around) to the UTF-16 paths the wide
// Win32 file functions take, and back. Windows files only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ostrel
{

// Empty for empty or invalid UTF-8 (a path we must not guess at).
inline std::wstring widePath(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), size);
    return wide;
}

inline std::string utf8Path(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

} // namespace ostrel
