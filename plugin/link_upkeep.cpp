#include "plugin/link_upkeep.h"

namespace ostrel
{

bool LinkUpkeep::AudioStalled(int32_t blockCounter, int64_t nowMs)
{
    // Before the first tick the counter stood at 0.
    const int32_t before = mBlockCounterSeen ? mLastBlockCounter : 0;
    if (blockCounter != before)
        mLastAudioMs = nowMs;
    const bool stalled = mBlockCounterSeen && blockCounter == mLastBlockCounter;
    mBlockCounterSeen = true;
    mLastBlockCounter = blockCounter;
    return stalled;
}

bool LinkUpkeep::AdoptNewClaim(const PeerLink& link)
{
    return adoptRequestsOfNewClaim(link, mSeenClaims, mDepthSeq, mPrioritySeq);
}

std::optional<LinkUpkeep::DepthRequest> LinkUpkeep::TakeDepthRequest(const PeerRegistry& registry,
                                                                     const PeerLink& link)
{
    DepthRequest request;
    if (!takeDepthRequest(registry, link, mDepthSeq, request.percent, &mSeenClaims,
                          &request.gesture))
        return std::nullopt;
    return request;
}

std::optional<int32_t> LinkUpkeep::TakePriorityRequest(const PeerRegistry& registry,
                                                       const PeerLink& link)
{
    int32_t priority = 0;
    if (!takePriorityRequest(registry, link, mPrioritySeq, priority, &mSeenClaims))
        return std::nullopt;
    return priority;
}

} // namespace ostrel
