#include "link/host_session.h"

#include <cctype>

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

} // namespace

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
