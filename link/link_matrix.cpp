#include "link/link_matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrel
{
namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr auto kAcquire = std::memory_order_acquire;
constexpr auto kAcqRel = std::memory_order_acq_rel;

// Far beyond 1..8 yet safe to convert to int.
constexpr double kPriorityLimit = 1.0e9;

// The slot the link still owns, or nullptr (none held, or taken over).
template <typename Registry> auto* ownedSlot(Registry& registry, const PeerLink& link)
{
    const int index = link.slotIndex.load(kAcquire);
    auto* slot = &registry.slots[index & (kPeerSlotCount - 1)];
    if (index < 0 || slot->ownerId.load(kAcquire) != link.instanceId)
        slot = nullptr;
    return slot;
}

// A claim newer than the one whose counters were adopted: the slot read may
// be the new one, whose earlier requests are not for this holder. (A link
// that shows the new slot already shows the new count.)
bool claimPending(const PeerLink& link, const uint32_t* seenClaims)
{
    return seenClaims != nullptr && link.claimCount.load(kAcquire) != *seenClaims;
}

} // namespace

void setSolo(PeerRegistry& registry, int channelNumber)
{
    registry.header.soloIndex.store(channelNumber >= 1 ? channelNumber - 1 : -1, kRelaxed);
}

int soloChannel(const PeerRegistry& registry)
{
    // Another process may have written anything there: a solo that has no
    // channel number reads as none.
    const int solo = registry.header.soloIndex.load(kRelaxed);
    return solo < 0 || solo == std::numeric_limits<int>::max() ? -1 : solo + 1;
}

bool applyMatrixEdit(PeerRegistry& registry, int channelNumber, double value, MatrixEdit edit,
                     RequestGesture gesture)
{
    if (channelNumber < 1 || channelNumber > kPeerSlotCount || !std::isfinite(value))
        return false;
    PeerSlot& slot = registry.slots[channelNumber - 1];
    switch (edit)
    {
    case MatrixEdit::Depth:
        // The value goes in before the counter moves: a holder that sees the
        // new count reads this request.
        slot.depthRequest.store(static_cast<float>(value), kRelaxed);
        slot.depthRequestGesture.store(static_cast<uint8_t>(gesture), kRelaxed);
        slot.depthRequestSeq.fetch_add(1, kAcqRel);
        return true;
    case MatrixEdit::Priority:
    {
        const double rounded = std::clamp(value + 0.5, -kPriorityLimit, kPriorityLimit);
        slot.priorityRequest.store(static_cast<int32_t>(rounded), kRelaxed);
        slot.priorityRequestSeq.fetch_add(1, kAcqRel);
        return true;
    }
    case MatrixEdit::Mute:
        slot.mute.store(value > 0.5 ? 1 : 0, kRelaxed);
        return true;
    }
    return false;
}

bool isMatrixRow(const PeerSlot& slot, int64_t nowMs)
{
    const int role = slot.role.load(kRelaxed);
    return (role == kPeerRoleSource || role == kPeerRoleMasker) && isSlotLive(slot, nowMs);
}

LiveRowCounts countLiveRows(const PeerRegistry& registry, int64_t nowMs)
{
    LiveRowCounts counts;
    for (const PeerSlot& slot : registry.slots)
    {
        if (!isSlotLive(slot, nowMs))
            continue;
        const int role = slot.role.load(kRelaxed);
        counts.sources += role == kPeerRoleSource ? 1 : 0;
        counts.maskers += role == kPeerRoleMasker ? 1 : 0;
    }
    return counts;
}

bool readMatrixRow(const PeerRegistry& registry, int slotIndex, int64_t nowMs, MatrixRow& row)
{
    if (slotIndex < 0 || slotIndex >= kPeerSlotCount)
        return false;
    const PeerSlot& slot = registry.slots[slotIndex];
    if (!isMatrixRow(slot, nowMs))
        return false;
    row.channel = slotIndex + 1;
    row.role = slot.role.load(kRelaxed);
    // Another process may have left anything in the block; a target that is
    // not a slot is no target.
    const int32_t target = slot.target.load(kRelaxed);
    row.target = target >= 0 && target < kPeerSlotCount ? target : -1;
    row.priority = slot.priority.load(kRelaxed);
    row.depthPercent = slot.depthPercent.load(kRelaxed);
    row.mute = slot.mute.load(kRelaxed) != 0;
    row.balance = slot.balance.load(kRelaxed);
    for (int k = 0; k < kPeerBandCount; ++k)
        row.bandLevels[k] = slot.bandLevels[k].load(kRelaxed);
    readName(slot, row.name);
    return true;
}

void publishDepthPercent(PeerRegistry& registry, PeerLink& link, float depthPercent)
{
    if (PeerSlot* slot = ownedSlot(registry, link))
        slot->depthPercent.store(depthPercent, kRelaxed);
}

bool adoptRequestsOfNewClaim(const PeerLink& link, uint32_t& seenClaims, int32_t& lastDepthSeq,
                             int32_t& lastPrioritySeq)
{
    const uint32_t claims = link.claimCount.load(kAcquire);
    if (claims == seenClaims)
        return false;
    seenClaims = claims;
    lastDepthSeq = link.depthRequestSeqAtClaim.load(kRelaxed);
    lastPrioritySeq = link.priorityRequestSeqAtClaim.load(kRelaxed);
    return true;
}

bool takeDepthRequest(const PeerRegistry& registry, const PeerLink& link, int32_t& lastSeq,
                      float& depthPercent, const uint32_t* seenClaims, RequestGesture* gesture)
{
    const PeerSlot* slot = ownedSlot(registry, link);
    if (slot == nullptr || claimPending(link, seenClaims))
        return false;
    const int32_t seq = slot->depthRequestSeq.load(kAcquire);
    if (seq == lastSeq)
        return false;
    lastSeq = seq;
    const float request = slot->depthRequest.load(kRelaxed);
    if (!(request >= 0.0f))
        return false; // none (negative) or not a number
    depthPercent = request;
    if (gesture != nullptr)
    {
        const uint8_t g = slot->depthRequestGesture.load(kRelaxed);
        *gesture = g <= static_cast<uint8_t>(RequestGesture::Ended) ? static_cast<RequestGesture>(g)
                                                                    : RequestGesture::Single;
    }
    return true;
}

bool takePriorityRequest(const PeerRegistry& registry, const PeerLink& link, int32_t& lastSeq,
                         int32_t& priority, const uint32_t* seenClaims)
{
    const PeerSlot* slot = ownedSlot(registry, link);
    if (slot == nullptr || claimPending(link, seenClaims))
        return false;
    const int32_t seq = slot->priorityRequestSeq.load(kAcquire);
    if (seq == lastSeq)
        return false;
    lastSeq = seq;
    priority = slot->priorityRequest.load(kRelaxed);
    return true;
}

} // namespace ostrel
