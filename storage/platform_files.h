// The few platform file operations the atomic file store is built on
// (storage/platform_files_linux.cpp).
#pragma once

#include <string>
#include <string_view>

namespace ostrel::platform_files
{

// The current process id in decimal.
std::string processIdText();

// Creates or truncates `path`, writes all of `bytes` and forces them to disk.
// False when any step failed.
bool writeDurably(const std::string& path, std::string_view bytes);

// Replaces `target` by `source` in one step and forces the change to disk.
// False when the replacement did not happen.
bool replaceFile(const std::string& source, const std::string& target);

void removeFile(const std::string& path);

} // namespace ostrel::platform_files
