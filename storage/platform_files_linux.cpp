#include "storage/platform_files.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
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

} // namespace

std::string processIdText()
{
    return std::to_string(::getpid());
}

WriteFailure failureOf(int systemError)
{
    switch (systemError)
    {
    case 0:
        return WriteFailure::None;
    case ENOSPC:
    case EDQUOT:
        return WriteFailure::DiskFull;
    case EFBIG:
        return WriteFailure::TooLarge;
    case EACCES:
    case EPERM:
        return WriteFailure::NotPermitted;
    case EROFS:
        return WriteFailure::ReadOnly;
    default:
        return WriteFailure::Other;
    }
}

WriteFailure lastFailure()
{
    return failureOf(errno);
}

ReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& content)
{
    content.clear();
    // Non-blocking, so that a FIFO planted under a file's name cannot stall
    // the main thread waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return ReadResult::Failed;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        return ReadResult::Failed;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes)
    {
        ::close(fd);
        return ReadResult::TooLarge;
    }
    content.reserve(static_cast<size_t>(info.st_size));
    ReadResult result = ReadResult::Read;
    char block[4096];
    for (;;)
    {
        const ssize_t got = ::read(fd, block, sizeof(block));
        if (got == 0)
            break;
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            result = ReadResult::Failed;
            break;
        }
        if (static_cast<size_t>(got) > maxBytes - content.size())
        {
            result = ReadResult::TooLarge;
            break;
        }
        content.append(block, static_cast<size_t>(got));
    }
    ::close(fd);
    if (result != ReadResult::Read)
        content.clear();
    return result;
}

CreateResult writeNewFileDurably(const std::string& path, std::string_view bytes)
{
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return errno == EEXIST ? CreateResult::NameTaken : CreateResult::Failed;
    bool ok = writeAll(fd, bytes);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        return CreateResult::Written;
    // The file is ours (O_EXCL), so removing it can hit nothing else.
    const int why = errno;
    ::unlink(path.c_str());
    errno = why;
    return CreateResult::Failed;
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

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void removeStaleFiles(const std::string& folder,
                      const std::function<bool(std::string_view name)>& isOurs,
                      std::chrono::seconds minAge)
{
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return;
    const int folderFd = ::dirfd(listing);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(listing))
    {
        if (!isOurs(entry->d_name))
            continue;
        struct stat info = {};
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // A link, a folder or another user's file under our pattern is not
        // a temporary we left, whatever its name says.
        if (!S_ISREG(info.st_mode) || info.st_uid != user)
            continue;
        // A modification time in the future (a clock set back) is not stale.
        if (now.tv_sec - info.st_mtim.tv_sec < minAge.count())
            continue;
        ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(listing);
}

} // namespace ostrel::platform_files
