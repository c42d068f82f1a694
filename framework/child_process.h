// Starting a child program directly, never through a shell, so no argument is
// ever read as shell syntax: its standard streams on /dev/null, none of the
// host's descriptors beside one it is handed on purpose, an empty signal mask
// and default signal handling. Reaping the child stays with the caller.
#pragma once

#include <string>
#include <vector>

namespace plugfw
{

struct ChildProcessOptions
{
    // Look a bare program name up in PATH instead of taking it as a path.
    bool searchPath = false;
    // A session of its own: no tie to the host's terminal or process group.
    bool newSession = false;
    // A descriptor handed to the child on the number handedFdNumber (-1: none).
    // It may be close-on-exec in the host.
    int handedFd = -1;
    int handedFdNumber = 3;
};

// Starts `program` with `arguments` (argv[0] first). Returns the child's
// process id, or -1 when it could not be started.
int SpawnChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildProcessOptions& options);

} // namespace plugfw
