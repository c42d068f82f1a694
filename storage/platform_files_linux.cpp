#include "storage/platform_files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ostrel::platform_files
{
namespace
{

bool writeAll(int fd, std::string_view bytes)
{
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0)
    {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

std::string processIdText()
{
    return std::to_string(::getpid());
}

bool writeDurably(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

bool replaceFile(const std::string& source, const std::string& target)
{
    if (::rename(source.c_str(), target.c_str()) != 0)
        return false;
    // The rename itself is only durable once the folder is on disk too.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
    {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void removeFile(const std::string& path)
{
    ::unlink(path.c_str());
}

} // namespace ostrel::platform_files
