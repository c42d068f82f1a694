// A UTF-8 path as the file system's own path type, so that file calls reach
// the same file on every platform (on Windows the narrow calls would read it
// in the system's code page).
#pragma once

#include <filesystem>
#include <string>

namespace ostrel::host
{

inline std::filesystem::path Utf8Path(const std::string& text)
{
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

} // namespace ostrel::host
