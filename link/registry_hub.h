// Where this process's instances meet the others: in the process's own
// registry, or in the shared block of their host session, so that hosts that
// run plug-ins in processes of their own still link their instances. The
// first instance that learns the host's name decides it, before any audio;
// the user's preference can move it later (every instance then follows at
// its next idle tick). Main thread only, except sharedRegistry().
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

// The preference changed: once the host session is joined, this process
// moves to the place `mode` gives (joining another block, or its own
// registry). Returns whether the place changed. A block left behind stays
// until the last instance of this process that used it has moved on.
bool followLinkPreference(CrossProcessLinking mode);

// Moves on whenever the place changes.
uint32_t placeGeneration();

// An instance's hold on the registry of the place it meets its peers in: a
// shared block stays mapped while any lease on it is out.
struct RegistryLease
{
    PeerRegistry* registry = nullptr;
    uint32_t generation = 0; // placeGeneration() when it was taken
};
RegistryLease leaseRegistry();
void returnRegistryLease(const RegistryLease& lease);

// Frees what processes found gone left in the shared blocks: their entries
// and the slots their instances held. Call from an idle tick; it checks at
// most once a second.
void reapHostSession(int64_t nowMs);

// Leaves the shared blocks (module exit, once no instance is left).
void leaveHostSession();

// The shared block's registry while this process is in one, else null.
PeerRegistry* sessionRegistry();

// How many shared blocks this process is attached to (the current one and
// those still left to instances that have not moved yet).
int attachedBlockCount();

// The process whose instance holds a slot (0 when unknown).
int32_t slotProcessId(const PeerSlot& slot);

} // namespace ostrel
