#include "link/process_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace ostrel
{
namespace
{

// Field 22 of /proc/<pid>/stat, in clock ticks since boot. The command name
// (field 2) may hold spaces and parentheses, so fields are counted from the
// last ')'.
uint64_t startTimeFromStat(const std::string& stat, int32_t* parentPid)
{
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    uint64_t start = 0;
    for (int index = 3; fields >> field; ++index)
    {
        if (index == 4 && parentPid != nullptr)
            *parentPid = static_cast<int32_t>(std::strtol(field.c_str(), nullptr, 10));
        if (index == 22)
        {
            start = std::strtoull(field.c_str(), nullptr, 10);
            break;
        }
    }
    return start;
}

std::string readStat(int32_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(file, text);
    return text;
}

} // namespace

std::string processExecutable(int32_t pid)
{
    if (pid <= 0)
        return "";
    char path[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    if (length <= 0)
        return "";
    std::string exe(path, static_cast<size_t>(length));
    // A replaced executable reads as "name (deleted)".
    if (const size_t deleted = exe.rfind(" (deleted)"); deleted != std::string::npos)
        exe.resize(deleted);
    exe = exe.substr(exe.find_last_of('/') + 1);
    std::transform(exe.begin(), exe.end(), exe.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return exe;
}

ProcessIdentity currentProcessIdentity()
{
    ProcessIdentity me;
    me.pid = static_cast<int32_t>(getpid());
    me.startTime = startTimeFromStat(readStat(me.pid), &me.parentPid);
    me.executable = processExecutable(me.pid);
    return me;
}

int32_t thisProcessId()
{
    static const int32_t pid = static_cast<int32_t>(getpid());
    return pid;
}

uint32_t currentUserId()
{
    return static_cast<uint32_t>(geteuid());
}

uint64_t processStartTime(int32_t pid)
{
    if (pid <= 0)
        return 0;
    return startTimeFromStat(readStat(pid), nullptr);
}

bool isProcessRunning(int32_t pid, uint64_t startTime)
{
    return startTime != 0 && processStartTime(pid) == startTime;
}

} // namespace ostrel
