// Child processes on Linux: posix_spawn with file actions that place the
// standard streams and the handed descriptor, and close every other one.
#include "framework/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

extern char** environ;

namespace plugfw
{

int SpawnChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildProcessOptions& options)
{
    std::vector<std::string> argumentCopies;
    std::vector<char*> argv;
    try
    {
        argumentCopies = arguments;
        for (std::string& a : argumentCopies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
    }
    catch (...)
    {
        return -1;
    }

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
    {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    int firstClosed = STDERR_FILENO + 1;
    if (options.handedFd >= 0)
    {
        const int target = options.handedFdNumber;
        // dup2 onto another number clears close-on-exec on the copy; when the
        // descriptor already sits on that number, a move through a spare
        // number does the same.
        if (options.handedFd == target)
        {
            posix_spawn_file_actions_adddup2(&actions, options.handedFd, target + 1);
            posix_spawn_file_actions_adddup2(&actions, target + 1, target);
        }
        else
        {
            posix_spawn_file_actions_adddup2(&actions, options.handedFd, target);
        }
        firstClosed = target + 1;
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // None of the host's other descriptors (audio devices, project files).
    posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);
#else
    (void)firstClosed;
#endif
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#if defined(POSIX_SPAWN_SETSID)
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
#endif
    posix_spawnattr_setflags(&attributes, flags);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    pid_t pid = -1;
    const int result =
        options.searchPath
            ? posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
            : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0 || pid <= 0)
        return -1;
    return static_cast<int>(pid);
}

} // namespace plugfw
