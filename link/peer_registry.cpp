#include "link/peer_registry.h"

#include <cmath>

#include <cstring>
#include <mutex>

#include "link/monotonic_clock.h"
#include "link/process_identity.h"
#include "link/registry_hub.h"

// The sequence counters need standalone fences. ThreadSanitizer does not model
// them, but every shared field here is an atomic, so it cannot miss a race on
// plain data; the fences only order the guarded values for real readers.
#if defined(__SANITIZE_THREAD__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif

namespace ostrel
{
namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr auto kAcquire = std::memory_order_acquire;
constexpr auto kRelease = std::memory_order_release;
constexpr auto kAcqRel = std::memory_order_acq_rel;

constexpr int kLevelReadAttempts = 4;
constexpr int kNameReadAttempts = 3;
constexpr float kLevelCeiling = 1.0e6f;

// Copies published levels; a value outside (0, 1e6), NaN included (the
// comparison is false), reads as 0.
void copyLevels(const std::atomic<float> from[kPeerBandCount], float out[kPeerBandCount])
{
    for (int k = 0; k < kPeerBandCount; ++k)
    {
        const float value = from[k].load(kRelaxed);
        out[k] = (value > 0.0f && value < kLevelCeiling) ? value : 0.0f;
    }
}

bool isStale(int64_t heartbeatMs, int64_t nowMs)
{
    // Compared so that no heartbeat, however absurd, overflows.
    return heartbeatMs > 0 && heartbeatMs < nowMs - kPeerStaleMs;
}

// The slot this link holds, or nullptr when it holds none or has lost it to a
// takeover. Every write into a slot goes through here, so an instance that was
// silent long enough to be replaced never writes over its successor.
PeerSlot* ownedSlot(PeerRegistry& registry, const PeerLink& link)
{
    const int index = link.slotIndex.load(kAcquire);
    if (index < 0)
        return nullptr;
    PeerSlot& slot = registry.slots[index & (kPeerSlotCount - 1)];
    if (slot.ownerId.load(kAcquire) != link.instanceId)
        return nullptr;
    return &slot;
}

// Bytes of `text` that fit in a name: at most 31, never ending inside a UTF-8
// sequence (the page shows names, and half a character is not text).
size_t nameLength(const char* text)
{
    size_t length = strnlen(text, kPeerNameBytes);
    if (length < kPeerNameBytes)
        return length;
    length = kPeerNameBytes - 1;
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return length; // not UTF-8 at all: keep the raw bytes
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    size_t needed = 1;
    if ((lead & 0xE0) == 0xC0)
        needed = 2;
    else if ((lead & 0xF0) == 0xE0)
        needed = 3;
    else if ((lead & 0xF8) == 0xF0)
        needed = 4;
    const size_t have = length - (start - 1);
    if (lead >= 0xC0 && have < needed)
        return start - 1;
    return length;
}

} // namespace

PeerSlot::PeerSlot()
{
    for (int k = 0; k < kPeerBandCount; ++k)
        bandLevels[k].store(-1.0f, kRelaxed);
    for (int i = 0; i < kPeerNameBytes; ++i)
        name[i].store(0, kRelaxed);
    for (PublishedLevels& entry : levelHistory)
        for (std::atomic<float>& level : entry.levels)
            level.store(0.0f, kRelaxed);
}

namespace
{

// Not a static object: instances may outlive static destruction order (a host
// can destroy plug-ins late), so the table is freed only on request, and only
// when no link is left on it.
std::atomic<PeerRegistry*> gSharedRegistry{nullptr};

std::mutex& sharedRegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

PeerRegistry& sharedRegistry()
{
    if (PeerRegistry* session = sessionRegistry())
        return *session;
    // The claims record this process's id in their slots: cached here, off
    // the audio thread.
    thisProcessId();
    if (PeerRegistry* registry = gSharedRegistry.load(kAcquire))
        return *registry;
    std::lock_guard<std::mutex> lock(sharedRegistryMutex());
    PeerRegistry* registry = gSharedRegistry.load(kRelaxed);
    if (registry == nullptr)
    {
        registry = new PeerRegistry();
        gSharedRegistry.store(registry, kRelease);
    }
    return *registry;
}

bool releaseSharedRegistry()
{
    std::lock_guard<std::mutex> lock(sharedRegistryMutex());
    PeerRegistry* registry = gSharedRegistry.load(kRelaxed);
    if (registry == nullptr || registry->header.liveLinks.load(kAcquire) != 0)
        return false;
    gSharedRegistry.store(nullptr, kRelease);
    delete registry;
    return true;
}

void retainRegistry(PeerRegistry& registry)
{
    registry.header.liveLinks.fetch_add(1, kAcqRel);
}

void releaseRegistryUse(PeerRegistry& registry)
{
    registry.header.liveLinks.fetch_sub(1, kAcqRel);
}

void initPeerLink(PeerRegistry& registry, PeerLink& link)
{
    auto draw = [&registry]
    { return static_cast<uint32_t>(registry.header.nextInstanceId.fetch_add(1, kRelaxed)); };
    uint32_t id = draw();
    if (id == 0)
        id = draw();
    link.instanceId = id;
    link.slotIndex.store(-1, kRelaxed);
    link.attachKey.store(-1, kRelaxed);
    link.blockCounter.store(0, kRelaxed);
}

bool isSlotLive(const PeerSlot& slot, int64_t nowMs)
{
    if (slot.ownerId.load(kAcquire) == 0)
        return false;
    const int64_t heartbeatMs = slot.heartbeatMs.load(kRelaxed);
    return heartbeatMs > 0 && heartbeatMs >= nowMs - kPeerStaleMs;
}

namespace
{

// Empties a slot's name under its sequence counter.
void writeEmptyName(PeerSlot& slot)
{
    const uint32_t odd = slot.nameSeq.load(kRelaxed) | 1u;
    slot.nameSeq.store(odd, kRelaxed);
    std::atomic_thread_fence(kRelease);
    for (int i = 0; i < kPeerNameBytes; ++i)
        slot.name[i].store('\0', kRelaxed);
    slot.nameSeq.store(odd + 1u, kRelease);
}

// Notes the request counters of the slot a link now holds as seen: they were
// for an earlier holder. The counters go in before claimCount moves, and
// claimCount moves before the link records the slot, so whoever sees the new
// slot also sees the new count.
void noteClaim(PeerLink& link, const PeerSlot& slot)
{
    link.depthRequestSeqAtClaim.store(slot.depthRequestSeq.load(kAcquire), kRelaxed);
    link.priorityRequestSeqAtClaim.store(slot.priorityRequestSeq.load(kAcquire), kRelaxed);
    link.claimCount.fetch_add(1, kAcqRel);
}

// The second half of every claim, with the slot's ownerId already this
// instance's. The slot is made ready before the link records it (until then
// no release can reach it). Another thread of the same instance may have
// recorded a slot meanwhile (the idle tick's attach racing the audio
// thread's): then this one is given back and the link keeps the other.
// Returns the index the link holds afterwards.
int recordClaim(PeerRegistry& registry, PeerLink& link, int index, int role, bool evictable,
                int64_t nowMs)
{
    PeerSlot& slot = registry.slots[index];
    if (slot.name[0].load(kRelaxed) != '\0')
        writeEmptyName(slot); // the earlier holder's
    // So are the levels it published: readers start over with this holder's.
    slot.levelHistoryCount.store(0, kRelease);
    slot.role.store(role, kRelaxed);
    slot.evictable.store(evictable ? 1 : 0, kRelaxed);
    slot.heartbeatMs.store(nowMs, kRelaxed);
    slot.ownerPid.store(thisProcessId(), kRelaxed);
    slot.holderCount.fetch_add(1, kAcqRel);
    noteClaim(link, slot);
    int32_t recorded = -1;
    if (!link.slotIndex.compare_exchange_strong(recorded, index, kAcqRel, kAcquire))
    {
        slot.holderCount.fetch_sub(1, kAcqRel);
        slot.role.store(kPeerRoleNone, kRelaxed);
        uint32_t mine = link.instanceId;
        slot.ownerId.compare_exchange_strong(mine, 0, kAcqRel, kRelaxed);
        if (recorded >= 0)
            noteClaim(link, registry.slots[recorded & (kPeerSlotCount - 1)]);
        return recorded;
    }
    // The row's mute belongs to its holder; taking back one's own slot (after
    // a reset or a bypass) keeps it.
    if (link.lastSlot.exchange(index, kRelaxed) != index)
        slot.mute.store(0, kRelaxed);
    return index;
}

} // namespace

int release(PeerRegistry& registry, PeerLink& link)
{
    const int index = link.slotIndex.load(kAcquire);
    if (index < 0)
        return -1;
    PeerSlot& slot = registry.slots[index & (kPeerSlotCount - 1)];
    uint32_t expected = link.instanceId;
    if (slot.ownerId.compare_exchange_strong(expected, 0, kAcqRel, kAcquire))
    {
        slot.role.store(kPeerRoleNone, kRelaxed);
        slot.holderCount.fetch_sub(1, kAcqRel);
        // The soloed row has gone; a later holder must not play soloed.
        int32_t soloed = index & (kPeerSlotCount - 1);
        registry.header.soloIndex.compare_exchange_strong(soloed, -1, kRelaxed);
    }
    // An evicted instance simply forgets the slot. Only this slot: a claim on
    // another thread may have recorded a new one since.
    int32_t held = index;
    link.slotIndex.compare_exchange_strong(held, -1, kAcqRel, kAcquire);
    return index;
}

bool claimByChannel(PeerRegistry& registry, PeerLink& link, int role, int channelIndex)
{
    const int wanted = role > 0 ? slotOfChannelIndex(channelIndex) : -1;
    const uint32_t id = link.instanceId;

    if (link.slotIndex.load(kAcquire) == wanted)
    {
        if (wanted < 0)
            return false;
        PeerSlot& held = registry.slots[wanted];
        if (held.ownerId.load(kAcquire) != id)
        {
            // Taken over while this instance was silent: forget it and claim
            // afresh at the next chunk.
            int32_t lost = wanted;
            link.slotIndex.compare_exchange_strong(lost, -1, kAcqRel, kAcquire);
            return false;
        }
        // Re-stated at every chunk: a release racing with this claim may have
        // cleared the role, and a slot kept across a switch from Masker must
        // stop being evictable.
        held.role.store(role, kRelaxed);
        held.evictable.store(0, kRelaxed);
        return true;
    }

    if (link.slotIndex.load(kAcquire) >= 0)
        release(registry, link);
    if (wanted < 0)
        return false;

    PeerSlot& slot = registry.slots[wanted];
    const int64_t nowMs = monotonicMs();
    uint32_t found = 0;
    if (!slot.ownerId.compare_exchange_strong(found, id, kAcqRel, kAcquire))
    {
        if (found == id)
            return link.slotIndex.load(kAcquire) >= 0;
        const bool stale = isStale(slot.heartbeatMs.load(kRelaxed), nowMs);
        const bool evictable = slot.evictable.load(kRelaxed) != 0;
        if (!stale && !evictable)
            return link.slotIndex.load(kAcquire) >= 0;
        if (!slot.ownerId.compare_exchange_strong(found, id, kAcqRel, kAcquire))
            return link.slotIndex.load(kAcquire) >= 0;
        slot.holderCount.store(0, kRelaxed);
    }

    return recordClaim(registry, link, wanted, role, false, nowMs) == wanted;
}

int claimFree(PeerRegistry& registry, PeerLink& link, int role)
{
    if (role <= 0)
    {
        release(registry, link);
        return -1;
    }
    const uint32_t id = link.instanceId;
    const int64_t nowMs = monotonicMs();

    const int held = link.slotIndex.load(kAcquire);
    if (held >= 0)
    {
        PeerSlot& slot = registry.slots[held & (kPeerSlotCount - 1)];
        if (slot.ownerId.load(kAcquire) == id)
        {
            // The Masker's per-chunk heartbeat. A slot kept from a Source role
            // becomes evictable like any Masker's, so its channel's Source can
            // still claim it.
            slot.role.store(role, kRelaxed);
            slot.evictable.store(1, kRelaxed);
            slot.heartbeatMs.store(nowMs, kRelaxed);
            return held;
        }
        int32_t lost = held; // evicted or taken over
        link.slotIndex.compare_exchange_strong(lost, -1, kAcqRel, kAcquire);
    }

    for (int index = kPeerSlotCount - 1; index >= 0; --index)
    {
        PeerSlot& slot = registry.slots[index];
        uint32_t expected = 0;
        if (!slot.ownerId.compare_exchange_strong(expected, id, kAcqRel, kRelaxed))
            continue;
        return recordClaim(registry, link, index, role, true, nowMs);
    }
    return -1;
}

void attach(PeerRegistry& registry, PeerLink& link, int role, int channelIndex, bool bypassed,
            bool sidechainOn)
{
    const int channel = slotOfChannelIndex(channelIndex);
    const bool holdsNothing = bypassed || (role != 1 && role != 2) || (role == 2 && sidechainOn);
    if (holdsNothing)
    {
        if (link.attachKey.load(kRelaxed) != -1 || link.slotIndex.load(kAcquire) >= 0)
        {
            release(registry, link);
            link.attachKey.store(-1, kRelaxed);
        }
        return;
    }

    if (role == 1)
    {
        if (link.attachKey.load(kRelaxed) != channel)
            release(registry, link);
        claimByChannel(registry, link, kPeerRoleSource, channel);
        // A Source that could not get (or lost) its channel slot is detached
        // and retries at every chunk.
        link.attachKey.store(link.slotIndex.load(kAcquire) == channel ? channel : -1, kRelaxed);
        return;
    }

    const int index = claimFree(registry, link, kPeerRoleMasker);
    if (index >= 0)
        registry.slots[index].target.store(channel, kRelaxed);
    link.attachKey.store(index, kRelaxed);
}

void beginLevels(PeerRegistry& registry, PeerLink& link)
{
    PeerSlot* slot = ownedSlot(registry, link);
    if (slot == nullptr)
        return;
    slot->levelSeq.store(slot->levelSeq.load(kRelaxed) | 1u, kRelaxed);
    std::atomic_thread_fence(kRelease);
}

void writeLevel(PeerRegistry& registry, PeerLink& link, int band, float level)
{
    if (band < 0 || band >= kPeerBandCount)
        return;
    if (PeerSlot* slot = ownedSlot(registry, link))
        slot->bandLevels[band].store(level, kRelaxed);
}

void publishBlock(PeerRegistry& registry, PeerLink& link, int64_t hostSamplePos, int frames)
{
    PeerSlot* slot = ownedSlot(registry, link);
    if (slot == nullptr)
        return;
    slot->blockEndPos.store(hostSamplePos + frames, kRelaxed);
    slot->heartbeatMs.store(monotonicMs(), kRelaxed);
    slot->levelSeq.store((slot->levelSeq.load(kRelaxed) | 1u) + 1u, kRelease);

    // The same levels into the history, under the entry's own counter.
    const uint64_t count = slot->levelHistoryCount.load(kRelaxed);
    PublishedLevels& entry = slot->levelHistory[count % kLevelHistorySize];
    const uint64_t seq = entry.seq.load(kRelaxed) | 1u;
    entry.seq.store(seq, kRelaxed);
    std::atomic_thread_fence(kRelease);
    for (int k = 0; k < kPeerBandCount; ++k)
        entry.levels[k].store(slot->bandLevels[k].load(kRelaxed), kRelaxed);
    entry.endPos.store(hostSamplePos + frames, kRelaxed);
    entry.seq.store(seq + 1u, kRelease);
    slot->levelHistoryCount.store(count + 1u, kRelease);
}

bool readPublishedLevels(const PeerSlot& slot, uint64_t index, float out[kPeerBandCount],
                         int64_t* endPosOut)
{
    const PublishedLevels& entry = slot.levelHistory[index % kLevelHistorySize];
    for (int attempt = 0; attempt < kLevelReadAttempts; ++attempt)
    {
        if (slot.levelHistoryCount.load(kAcquire) <= index)
            return false;
        const uint64_t before = entry.seq.load(kAcquire);
        if ((before & 1u) != 0)
            continue;
        copyLevels(entry.levels, out);
        const int64_t endPos = entry.endPos.load(kRelaxed);
        std::atomic_thread_fence(kAcquire);
        if (entry.seq.load(kRelaxed) != before)
            continue;
        // Overwritten by a newer publication before or while it was read.
        if (slot.levelHistoryCount.load(kAcquire) > index + kLevelHistorySize)
            return false;
        if (endPosOut != nullptr)
            *endPosOut = endPos;
        return true;
    }
    return false;
}

bool readLevelsEndingBy(const PeerSlot& slot, int64_t end, float out[kPeerBandCount])
{
    // Newest first; a holder publishes once a period, so the one wanted is
    // among the last few unless its host runs it far ahead.
    const uint64_t count = slot.levelHistoryCount.load(kAcquire);
    const uint64_t oldest = count > kLevelHistorySize ? count - kLevelHistorySize : 0;
    for (uint64_t i = count; i > oldest; --i)
    {
        float levels[kPeerBandCount];
        int64_t endPos = -1;
        if (!readPublishedLevels(slot, i - 1, levels, &endPos))
            continue;
        if (endPos >= 0 && endPos <= end)
        {
            std::memcpy(out, levels, sizeof(levels));
            return true;
        }
    }
    return false;
}

bool readLevels(const PeerSlot& slot, float out[kPeerBandCount], uint64_t* seqOut,
                int64_t* blockEndOut)
{
    float copy[kPeerBandCount] = {};
    int64_t blockEnd = -1;
    for (int attempt = 0; attempt < kLevelReadAttempts; ++attempt)
    {
        const uint64_t before = slot.levelSeq.load(kAcquire);
        if ((before & 1u) != 0)
            continue;
        copyLevels(slot.bandLevels, copy);
        blockEnd = slot.blockEndPos.load(kRelaxed);
        std::atomic_thread_fence(kAcquire);
        if (slot.levelSeq.load(kRelaxed) == before)
        {
            std::memcpy(out, copy, sizeof(copy));
            if (seqOut != nullptr)
                *seqOut = before;
            if (blockEndOut != nullptr)
                *blockEndOut = blockEnd;
            return true;
        }
    }
    std::memcpy(out, copy, sizeof(copy));
    if (blockEndOut != nullptr)
        *blockEndOut = blockEnd;
    return false;
}

int heldSlot(const PeerRegistry& registry, const PeerLink& link)
{
    const int held = link.slotIndex.load(kRelaxed);
    if (held < 0 || held >= kPeerSlotCount)
        return -1;
    return registry.slots[held].ownerId.load(kAcquire) == link.instanceId ? held : -1;
}

bool slotHasOwner(const PeerSlot& slot)
{
    return slot.ownerId.load(kAcquire) != 0;
}

int32_t holderCountOf(const PeerSlot& slot)
{
    return slot.holderCount.load(kRelaxed);
}

SourceState readSourceState(const PeerSlot& slot)
{
    SourceState state;
    state.sourceHolds =
        slot.ownerId.load(kAcquire) != 0 && slot.role.load(kRelaxed) == kPeerRoleSource;
    state.levelSeq = slot.levelSeq.load(kAcquire) & ~uint64_t{1};
    return state;
}

uint64_t publicationCount(const PeerSlot& slot)
{
    return slot.levelHistoryCount.load(kAcquire);
}

float balanceOf(const PeerSlot& slot)
{
    return slot.balance.load(kRelaxed);
}

int32_t priorityOf(const PeerSlot& slot)
{
    return slot.priority.load(kRelaxed);
}

void publishBalance(PeerRegistry& registry, const PeerLink& link, float balance)
{
    const int held = heldSlot(registry, link);
    if (held >= 0)
        registry.slots[held].balance.store(balance, kRelaxed);
}

void publishPriority(PeerRegistry& registry, const PeerLink& link, int32_t priority)
{
    const int held = heldSlot(registry, link);
    if (held >= 0)
        registry.slots[held].priority.store(priority, kRelaxed);
}

bool isSlotMuted(const PeerRegistry& registry, int slot)
{
    return slot >= 0 && slot < kPeerSlotCount && registry.slots[slot].mute.load(kRelaxed) != 0;
}

bool isSlotSoloed(const PeerRegistry& registry, int slot)
{
    return slot >= 0 && registry.header.soloIndex.load(kRelaxed) == slot;
}

int32_t targetOf(const PeerSlot& slot)
{
    return slot.target.load(kRelaxed);
}

int32_t roleOf(const PeerSlot& slot)
{
    return slot.role.load(kRelaxed);
}

void publishName(PeerRegistry& registry, PeerLink& link, const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return;
    PeerSlot* slot = ownedSlot(registry, link);
    if (slot == nullptr)
        return;
    const uint32_t odd = slot->nameSeq.load(kRelaxed) | 1u;
    slot->nameSeq.store(odd, kRelaxed);
    std::atomic_thread_fence(kRelease);
    const size_t length = nameLength(text);
    for (size_t i = 0; i < kPeerNameBytes; ++i)
        slot->name[i].store(i < length ? text[i] : '\0', kRelaxed);
    slot->nameSeq.store(odd + 1u, kRelease);
}

void clearName(PeerRegistry& registry, PeerLink& link)
{
    if (PeerSlot* slot = ownedSlot(registry, link))
        writeEmptyName(*slot);
}

void readName(const PeerSlot& slot, char out[kPeerNameBytes])
{
    char copy[kPeerNameBytes];
    for (int attempt = 0; attempt < kNameReadAttempts; ++attempt)
    {
        const uint32_t before = slot.nameSeq.load(kAcquire);
        if ((before & 1u) != 0)
            continue;
        for (int i = 0; i < kPeerNameBytes; ++i)
            copy[i] = slot.name[i].load(kRelaxed);
        std::atomic_thread_fence(kAcquire);
        if (slot.nameSeq.load(kRelaxed) != before)
            continue;
        if (before == 0)
            break; // never written
        copy[kPeerNameBytes - 1] = '\0';
        std::memcpy(out, copy, kPeerNameBytes);
        return;
    }
    std::memset(out, 0, kPeerNameBytes);
}

void heartbeat(PeerRegistry& registry, PeerLink& link)
{
    if (PeerSlot* slot = ownedSlot(registry, link))
        slot->heartbeatMs.store(monotonicMs(), kRelaxed);
}

void detachAtDestruction(PeerRegistry& registry, PeerLink& link)
{
    release(registry, link);
    link.attachKey.store(-1, kRelaxed);
}

void detachAtReset(PeerRegistry& registry, PeerLink& link)
{
    release(registry, link);
    link.attachKey.store(-1, kRelaxed);
}

} // namespace ostrel
