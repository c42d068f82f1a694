#include "link/host_session.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace ostrel
{
namespace
{

// Letters and digits only, lower case.
std::string letters(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (std::isalnum(c))
            out.push_back(static_cast<char>(std::tolower(c)));
    return out;
}

// A whole unsigned decimal number at the front of `text`, moving past it.
template <typename Number> bool takeNumber(std::string_view& text, Number& value)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc())
        return false;
    text.remove_prefix(static_cast<size_t>(result.ptr - text.data()));
    return true;
}

} // namespace

bool sessionBlockHost(const std::string& blockName, uint32_t user, int32_t& pid,
                      uint64_t& startTime)
{
    const std::string prefix = "ostrel-" + std::to_string(user) + "-";
    if (blockName.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string_view rest(blockName);
    rest.remove_prefix(prefix.size());
    int32_t readPid = 0;
    uint64_t readStart = 0;
    if (!takeNumber(rest, readPid) || rest.empty() || rest.front() != '-')
        return false;
    rest.remove_prefix(1);
    if (!takeNumber(rest, readStart) || !rest.empty())
        return false;
    pid = readPid;
    startTime = readStart;
    return true;
}

CrossProcessLinking crossProcessLinkingFromText(const std::string& text)
{
    const std::string t = letters(text);
    if (t == "never")
        return CrossProcessLinking::Never;
    if (t == "always")
        return CrossProcessLinking::Always;
    return CrossProcessLinking::Automatic;
}

const char* crossProcessLinkingText(CrossProcessLinking mode)
{
    switch (mode)
    {
    case CrossProcessLinking::Never:
        return "never";
    case CrossProcessLinking::Always:
        return "always";
    case CrossProcessLinking::Automatic:
        break;
    }
    return "automatic";
}

bool executableIsHostItself(const std::string& executable, const std::string& hostName)
{
    const std::string exe = letters(executable);
    return !exe.empty() && exe == letters(hostName);
}

bool executableIsHost(const std::string& executable, const std::string& hostName)
{
    const std::string host = letters(hostName);
    if (host.size() < 3 || executable.empty())
        return false;
    if (executableIsHostItself(executable, hostName))
        return true;
    // "reaper_host64", "bitwig-plugin-host" ...: the host's name, then more.
    std::string exe;
    for (unsigned char c : executable)
        exe.push_back(static_cast<char>(std::tolower(c)));
    const std::string head = letters(exe).substr(0, host.size());
    return head == host && letters(exe).size() > host.size();
}

HostSession hostSessionFor(const SessionView& view, CrossProcessLinking mode)
{
    HostSession session;
    const std::string user = std::to_string(view.user);
    if (mode == CrossProcessLinking::Never)
    {
        session.hostPid = view.self.pid;
        session.inHostProcess = true;
        return session;
    }
    if (mode == CrossProcessLinking::Always)
    {
        session.blockName = "ostrel-" + user + "-user";
        session.hostPid = view.self.pid;
        session.inHostProcess = true;
        return session;
    }
    const bool selfIsHost = executableIsHostItself(view.self.executable, view.hostName);
    // A parent named like the host, more loosely than its own name would
    // be, is a launcher when this process is also named like the host (a
    // host of its own started from a launcher); a helper process of the host
    // is named otherwise or takes the host's name with more after it.
    const bool parentIsHost = !selfIsHost && view.parentStartTime != 0 &&
                              (executableIsHostItself(view.parentExecutable, view.hostName) ||
                               (executableIsHost(view.parentExecutable, view.hostName) &&
                                !executableIsHost(view.self.executable, view.hostName)));
    if (parentIsHost)
    {
        session.hostPid = view.self.parentPid;
        session.blockName = "ostrel-" + user + "-" + std::to_string(view.self.parentPid) + "-" +
                            std::to_string(view.parentStartTime);
    }
    else
    {
        session.hostPid = view.self.pid;
        session.inHostProcess = true;
        session.blockName = "ostrel-" + user + "-" + std::to_string(view.self.pid) + "-" +
                            std::to_string(view.self.startTime);
    }
    return session;
}

} // namespace ostrel
