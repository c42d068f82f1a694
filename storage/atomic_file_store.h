// Whole-file reads and writes for the product's small per-user files. A write
// replaces the file in one step, so a reader in any process sees either the
// old or the new whole content. Every failure is silent: callers treat an
// empty read as a missing file. Main thread only.
#pragma once

#include <string>
#include <string_view>

namespace ostrel
{

// The file's raw bytes, read in blocks of 4096; empty when the file cannot be
// opened or a read fails part-way (a half-read file is as good as none).
std::string ReadWholeFile(const std::string& path);

// Writes `bytes` to path + "." + pid + ".tmp", flushes it to disk and renames
// it over `path`. If writing or flushing fails the old file is left as it was
// and the temporary file is removed; a failed rename also removes it.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace ostrel
