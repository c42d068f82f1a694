// An instance's place in a registry, and its move to another one while its
// audio runs. The instance has two memberships (a registry lease and the
// instance's handle in that registry); the idle thread prepares the unused
// one and offers it, and the audio thread takes it at the start of its next
// chunk. The membership left behind is given up (its slot released, its
// lease returned) only once the audio thread is known to be out of it: it
// has taken the new one, or no chunk runs and the idle thread takes it on
// its behalf. One atomic word carries which membership is wanted, which one
// the audio thread uses, and whether a chunk is running; the audio thread
// only ever sets it with compare-and-swap: no lock, no allocation, no
// system call there.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/peer_registry.h"
#include "link/registry_hub.h"

namespace ostrel
{

struct RegistryMembership
{
    RegistryLease lease;
    PeerLink link;
};

class RegistryHandover
{
public:
    // Starts in the registry of the process's current place.
    RegistryHandover();
    // Leaves both memberships (audio stopped).
    ~RegistryHandover();
    RegistryHandover(const RegistryHandover&) = delete;
    RegistryHandover& operator=(const RegistryHandover&) = delete;

    // --- audio thread ------------------------------------------------------
    // The membership to use until endChunk (a newly offered one, if any).
    RegistryMembership& beginChunk();
    void endChunk();
    // Whether a chunk that reads and writes nothing of the registry may run
    // without beginChunk, on the link the last chunk took: no move is
    // pending, that link is still the one in use, and it holds nothing in
    // its registry (so there is nothing to release there either). Such a
    // chunk is not marked as running: the idle thread may give up the
    // registry meanwhile, which it never reads.
    bool staysOutside(const PeerLink& link) const;

    // --- idle (main) thread -------------------------------------------------
    // The membership the idle duties and the editor work with: the newest.
    RegistryMembership& idleSide();
    const RegistryMembership& idleSide() const;
    // A move is offered and the audio thread has not taken it yet.
    bool moving() const;
    // Follows the process's place: offers the place's registry when the
    // place moved on, and gives the old membership up once the audio thread
    // is out of it. Returns whether the instance is now in another registry.
    bool followPlace();
    // Moves at once to `registry`, without a lease (tests of the engine:
    // their own registry; audio stopped).
    void moveTo(PeerRegistry& registry);
    // Releases the slots both memberships hold (an engine reset, audio stopped).
    void releaseSlots();

private:
    // Offers `lease`; false while an earlier move is still pending.
    bool offer(const RegistryLease& lease);
    // Completes a pending move; true when it did.
    bool settle();
    void leave(RegistryMembership& side);

    RegistryMembership mSides[2];
    std::atomic<uint32_t> mState{0};
};

} // namespace ostrel
