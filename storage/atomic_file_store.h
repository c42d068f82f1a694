// Whole-file reads and writes for the product's small per-user files. A write
// replaces the file in one step, so a reader in any process or thread sees
// either the old or the new whole content. Callers treat an empty read as a
// missing file; a write says why it failed, so that the user can be told.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/write_failure.h"

namespace ostrel
{

// The file's raw bytes; empty when it is not a readable regular file or a
// read fails part-way (a half-read file is as good as none).
std::string ReadWholeFile(const std::string& path);

// The same for a file that can sensibly hold at most `maxBytes`: a larger
// file is refused unread and reads as empty.
std::string ReadWholeFile(const std::string& path, size_t maxBytes);

// Writes `bytes` to a new temporary file of its own beside `path` (the name
// of `path`, ".", pid, ".", six random letters or digits, ".tmp"; created
// exclusively, readable by the user only), flushes it to disk and renames it
// over `path`. Writers in any number of threads and processes therefore never
// share a temporary file. If anything fails the old file is left as it was
// and the temporary file is removed. Temporaries of `path` that a killed
// writer left behind (older than a minute) are removed first. Returns
// WriteFailure::None once the new content is in place, else why it is not.
WriteFailure WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace ostrel
