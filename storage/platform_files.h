// The few platform file operations the atomic file store is built on
// (storage/platform_files_linux.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "storage/write_failure.h"

namespace ostrel::platform_files
{

// The current process id in decimal.
std::string processIdText();

// What a system error code (errno, GetLastError) means for a write, and the
// same for the calling thread's last error. Calls below that fail leave
// that last error saying why.
WriteFailure failureOf(int systemError);
WriteFailure lastFailure();

enum class ReadResult
{
    Read,     // `content` holds the whole file
    TooLarge, // the file holds more than the limit; nothing was kept
    Failed,   // missing, not a regular file, or a read error
};

// Reads the regular file `path` into `content`, refusing a file of more than
// `maxBytes` before reading it (and when it grows past the limit while being
// read). Never blocks on a pipe or device that stands where a file should be.
ReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& content);

enum class CreateResult
{
    Written,   // created, written completely and on disk
    NameTaken, // something (a file, a link, a folder) already has this name
    Failed,    // any other error; a partly written file has been removed
};

// Creates `path` as a new file that only the user can read and write, never
// through a symbolic link and never over an existing entry, writes all of
// `bytes` and forces them to disk.
CreateResult writeNewFileDurably(const std::string& path, std::string_view bytes);

// Replaces `target` by `source` in one step and forces the change to disk.
// False when the replacement did not happen.
bool replaceFile(const std::string& source, const std::string& target);

void removeFile(const std::string& path);

// The folder part of `path` ("." for a bare name) and the name part.
std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

// Removes the entries of `folder` that `isOurs` accepts by name and that are
// regular files (not links) of the current user, last modified at least
// `minAge` ago. Errors are ignored.
void removeStaleFiles(const std::string& folder,
                      const std::function<bool(std::string_view name)>& isOurs,
                      std::chrono::seconds minAge);

} // namespace ostrel::platform_files
