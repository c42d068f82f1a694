#include "link/registry_handover.h"

namespace ostrel
{
namespace
{

// mState: bit 0 the wanted membership, bit 1 the one the audio thread uses,
// bit 2 set while a chunk runs.
constexpr uint32_t kWanted = 1u;
constexpr uint32_t kInUseShift = 1;
constexpr uint32_t kBusy = 4u;

uint32_t wantedOf(uint32_t state)
{
    return state & kWanted;
}

uint32_t inUseOf(uint32_t state)
{
    return (state >> kInUseShift) & 1u;
}

} // namespace

RegistryHandover::RegistryHandover()
{
    RegistryMembership& first = mSides[0];
    first.lease = leaseRegistry();
    retainRegistry(*first.lease.registry);
    initPeerLink(*first.lease.registry, first.link);
}

RegistryHandover::~RegistryHandover()
{
    // Both: a move the audio thread took may not have been settled yet.
    for (RegistryMembership& side : mSides)
        leave(side);
}

void RegistryHandover::leave(RegistryMembership& side)
{
    if (side.lease.registry == nullptr)
        return;
    detachAtDestruction(*side.lease.registry, side.link);
    releaseRegistryUse(*side.lease.registry);
    returnRegistryLease(side.lease);
    side.lease = RegistryLease{};
}

RegistryMembership& RegistryHandover::beginChunk()
{
    uint32_t state = mState.load(std::memory_order_acquire);
    for (;;)
    {
        // Only the idle thread's offer and settle race with this, each once
        // per move: the loop ends.
        const uint32_t wanted = wantedOf(state);
        const uint32_t next = wanted | (wanted << kInUseShift) | kBusy;
        if (mState.compare_exchange_weak(state, next, std::memory_order_acq_rel,
                                         std::memory_order_acquire))
            return mSides[wanted];
    }
}

void RegistryHandover::endChunk()
{
    mState.fetch_and(~kBusy, std::memory_order_acq_rel);
}

bool RegistryHandover::staysOutside(const PeerLink& link) const
{
    // Plain loads: if a move is offered just after them, the chunk still
    // touches only the instance's own link, and the next one takes the move.
    const uint32_t state = mState.load(std::memory_order_acquire);
    return wantedOf(state) == inUseOf(state) && &mSides[inUseOf(state)].link == &link &&
           link.attachKey.load(std::memory_order_relaxed) == -1 &&
           link.slotIndex.load(std::memory_order_acquire) < 0;
}

RegistryMembership& RegistryHandover::idleSide()
{
    return mSides[wantedOf(mState.load(std::memory_order_acquire))];
}

const RegistryMembership& RegistryHandover::idleSide() const
{
    return mSides[wantedOf(mState.load(std::memory_order_acquire))];
}

bool RegistryHandover::moving() const
{
    const uint32_t state = mState.load(std::memory_order_acquire);
    return wantedOf(state) != inUseOf(state);
}

bool RegistryHandover::offer(const RegistryLease& lease)
{
    uint32_t state = mState.load(std::memory_order_acquire);
    if (wantedOf(state) != inUseOf(state))
        return false;
    const uint32_t from = wantedOf(state);
    const uint32_t to = from ^ 1u;
    RegistryMembership& old = mSides[from];
    RegistryMembership& side = mSides[to];
    // Neither thread can reach this membership until it is offered below.
    side.lease = lease;
    retainRegistry(*lease.registry);
    initPeerLink(*lease.registry, side.link);
    // The block counter goes on (the idle thread watches it for audio), and
    // the claim count moves, so requests seen in the old registry are never
    // taken for the new one's.
    side.link.blockCounter.store(old.link.blockCounter.load(std::memory_order_relaxed),
                                 std::memory_order_relaxed);
    side.link.claimCount.store(old.link.claimCount.load(std::memory_order_relaxed) + 1u,
                               std::memory_order_relaxed);
    side.link.depthRequestSeqAtClaim.store(0, std::memory_order_relaxed);
    side.link.priorityRequestSeqAtClaim.store(0, std::memory_order_relaxed);
    side.link.lastSlot.store(-1, std::memory_order_relaxed);
    // Only the wanted bit changes; the audio thread may set the others
    // meanwhile.
    while (!mState.compare_exchange_weak(state, (state & ~kWanted) | to, std::memory_order_acq_rel,
                                         std::memory_order_acquire))
    {
    }
    return true;
}

bool RegistryHandover::settle()
{
    uint32_t state = mState.load(std::memory_order_acquire);
    const uint32_t wanted = wantedOf(state);
    if (inUseOf(state) == wanted)
    {
        // Already taken by the audio thread, or nothing pending.
        RegistryMembership& old = mSides[wanted ^ 1u];
        if (old.lease.registry == nullptr)
            return false;
        leave(old);
        return true;
    }
    // No chunk running: the audio thread takes the new membership now, as
    // its next chunk would have.
    if ((state & kBusy) != 0)
        return false;
    const uint32_t next = wanted | (wanted << kInUseShift);
    if (!mState.compare_exchange_strong(state, next, std::memory_order_acq_rel,
                                        std::memory_order_acquire))
        return false;
    leave(mSides[wanted ^ 1u]);
    return true;
}

bool RegistryHandover::followPlace()
{
    bool moved = settle();
    RegistryMembership& current = idleSide();
    if (moving() || current.lease.generation == placeGeneration())
        return moved;
    const RegistryLease lease = leaseRegistry();
    if (lease.registry == current.lease.registry)
    {
        // The place moved on, but not away from this registry.
        returnRegistryLease(current.lease);
        current.lease = lease;
        return moved;
    }
    if (!offer(lease))
    {
        returnRegistryLease(lease);
        return moved;
    }
    settle();
    return true;
}

void RegistryHandover::moveTo(PeerRegistry& registry)
{
    const uint32_t state = mState.load(std::memory_order_acquire);
    RegistryMembership& side = mSides[wantedOf(state)];
    if (&registry == side.lease.registry)
        return;
    leave(side);
    if (inUseOf(state) != wantedOf(state))
        leave(mSides[inUseOf(state)]);
    side.lease.registry = &registry;
    side.lease.generation = placeGeneration();
    retainRegistry(registry);
    initPeerLink(registry, side.link);
    mState.store(wantedOf(state) | (wantedOf(state) << kInUseShift), std::memory_order_release);
}

void RegistryHandover::releaseSlots()
{
    for (RegistryMembership& side : mSides)
        if (side.lease.registry != nullptr)
            detachAtReset(*side.lease.registry, side.link);
}

} // namespace ostrel
