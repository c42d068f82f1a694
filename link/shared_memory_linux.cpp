#include "link/shared_memory.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel
{
namespace
{

std::string objectName(const std::string& name)
{
    return "/" + name;
}

std::string failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool map(int fd, size_t size, SharedMemoryMapping& out, std::string& why)
{
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED)
    {
        why = failure("mmap");
        close(fd);
        return false;
    }
    out.base = base;
    out.size = size;
    out.handle = fd;
    return true;
}

} // namespace

SharedMemoryOpen openSharedMemory(const std::string& name, size_t size, SharedMemoryMapping& out,
                                  std::string& why, bool mayCreate)
{
    out = SharedMemoryMapping{};
    if (name.empty() || name.find('/') != std::string::npos || size == 0)
    {
        why = "not a valid name or size";
        return SharedMemoryOpen::Failed;
    }
    const std::string path = objectName(name);
    // Owner only; O_NOFOLLOW so that a link planted under the name is never
    // followed to somebody else's file.
    int fd = mayCreate
                 ? shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                 : -1;
    if (!mayCreate)
        errno = EEXIST;
    if (fd >= 0)
    {
        // The umask may have taken bits away; nothing may have added any.
        if (fchmod(fd, 0600) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
        {
            why = failure("creating the shared memory");
            close(fd);
            shm_unlink(path.c_str());
            return SharedMemoryOpen::Failed;
        }
        return map(fd, size, out, why) ? SharedMemoryOpen::Created : SharedMemoryOpen::Failed;
    }
    if (errno != EEXIST)
    {
        why = failure("shm_open");
        return SharedMemoryOpen::Failed;
    }
    fd = shm_open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0)
    {
        why = failure("shm_open");
        return SharedMemoryOpen::Failed;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0)
    {
        why = failure("fstat");
        close(fd);
        return SharedMemoryOpen::Failed;
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 0777) != 0600)
    {
        why = "the shared memory belongs to another user or others may write it";
        close(fd);
        return SharedMemoryOpen::Refused;
    }
    // Its creator sizes it right after making it: wait a moment for that.
    for (int i = 0; i < 100 && info.st_size == 0; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (fstat(fd, &info) != 0)
            break;
    }
    if (static_cast<size_t>(info.st_size) != size)
    {
        why = "the shared memory has another size (another version of the plug-in?)";
        close(fd);
        return SharedMemoryOpen::Refused;
    }
    return map(fd, size, out, why) ? SharedMemoryOpen::Opened : SharedMemoryOpen::Failed;
}

void closeSharedMemory(SharedMemoryMapping& mapping)
{
    if (mapping.base != nullptr)
        munmap(mapping.base, mapping.size);
    if (mapping.handle >= 0)
        close(static_cast<int>(mapping.handle));
    mapping = SharedMemoryMapping{};
}

std::vector<std::string> listSharedMemory(const std::string& prefix)
{
    std::vector<std::string> names;
    DIR* folder = opendir("/dev/shm");
    if (folder == nullptr)
        return names;
    while (const dirent* entry = readdir(folder))
    {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(name);
    }
    closedir(folder);
    return names;
}

void removeSharedMemory(const std::string& name)
{
    shm_unlink(objectName(name).c_str());
}

} // namespace ostrel
