// Where this process's instances meet the others: in the process's own
// registry, or in the shared block of their host session, so that hosts that
// run plug-ins in processes of their own still link their instances. The
// choice is made once per process, when the first instance learns the
// host's name, before any audio; main thread only, except sharedRegistry().
#pragma once

#include <cstdint>
#include <string>

#include "link/host_session.h"
#include "link/peer_registry.h"

namespace ostrel
{

struct RegistryPlace
{
    bool decided = false;
    bool shared = false; // in a block that other processes may join
    CrossProcessLinking mode = CrossProcessLinking::Automatic;
    int32_t processId = 0;
    int32_t hostPid = 0;
    bool inHostProcess = true;
    std::string why; // why the shared block is not used, when it is not
};

// Joins the host session of `hostName` as `mode` says (once per process; later
// calls return the first decision). Instances then use sharedRegistry().
RegistryPlace joinHostSession(const std::string& hostName, CrossProcessLinking mode);
RegistryPlace registryPlace();

// Frees what processes found gone left in the shared block: their entries
// and the slots their instances held. Call from an idle tick; it checks at
// most once a second.
void reapHostSession(int64_t nowMs);

// Leaves the shared block (module exit, once no instance is left).
void leaveHostSession();

// The shared block's registry while this process is in one, else null.
PeerRegistry* sessionRegistry();

// The process whose instance holds a slot (0 when unknown).
int32_t slotProcessId(const PeerSlot& slot);

} // namespace ostrel
