// The link matrix: who masks whom, how strongly each Source is protected, how
// deep each Masker may dip, which links are muted and which channel is soloed.
// It has no table of its own; these operations read and edit the peer
// registry's slots so that any instance's editor can show and change any row.
#pragma once

#include <cstdint>

#include "link/peer_registry.h"

namespace ostrel
{

// Solo from a channel number (1..64): soloIndex = n - 1, or -1 below 1.
// A number above 64 matches no slot, so it soloes nothing.
void setSolo(PeerRegistry& registry, int channelNumber);

// The channel number shown for the solo: soloIndex + 1, or -1 for none.
int soloChannel(const PeerRegistry& registry);

enum class MatrixEdit
{
    Depth,    // depthRequest = v percent, then depthRequestSeq + 1
    Priority, // priorityRequest = v rounded half up, then priorityRequestSeq + 1
    Mute,     // mute = v > 0.5
};

// Where a depth request stands in the requesting editor's drag, so that one
// drag on a matrix slider is one gesture at the holder's host: the first and
// every further value of a drag are Held, its last value Ended; a request
// outside a drag is Single (a complete edit of its own).
enum class RequestGesture : uint8_t
{
    Single = 0,
    Held = 1,
    Ended = 2,
};

// A matrix edit on channel 1..64 from any instance's editor (main thread).
// Returns whether anything was written: a channel outside 1..64 or a value
// that is not a finite number changes nothing. `gesture` concerns depth
// requests only.
bool applyMatrixEdit(PeerRegistry& registry, int channelNumber, double value, MatrixEdit edit,
                     RequestGesture gesture = RequestGesture::Single);

// A row of the matrix: a live slot whose role is Source or Masker.
bool isMatrixRow(const PeerSlot& slot, int64_t nowMs);

struct LiveRowCounts
{
    int sources = 0;
    int maskers = 0;
};
LiveRowCounts countLiveRows(const PeerRegistry& registry, int64_t nowMs);

// What a row shows, read without the level counter (a display may be torn).
struct MatrixRow
{
    int channel = 0;  // slot index + 1
    int role = 0;     // 1 Source, 2 Masker
    int target = -1;  // Masker: slot index of its Source, -1 none
    int priority = 4; // as published, not clamped
    float depthPercent = 0.0f;
    bool mute = false;
    float balance = 0.0f;
    float bandLevels[kPeerBandCount] = {};
    char name[kPeerNameBytes] = {};
};

// Fills `row` and returns true when slot `slotIndex` is a matrix row at nowMs.
bool readMatrixRow(const PeerRegistry& registry, int slotIndex, int64_t nowMs, MatrixRow& row);

// Idle duties of the holder (main thread). Each does nothing unless the link
// still owns its slot, so an instance whose slot was taken over neither writes
// into it nor applies requests meant for the new holder.

// A Masker's own Depth, published for the matrix.
void publishDepthPercent(PeerRegistry& registry, PeerLink& link, float depthPercent);

// After a new claim (link.claimCount differs from `seenClaims`): takes the
// request counters the slot had when it was claimed as seen, so that a new
// holder never applies requests made for an earlier one. Returns whether
// there was a new claim.
bool adoptRequestsOfNewClaim(const PeerLink& link, uint32_t& seenClaims, int32_t& lastDepthSeq,
                             int32_t& lastPrioritySeq);

// A depth request the holder has not seen yet: remembers the new counter in
// `lastSeq` and returns true with the request when it is 0 or more (and its
// place in the requester's drag in `gesture`, when given). With
// `seenClaims`, nothing is taken while a claim newer than that is pending
// adoption.
bool takeDepthRequest(const PeerRegistry& registry, const PeerLink& link, int32_t& lastSeq,
                      float& depthPercent, const uint32_t* seenClaims = nullptr,
                      RequestGesture* gesture = nullptr);

// A priority request the holder has not seen yet (no sign test: the Priority
// parameter clamps it when applied).
bool takePriorityRequest(const PeerRegistry& registry, const PeerLink& link, int32_t& lastSeq,
                         int32_t& priority, const uint32_t* seenClaims = nullptr);

} // namespace ostrel
