// The process-wide table through which Ostrel instances find each other:
// 64 slots in which Sources and Maskers publish their band levels, from
// which every Masker works out its share of the room its Source leaves. Nothing here ever locks:
// slot ownership changes by compare-and-swap, liveness is a millisecond
// heartbeat, and multi-value data is guarded by sequence counters.
//
// Every field is an atomic so that concurrent plain loads and stores are
// whole (never torn) and race-free under ThreadSanitizer; fields that the
// algorithms treat as plain values use relaxed ordering, which compiles to
// ordinary moves on x86-64.
#pragma once

#include <atomic>
#include <cstdint>

namespace ostrel
{

inline constexpr int kPeerSlotCount = 64;
inline constexpr int kPeerBandCount = 24;
inline constexpr int kPeerNameBytes = 32;
// A holder whose heartbeat is more than this old is stale.
inline constexpr int64_t kPeerStaleMs = 5000;

enum PeerRole : int32_t
{
    kPeerRoleNone = 0,
    kPeerRoleSource = 1,
    kPeerRoleMasker = 2,
};

// How many of its latest published level vectors a slot keeps, so that a
// reader that runs a whole host block behind the writer still finds the
// levels of the moment it is at (32 periods: 16384 samples at 48 kHz).
inline constexpr int kLevelHistorySize = 32;

// One published level vector and the host position its period ended at,
// under a sequence counter of its own (odd while being written).
struct PublishedLevels
{
    std::atomic<uint64_t> seq{0};
    std::atomic<int64_t> endPos{-1};
    std::atomic<float> levels[kPeerBandCount];
};

struct PeerSlot
{
    std::atomic<uint32_t> ownerId{0};     // instanceId of the holder, 0 = free
    std::atomic<int32_t> role{0};         // 1 Source, 2 Masker, 0 after release
    std::atomic<int64_t> blockEndPos{-1}; // host sample position after the last published block
    std::atomic<uint64_t> levelSeq{0};    // odd while bandLevels is being written
    std::atomic<float> bandLevels[kPeerBandCount];
    std::atomic<int32_t> holderCount{0};
    std::atomic<uint32_t> nameSeq{0}; // odd while name is being written
    std::atomic<char> name[kPeerNameBytes];
    std::atomic<int32_t> target{-1};     // Masker: slot index of its Source
    std::atomic<int64_t> heartbeatMs{0}; // 0 = never
    std::atomic<int32_t> priority{4};
    std::atomic<uint8_t> evictable{0}; // 1 when taken by a Masker's free search
    std::atomic<float> balance{0.0f};
    std::atomic<float> depthRequest{-1.0f};
    std::atomic<uint8_t> depthRequestGesture{0}; // a RequestGesture (link_matrix.h)
    std::atomic<int32_t> depthRequestSeq{0};
    std::atomic<int32_t> priorityRequest{0};
    std::atomic<int32_t> priorityRequestSeq{0};
    std::atomic<uint8_t> mute{0};
    std::atomic<float> depthPercent{0.0f};
    std::atomic<int32_t> ownerPid{0}; // the holder's process
    // Every publication also lands here; entry i % kLevelHistorySize holds
    // publication number i, levelHistoryCount counts them all.
    PublishedLevels levelHistory[kLevelHistorySize];
    std::atomic<uint64_t> levelHistoryCount{0};

    PeerSlot();
};

struct PeerRegistryHeader
{
    std::atomic<int32_t> soloIndex{-1};
    std::atomic<int32_t> nextInstanceId{1};
    std::atomic<int32_t> liveLinks{0}; // instances that retained the registry
};

struct PeerRegistry
{
    PeerSlot slots[kPeerSlotCount];
    PeerRegistryHeader header;
};

// Each instance's handle on the registry (inside its SpectralEngine).
struct PeerLink
{
    uint32_t instanceId = 0;              // never 0 once drawn
    std::atomic<int32_t> slotIndex{-1};   // slot held, -1 = none
    std::atomic<int32_t> attachKey{-1};   // Source: channel index; Masker: slot index; -1 detached
    std::atomic<int32_t> blockCounter{0}; // bumped for every processed chunk
    // Every claim of a slot bumps claimCount after noting the slot's request
    // counters at that moment (requests left for an earlier holder count as
    // seen), and before the slot is recorded in slotIndex. lastSlot: the slot
    // this instance held last (-1 none), so that a re-claim after a reset
    // keeps the row's mute.
    std::atomic<uint32_t> claimCount{0};
    std::atomic<int32_t> depthRequestSeqAtClaim{0};
    std::atomic<int32_t> priorityRequestSeqAtClaim{0};
    std::atomic<int32_t> lastSlot{-1};
};

// The registry of this process: made on first use (thread-safe). It lives
// until releaseSharedRegistry finds no link left on it.
PeerRegistry& sharedRegistry();

// Frees the process's registry when no instance is linked to it any more
// (the module's last user leaving), so that a host that loads and unloads
// the module many times does not leak a table each time. Returns whether it
// was freed; a registry still in use stays.
bool releaseSharedRegistry();

// An instance's claim on a registry's lifetime, taken at construction and
// given back at destruction (the registry it was made with, whatever it is
// pointed at later).
void retainRegistry(PeerRegistry& registry);
void releaseRegistryUse(PeerRegistry& registry);

// Slot index that a Channel parameter (1..64) names: (channel - 1) & 63.
inline int slotOfChannelIndex(int channelIndex)
{
    return channelIndex & (kPeerSlotCount - 1);
}

// Draws the link's instance id (0 is skipped) and sets it detached.
void initPeerLink(PeerRegistry& registry, PeerLink& link);

// Live: owned, has a heartbeat, and that heartbeat is at most 5000 ms old.
bool isSlotLive(const PeerSlot& slot, int64_t nowMs);

// Claim protocol (Sources by channel, Maskers by free search from the top).
// The idle tick and the audio thread may claim for one link at once: a link
// never records more than one slot, and a slot it took without recording it
// is given back at once. A new holder starts with an empty name, no mute
// (unless it takes back the slot it held last) and the slot's requests seen.
bool claimByChannel(PeerRegistry& registry, PeerLink& link, int role, int channelIndex);
int claimFree(PeerRegistry& registry, PeerLink& link, int role);
// Gives the held slot up; a solo on it ends with it.
int release(PeerRegistry& registry, PeerLink& link);

// The role switch run at the start of every chunk (and from the idle tick
// when audio has stopped). role: 0 Off, 1 Source, 2 Masker, 3 Self.
void attach(PeerRegistry& registry, PeerLink& link, int role, int channelIndex, bool bypassed,
            bool sidechainOn);

// Level publication: beginLevels, writeLevel for each band, publishBlock.
void beginLevels(PeerRegistry& registry, PeerLink& link);
void writeLevel(PeerRegistry& registry, PeerLink& link, int band, float level);
void publishBlock(PeerRegistry& registry, PeerLink& link, int64_t hostSamplePos, int frames);

// Reads the 24 levels under levelSeq (up to 4 attempts). Values not in the
// open interval (0, 1e6) read as 0. Returns whether the copy is consistent;
// otherwise `out` holds the last copy (zeros if no attempt saw an even counter).
// `seqOut`, when given, receives the even levelSeq of a consistent copy;
// `blockEndOut` receives the blockEndPos read in the same attempt.
bool readLevels(const PeerSlot& slot, float out[kPeerBandCount], uint64_t* seqOut = nullptr,
                int64_t* blockEndOut = nullptr);

// Reads the newest publication of the slot's history whose period ended at
// or before `end` (levels outside 0..1e6 read as 0). False when the history
// holds none that is consistent.
bool readLevelsEndingBy(const PeerSlot& slot, int64_t end, float out[kPeerBandCount]);

// Reads publication number `index` (counted by levelHistoryCount) from the
// slot's history: false when it was never written, has been overwritten by
// a newer one, or stayed torn over every attempt. Levels outside 0..1e6 read
// as 0.
bool readPublishedLevels(const PeerSlot& slot, uint64_t index, float out[kPeerBandCount],
                         int64_t* endPosOut);

// --- Reading and writing a slot's other fields -----------------------------
// Every memory order of the registry protocol lives in peer_registry.cpp.

// The slot this link holds, or -1 when it holds none or another instance
// has taken it over (never write into such a slot).
int heldSlot(const PeerRegistry& registry, const PeerLink& link);

// Whether a slot has an owner, and how many instances hold it or follow it.
bool slotHasOwner(const PeerSlot& slot);
int32_t holderCountOf(const PeerSlot& slot);

// What a Masker needs to know of the slot it follows: whether a live
// Source holds it, and the even level sequence of its latest levels.
struct SourceState
{
    bool sourceHolds = false;
    uint64_t levelSeq = 0;
};
SourceState readSourceState(const PeerSlot& slot);
// How many level vectors the slot has published in all (see levelHistory).
uint64_t publicationCount(const PeerSlot& slot);

// The Source's stereo balance (+1 left .. -1 right) and priority.
float balanceOf(const PeerSlot& slot);
int32_t priorityOf(const PeerSlot& slot);
// Publishes the holder's balance, and a Source's priority with it.
void publishBalance(PeerRegistry& registry, const PeerLink& link, float balance);
void publishPriority(PeerRegistry& registry, const PeerLink& link, int32_t priority);

// Link-matrix state of a held slot: muted, or soloed (the one slot Listen
// plays for every instance).
bool isSlotMuted(const PeerRegistry& registry, int slot);
bool isSlotSoloed(const PeerRegistry& registry, int slot);

// The Source a Masker slot follows, and the role of a slot's holder.
int32_t targetOf(const PeerSlot& slot);
int32_t roleOf(const PeerSlot& slot);

// Name publication (at most 31 bytes kept, never half a UTF-8 character; a
// null or empty text publishes nothing) and reading (up to 3 attempts; empty
// when never written or inconsistent). `out` is always zero-terminated.
void publishName(PeerRegistry& registry, PeerLink& link, const char* text);
// Empties the held slot's name (the track lost its name).
void clearName(PeerRegistry& registry, PeerLink& link);
void readName(const PeerSlot& slot, char out[kPeerNameBytes]);

// Idle heartbeat of the held slot. Like every publication above, it does
// nothing once the slot has been taken over by another instance.
void heartbeat(PeerRegistry& registry, PeerLink& link);

// Leaving at destruction: release the slot and detach.
void detachAtDestruction(PeerRegistry& registry, PeerLink& link);

// Engine reset: release the slot and detach, so the next chunk attaches afresh.
void detachAtReset(PeerRegistry& registry, PeerLink& link);

} // namespace ostrel
