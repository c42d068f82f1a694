// Which processes meet in one host session, for the process layouts hosts
// use: plug-ins in the host's own process, one process per plug-in or per
// group started by the host (named after it or not), and the layouts that
// must stay apart (two hosts, one host started twice from a shell or from a
// launcher named like it).
#include "link/host_session.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace ostrel
{
namespace
{

struct Process
{
    int32_t pid;
    int32_t parent;
    uint64_t start;
    const char* executable;
};

struct Layout
{
    const char* what;
    const char* hostName;
    Process a;
    const char* aParentExecutable;
    Process b;
    const char* bParentExecutable;
    bool meet;
};

// `other` is the other process of the layout: when it is this one's parent,
// the parent's start time is its own.
SessionView viewOf(const Process& p, const char* parentExecutable, const char* hostName,
                   const Process* other = nullptr)
{
    SessionView view;
    view.self.pid = p.pid;
    view.self.parentPid = p.parent;
    view.self.startTime = p.start;
    view.self.executable = p.executable;
    view.parentExecutable = parentExecutable;
    view.parentStartTime = other != nullptr && other->pid == p.parent
                               ? other->start
                               : static_cast<uint64_t>(500 + p.parent);
    view.hostName = hostName;
    view.user = 1000;
    return view;
}

const Layout kLayouts[] = {
    {"two plug-in processes of one host",
     "Bitwig Studio",
     {201, 100, 7, "bitwigpluginhost64"},
     "bitwig-studio",
     {202, 100, 8, "bitwigpluginhost64"},
     "bitwig-studio",
     true},
    {"the host and a bridge process it started",
     "REAPER",
     {100, 1, 5, "reaper"},
     "bash",
     {300, 100, 9, "reaper_host64"},
     "reaper",
     true},
    {"the host and a sandbox named otherwise",
     "Studio Host",
     {100, 1, 5, "studio-host"},
     "bash",
     {301, 100, 9, "plugin-sandbox"},
     "studio-host",
     true},
    {"two instances of one process",
     "Ardour",
     {100, 1, 5, "ardour-8.12"},
     "bash",
     {100, 1, 5, "ardour-8.12"},
     "bash",
     true},
    {"two copies of a host from one shell",
     "REAPER",
     {100, 50, 5, "reaper"},
     "bash",
     {101, 50, 6, "reaper"},
     "bash",
     false},
    {"two copies from a launcher named like the host",
     "Ardour",
     {100, 50, 5, "ardour-8.12"},
     "ardour8",
     {101, 50, 6, "ardour-8.12"},
     "ardour8",
     false},
    {"two hosts",
     "REAPER",
     {100, 1, 5, "reaper"},
     "bash",
     {200, 1, 6, "bitwigstudio"},
     "bash",
     false},
    {"plug-in processes of two copies of a host",
     "Bitwig Studio",
     {201, 100, 7, "bitwigpluginhost64"},
     "bitwig-studio",
     {202, 110, 8, "bitwigpluginhost64"},
     "bitwig-studio",
     false},
    {"a sibling whose parent is a shell",
     "ostrel-render",
     {201, 50, 7, "helper"},
     "bash",
     {202, 50, 8, "helper"},
     "bash",
     false},
};

// Whether two processes' instances meet: in one shared block, or in the
// registry of the one process they both are.
bool meet(const HostSession& a, const HostSession& b, const Process& pa, const Process& pb)
{
    if (a.blockName.empty() || b.blockName.empty())
        return a.blockName.empty() && b.blockName.empty() && pa.pid == pb.pid;
    return a.blockName == b.blockName;
}

// Every layout under every preference: automatic follows the rule, never
// keeps each process to itself, always links every process of the user.
TEST(HostSession, WhoLinksForEachPreferenceAndLayout)
{
    const CrossProcessLinking modes[] = {CrossProcessLinking::Automatic, CrossProcessLinking::Never,
                                         CrossProcessLinking::Always};
    for (const CrossProcessLinking mode : modes)
        for (const Layout& l : kLayouts)
        {
            const HostSession a =
                hostSessionFor(viewOf(l.a, l.aParentExecutable, l.hostName, &l.b), mode);
            const HostSession b =
                hostSessionFor(viewOf(l.b, l.bParentExecutable, l.hostName, &l.a), mode);
            const bool expected = mode == CrossProcessLinking::Automatic ? l.meet
                                  : mode == CrossProcessLinking::Never   ? l.a.pid == l.b.pid
                                                                         : true;
            EXPECT_EQ(meet(a, b, l.a, l.b), expected)
                << crossProcessLinkingText(mode) << ", " << l.what << ": " << a.blockName << " / "
                << b.blockName;
            if (mode == CrossProcessLinking::Automatic)
            {
                EXPECT_FALSE(a.blockName.empty()) << l.what;
            }
        }
}

TEST(HostSession, ThePreferenceOverridesTheRule)
{
    const Layout& twoHosts = kLayouts[6];
    const SessionView a = viewOf(twoHosts.a, twoHosts.aParentExecutable, twoHosts.hostName);
    const SessionView b = viewOf(twoHosts.b, twoHosts.bParentExecutable, twoHosts.hostName);
    EXPECT_EQ(hostSessionFor(a, CrossProcessLinking::Always).blockName,
              hostSessionFor(b, CrossProcessLinking::Always).blockName);
    EXPECT_TRUE(hostSessionFor(a, CrossProcessLinking::Never).blockName.empty())
        << "this process's own registry";
    SessionView otherUser = b;
    otherUser.user = 1001;
    EXPECT_NE(hostSessionFor(a, CrossProcessLinking::Always).blockName,
              hostSessionFor(otherUser, CrossProcessLinking::Always).blockName);
}

TEST(HostSession, PreferenceTexts)
{
    const struct
    {
        const char* text;
        CrossProcessLinking mode;
    } cases[] = {{"never", CrossProcessLinking::Never},
                 {"Always\n", CrossProcessLinking::Always},
                 {"automatic", CrossProcessLinking::Automatic},
                 {"", CrossProcessLinking::Automatic},
                 {"sometimes", CrossProcessLinking::Automatic}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(crossProcessLinkingFromText(c.text), c.mode) << c.text;
        EXPECT_EQ(crossProcessLinkingFromText(crossProcessLinkingText(c.mode)), c.mode);
    }
}

// The hub reads the host process of every block of the user's it finds
// listed, to remove those whose host has gone; any process of the user may
// add names to that listing.
TEST(HostSession, BlockNamesReadBackTheirHostOrNothing)
{
    SessionView view;
    view.self = {1234, 1, 987654321, "reaper"};
    view.hostName = "REAPER";
    view.user = 1000;
    const std::string made = hostSessionFor(view, CrossProcessLinking::Automatic).blockName;
    const struct
    {
        std::string name;
        bool read;
        int32_t pid;
        uint64_t start;
    } cases[] = {
        {made, true, 1234, 987654321},
        {"ostrel-1000-2147483647-18446744073709551615", true, 2147483647, UINT64_MAX},
        {"ostrel-1000-0-0", true, 0, 0},
        {"ostrel-1000-user", false, 0, 0},
        {"ostrel-1001-1234-5", false, 0, 0},
        {"ostrel-1000-2147483648-5", false, 0, 0},
        {"ostrel-1000-99999999999999999999-5", false, 0, 0},
        {"ostrel-1000-5-18446744073709551616", false, 0, 0},
        {"ostrel-1000--5-7", false, 0, 0},
        {"ostrel-1000-+5-7", false, 0, 0},
        {"ostrel-1000- 5-7", false, 0, 0},
        {"ostrel-1000-5--7", false, 0, 0},
        {"ostrel-1000-5-7x", false, 0, 0},
        {"ostrel-1000-5-", false, 0, 0},
        {"ostrel-1000-5", false, 0, 0},
        {"ostrel-1000-", false, 0, 0},
    };
    for (const auto& c : cases)
    {
        int32_t pid = -1;
        uint64_t start = 1;
        ASSERT_EQ(sessionBlockHost(c.name, 1000, pid, start), c.read) << c.name;
        if (c.read)
        {
            EXPECT_EQ(pid, c.pid) << c.name;
            EXPECT_EQ(start, c.start) << c.name;
        }
    }
}

TEST(HostSession, ExecutableNamesAgainstHostNames)
{
    const struct
    {
        const char* executable;
        const char* host;
        bool itself;
        bool host_like;
    } cases[] = {
        {"reaper", "REAPER", true, true},
        {"bitwig-studio", "Bitwig Studio", true, true},
        {"reaper_host64", "REAPER", false, true},
        {"bash", "REAPER", false, false},
        {"", "REAPER", false, false},
        {"ab", "Ab", true, false}, // too short a name to go by loosely
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(executableIsHostItself(c.executable, c.host), c.itself) << c.executable;
        EXPECT_EQ(executableIsHost(c.executable, c.host), c.host_like) << c.executable;
    }
}

} // namespace
} // namespace ostrel
