// Which instances link across processes: those of one running host. A host
// may run plug-ins in its own process, in one process per plug-in, per
// vendor or per group (sandboxing and bridging hosts), in any mix; two hosts
// started separately never link, even the same host twice from one shell or
// launcher. Every process works out the same session name from what it can
// see of itself and its parent, and the instances of one session meet in
// the shared block of that name.
#pragma once

#include <cstdint>
#include <string>

#include "link/process_identity.h"

namespace ostrel
{

enum class CrossProcessLinking
{
    Automatic, // the processes of one host session
    Never,     // this process only
    Always,    // every process of this user
};

// The preference as stored and shown: "automatic", "never", "always";
// anything else reads as automatic.
CrossProcessLinking crossProcessLinkingFromText(const std::string& text);
const char* crossProcessLinkingText(CrossProcessLinking mode);

// What this process sees: itself, its parent's executable, the name the host
// gives itself, and the user.
struct SessionView
{
    ProcessIdentity self;
    std::string parentExecutable;
    uint64_t parentStartTime = 0;
    std::string hostName;
    uint32_t user = 0;
};

// The session: where the host process is, and the shared block's name ("" for
// Never: this process's own registry).
struct HostSession
{
    std::string blockName;
    int32_t hostPid = 0;        // the process taken for the host
    bool inHostProcess = false; // this process is the host itself
};

// The host process named by a session block of `user` ("ostrel-<user>-<pid>-
// <start time>", as hostSessionFor makes them): false for any other name,
// the user-wide block among them. Names come from a listing that any process
// of the user may add to: numbers out of range are no block of ours.
bool sessionBlockHost(const std::string& blockName, uint32_t user, int32_t& pid,
                      uint64_t& startTime);

// The rule: a process whose executable has the host's name is the host; a
// process whose parent's executable has it is one the host started, and
// joins the parent's session (a parent only loosely named like the host is
// a launcher when this process is loosely named like it too); any other
// process is a host of its own (its parent is a shell, a launcher or
// unknown), so separate starts never meet.
HostSession hostSessionFor(const SessionView& view, CrossProcessLinking mode);

// Whether an executable's name is the host's: the same letters and digits,
// case ignored ("Bitwig Studio" and "bitwig-studio", "REAPER" and "reaper"),
// or the executable's name starting with the host's and going on with a
// word of its own ("reaper" and "reaper_host64").
bool executableIsHost(const std::string& executable, const std::string& hostName);
bool executableIsHostItself(const std::string& executable, const std::string& hostName);

} // namespace ostrel
