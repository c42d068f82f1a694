#include "storage/atomic_file_store.h"

#include <cstdio>

#include "storage/platform_files.h"

namespace ostrel
{

std::string ReadWholeFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return {};
    std::string content;
    char block[4096];
    for (;;)
    {
        const size_t got = std::fread(block, 1, sizeof(block), file);
        if (got == 0)
            break;
        content.append(block, got);
    }
    // A read error (a folder, an I/O error) must not pass for a short file.
    if (std::ferror(file) != 0)
        content.clear();
    std::fclose(file);
    return content;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    // The process id keeps two hosts saving at the same moment apart; within
    // one process all writes come from the main thread.
    const std::string temporary = path + "." + platform_files::processIdText() + ".tmp";
    // A short write (a full disk) must not replace a good file with a cut one,
    // and a temporary file that will never be renamed is only litter.
    if (!platform_files::writeDurably(temporary, bytes) ||
        !platform_files::replaceFile(temporary, path))
        platform_files::removeFile(temporary);
}

} // namespace ostrel
