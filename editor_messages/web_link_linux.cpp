// xdg-open started directly (no shell), in its own session, with the standard
// streams on /dev/null and none of the host's other descriptors, and reaped
// by a detached thread so that it leaves no zombie behind.
#include "editor_messages/web_link.h"
#include "framework/child_process.h"

#include <sys/types.h>
#include <sys/wait.h>

#include <thread>

namespace ostrel
{

void OpenUrlWithDefaultHandler(const std::string& url)
{
    plugfw::ChildProcessOptions options;
    options.searchPath = true;
    options.newSession = true;
    const pid_t pid = plugfw::SpawnChildProcess("xdg-open", {"xdg-open", url}, options);
    if (pid <= 0)
        return;
    try
    {
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    }
    catch (...)
    {
        // No thread to reap it: the host's own SIGCHLD handling will.
    }
}

} // namespace ostrel
