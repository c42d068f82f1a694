// Test helpers that make a write fail as it fails on a user's machine: a full
// or read-only disk (a tiny tmpfs in a mount namespace of the test's own), a
// limit on a file's size, and a folder the user may not write to even when
// the tests run as root.
#pragma once

#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

namespace ostrel::testing
{

// Mounts made from here on are the process's own and go with it, whatever
// becomes of the test. False where the process may not make them.
inline bool OwnMountNamespace()
{
    static const bool made = ::unshare(CLONE_NEWNS) == 0 &&
                             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return made;
}

inline bool MountTinyDisk(const std::string& folder, size_t bytes)
{
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    return OwnMountNamespace() &&
           ::mount("ostrel-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

inline bool RemountReadOnly(const std::string& folder)
{
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

inline void Unmount(const std::string& folder)
{
    ::umount2(folder.c_str(), MNT_DETACH);
}

// While it lives, this thread obeys file permissions as any user does (root
// otherwise writes into a folder whose write bits are off).
class PermissionsObeyed
{
public:
    PermissionsObeyed()
    {
        if (::syscall(SYS_capget, &mHeader, mSaved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {mSaved[0], mSaved[1]};
        const unsigned mask =
            (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        lowered[0].effective &= ~mask;
        mLowered = ::syscall(SYS_capset, &mHeader, lowered) == 0;
    }
    ~PermissionsObeyed()
    {
        if (mLowered)
            ::syscall(SYS_capset, &mHeader, mSaved);
    }
    PermissionsObeyed(const PermissionsObeyed&) = delete;
    PermissionsObeyed& operator=(const PermissionsObeyed&) = delete;

private:
    __user_cap_header_struct mHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct mSaved[2] = {};
    bool mLowered = false;
};

// While it lives, no file of the process may grow past `bytes`: a write past
// it fails (EFBIG) instead of killing the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        mHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &mSaved);
        rlimit limited = mSaved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &mSaved);
        ::signal(SIGXFSZ, mHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit mSaved{};
    sighandler_t mHandler = SIG_DFL;
};

} // namespace ostrel::testing
