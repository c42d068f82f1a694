// ostrel::LinkUpkeep: what the instance keeps between idle ticks of its
// place among its peers: the link's block counter as the last tick saw it
// (audio stopped: the main thread attaches; no block for a while: the
// meters are stale), the matrix requests of its slot it has acted on and the
// claim they belong to, the track name it publishes and when, and whether
// it has joined its host's session.
#pragma once

#include "link/link_matrix.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel
{

class LinkUpkeep
{
public:
    // The track name is refreshed every 8th tick.
    static constexpr int32_t kNameTickPeriod = 8;
    // Without a processed block for this long the meters stand still.
    static constexpr int64_t kStaleAfterMs = 250;

    // ---- Audio ----
    // Every tick, the link's block counter at `nowMs`: true when it stood
    // still since the previous tick (never at the first).
    bool AudioStalled(int32_t blockCounter, int64_t nowMs);
    // No block counted for kStaleAfterMs, or none ever.
    bool AudioStale(int64_t nowMs) const
    {
        return mLastAudioMs < 0 || nowMs - mLastAudioMs >= kStaleAfterMs;
    }

    // ---- Matrix requests left in the slot ----
    struct DepthRequest
    {
        float percent = 0.0f;
        RequestGesture gesture = RequestGesture::Single;
    };
    // A slot newly claimed: what was requested of its earlier holders is
    // not for this one. True when there was a new claim.
    bool AdoptNewClaim(const PeerLink& link);
    // A request not acted on yet (a depth of -1 is none: it is only seen).
    std::optional<DepthRequest> TakeDepthRequest(const PeerRegistry& registry,
                                                 const PeerLink& link);
    std::optional<int32_t> TakePriorityRequest(const PeerRegistry& registry, const PeerLink& link);
    // The request counters last acted on.
    int32_t DepthRequestSeen() const { return mDepthSeq; }
    int32_t PriorityRequestSeen() const { return mPrioritySeq; }

    // ---- Track name ----
    const std::string& TrackName() const { return mTrackName; }
    void SetTrackName(std::string name) { mTrackName = std::move(name); }
    // Counts every tick; true on those the name is refreshed.
    bool NameTickDue() { return ++mNameTicks % kNameTickPeriod == 0; }

    // ---- Host session ----
    void NoteSessionJoined() { mSessionJoined = true; }
    bool SessionJoined() const { return mSessionJoined; }

private:
    int32_t mLastBlockCounter = 0;
    bool mBlockCounterSeen = false;
    int64_t mLastAudioMs = -1; // monotonic ms, -1 never
    int32_t mDepthSeq = 0;
    int32_t mPrioritySeq = 0;
    uint32_t mSeenClaims = 0; // the link's claimCount whose requests were adopted
    std::string mTrackName;
    int32_t mNameTicks = 0;
    bool mSessionJoined = false;
};

} // namespace ostrel
