// The helper process on Linux: started with posix_spawn (no shell), its end
// of an AF_UNIX socket pair as its only inherited descriptor beside the
// standard streams, and reaped without ever blocking the host: a closed
// helper is collected by later non-blocking waits, and killed if it has not
// gone a few seconds after its stream closed.
#include "webview/helper_connection.h"

#include "framework/child_process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace plugfw
{

namespace
{

using Clock = std::chrono::steady_clock;

// How long a closed helper may take to exit before it is killed.
constexpr auto kExitGrace = std::chrono::seconds(3);

struct ClosedHelper
{
    pid_t pid;
    Clock::time_point deadline;
    bool killed;
};

// Shared by every instance in the process (closing and reaping happen on
// the hosts' main threads, but instances may be driven by private timer
// threads too).
std::mutex& ReaperMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<ClosedHelper>& ClosedHelpers()
{
    static std::vector<ClosedHelper> helpers;
    return helpers;
}

void RememberClosedHelper(pid_t pid)
{
    std::lock_guard<std::mutex> lock(ReaperMutex());
    try
    {
        ClosedHelpers().push_back({pid, Clock::now() + kExitGrace, false});
    }
    catch (...)
    {
        // Without room to remember it, the helper still exits on its own
        // when its stream closes; it stays a zombie until the host exits.
    }
}

class SocketHelperConnection final : public HelperConnection
{
public:
    SocketHelperConnection(int fd, pid_t pid) : mFd(fd), mPid(pid) {}

    ~SocketHelperConnection() override
    {
        if (mFd >= 0)
        {
            shutdown(mFd, SHUT_RDWR);
            close(mFd);
        }
        if (mPid > 0)
            RememberClosedHelper(mPid);
        ReapClosedWebViewHelpers();
    }

    long Write(const char* bytes, size_t count) override
    {
        for (;;)
        {
            const ssize_t n = send(mFd, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0)
                return static_cast<long>(n);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            return -1;
        }
    }

    long Read(char* bytes, size_t capacity) override
    {
        for (;;)
        {
            const ssize_t n = recv(mFd, bytes, capacity, MSG_DONTWAIT);
            if (n > 0)
                return static_cast<long>(n);
            if (n == 0)
                return -1; // the helper closed its end
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            return -1;
        }
    }

private:
    int mFd;
    pid_t mPid;
};

// Where the helper's end of the socket is placed in the helper.
constexpr int kHelperSocketFd = 3;

} // namespace

std::unique_ptr<HelperConnection> HelperConnectionOverSocket(int socketFd, int processId)
{
    if (socketFd < 0)
        return nullptr;
    const int flags = fcntl(socketFd, F_GETFL);
    if (flags >= 0)
        fcntl(socketFd, F_SETFL, flags | O_NONBLOCK);
    try
    {
        return std::make_unique<SocketHelperConnection>(socketFd, static_cast<pid_t>(processId));
    }
    catch (...)
    {
        close(socketFd);
        return nullptr;
    }
}

std::unique_ptr<HelperConnection> StartWebViewHelper(const std::string& helperPath,
                                                     unsigned long parentWindow)
{
    if (helperPath.empty() || access(helperPath.c_str(), X_OK) != 0)
        return nullptr;
    int fds[2];
    // Close-on-exec on both ends: no other program the host starts inherits
    // them; the spawn below hands the helper its end explicitly.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return nullptr;
    const int ours = fds[0];
    const int theirs = fds[1];

    ChildProcessOptions options;
    options.handedFd = theirs;
    options.handedFdNumber = kHelperSocketFd;
    // The product logs nothing: the browser's own chatter stays out of the
    // host's console too (the helper's standard streams are on /dev/null).
    const pid_t pid = SpawnChildProcess(helperPath,
                                        {helperPath, std::to_string(kHelperSocketFd),
                                         std::to_string(parentWindow), std::to_string(getpid())},
                                        options);
    close(theirs);
    if (pid <= 0)
    {
        close(ours);
        return nullptr;
    }
    auto connection = HelperConnectionOverSocket(ours, pid);
    if (!connection)
    {
        kill(pid, SIGKILL);
        RememberClosedHelper(pid);
    }
    return connection;
}

void ReapClosedWebViewHelpers()
{
    std::lock_guard<std::mutex> lock(ReaperMutex());
    auto& helpers = ClosedHelpers();
    const auto now = Clock::now();
    for (size_t i = 0; i < helpers.size();)
    {
        ClosedHelper& h = helpers[i];
        const pid_t r = waitpid(h.pid, nullptr, WNOHANG);
        // Gone: exited and collected now, or collected by someone else (a
        // host that reaps every child, or ignores SIGCHLD).
        if (r == h.pid || (r < 0 && errno == ECHILD))
        {
            helpers[i] = helpers.back();
            helpers.pop_back();
            continue;
        }
        if (!h.killed && now >= h.deadline)
        {
            kill(h.pid, SIGKILL);
            h.killed = true;
        }
        ++i;
    }
}

int PendingWebViewHelpers()
{
    std::lock_guard<std::mutex> lock(ReaperMutex());
    return static_cast<int>(ClosedHelpers().size());
}

std::string WebViewModuleFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&WebViewModuleFolder), &info) == 0 ||
        info.dli_fname == nullptr || info.dli_fname[0] == '\0')
        return {};
    std::string path = info.dli_fname;
    // A module loaded by a relative path: the helper and the page folder
    // are looked up from the absolute one.
    if (path.front() != '/')
    {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr)
            return {};
        path = std::string(cwd) + "/" + path;
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
}

} // namespace plugfw
