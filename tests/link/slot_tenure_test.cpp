// What a slot's new holder starts with: none of the earlier holder's requests,
// mute, solo or name; and what an instance keeps when it takes back its own
// slot after a reset.
#include "link/link_matrix.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

namespace ostrel
{
namespace
{

constexpr int kMasker = 2;
constexpr int kSource = 1;

class SlotTenure : public ::testing::Test
{
protected:
    PeerLink& NewLink(int role, int channelIndex)
    {
        links.push_back(std::make_unique<PeerLink>());
        PeerLink& link = *links.back();
        initPeerLink(*registry, link);
        attach(*registry, link, role, channelIndex, false, false);
        return link;
    }
    std::string Name(int slotIndex) const
    {
        char text[kPeerNameBytes];
        readName(registry->slots[slotIndex], text);
        return text;
    }

    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::vector<std::unique_ptr<PeerLink>> links;
};

// How the earlier holder leaves the slot to the next one.
struct Departure
{
    const char* what;
    int role;
    bool destroyed; // detach at destruction, else switched Off
};

std::ostream& operator<<(std::ostream& out, const Departure& d)
{
    return out << d.what;
}

class NewHolder : public SlotTenure, public ::testing::WithParamInterface<Departure>
{
};

TEST_P(NewHolder, StartsWithoutTheEarlierHoldersRequestsMuteSoloOrName)
{
    const Departure& d = GetParam();
    PeerLink& earlier = NewLink(d.role, 6);
    const int slot = earlier.slotIndex.load();
    ASSERT_GE(slot, 0);
    publishName(*registry, earlier, "Old Track");
    applyMatrixEdit(*registry, slot + 1, 80.0, MatrixEdit::Depth);
    applyMatrixEdit(*registry, slot + 1, 2.0, MatrixEdit::Priority);
    applyMatrixEdit(*registry, slot + 1, 1.0, MatrixEdit::Mute);
    setSolo(*registry, slot + 1);
    if (d.destroyed)
        detachAtDestruction(*registry, earlier);
    else
        attach(*registry, earlier, 0, 6, false, false);
    EXPECT_EQ(soloChannel(*registry), -1) << "the soloed row left";

    PeerLink& next = NewLink(d.role, 6);
    ASSERT_EQ(next.slotIndex.load(), slot);
    EXPECT_EQ(registry->slots[slot].mute.load(), 0);
    EXPECT_EQ(Name(slot), "");

    uint32_t seenClaims = 0;
    int32_t depthSeq = 0;
    int32_t prioritySeq = 0;
    EXPECT_TRUE(adoptRequestsOfNewClaim(next, seenClaims, depthSeq, prioritySeq));
    float depth = 0.0f;
    int32_t priority = 0;
    EXPECT_FALSE(takeDepthRequest(*registry, next, depthSeq, depth, &seenClaims));
    EXPECT_FALSE(takePriorityRequest(*registry, next, prioritySeq, priority, &seenClaims));

    // What is asked of the new holder after it arrived is its own.
    applyMatrixEdit(*registry, slot + 1, 35.0, MatrixEdit::Depth);
    EXPECT_FALSE(adoptRequestsOfNewClaim(next, seenClaims, depthSeq, prioritySeq));
    EXPECT_TRUE(takeDepthRequest(*registry, next, depthSeq, depth, &seenClaims));
    EXPECT_EQ(depth, 35.0f);
}

INSTANTIATE_TEST_SUITE_P(Departures, NewHolder,
                         ::testing::Values(Departure{"Masker removed", kMasker, true},
                                           Departure{"Masker switched off", kMasker, false},
                                           Departure{"Source removed", kSource, true},
                                           Departure{"Source switched off", kSource, false}),
                         [](const auto& info)
                         {
                             return std::string(info.param.role == kMasker ? "Masker" : "Source") +
                                    (info.param.destroyed ? "_removed" : "_off");
                         });

TEST_F(SlotTenure, ReclaimingOnesOwnSlotAfterAResetKeepsTheMute)
{
    PeerLink& masker = NewLink(kMasker, 2);
    const int slot = masker.slotIndex.load();
    applyMatrixEdit(*registry, slot + 1, 1.0, MatrixEdit::Mute);
    detachAtReset(*registry, masker);
    attach(*registry, masker, kMasker, 2, false, false);
    ASSERT_EQ(masker.slotIndex.load(), slot);
    EXPECT_EQ(registry->slots[slot].mute.load(), 1);
}

TEST_F(SlotTenure, RequestsArrivingDuringAClaimWaitForItsAdoption)
{
    PeerLink& masker = NewLink(kMasker, 2);
    const int first = masker.slotIndex.load();
    uint32_t seenClaims = 0;
    int32_t depthSeq = 0;
    int32_t prioritySeq = 0;
    ASSERT_TRUE(adoptRequestsOfNewClaim(masker, seenClaims, depthSeq, prioritySeq));

    // Another slot is claimed (eviction, then a new search) after the tick
    // adopted the first claim: its old request is not taken on stale counters.
    PeerLink& source = NewLink(kSource, first);
    ASSERT_EQ(source.slotIndex.load(), first);
    const int second = first - 1;
    applyMatrixEdit(*registry, second + 1, 90.0, MatrixEdit::Depth);
    attach(*registry, masker, kMasker, 2, false, false);
    ASSERT_EQ(masker.slotIndex.load(), second);
    float depth = 0.0f;
    EXPECT_FALSE(takeDepthRequest(*registry, masker, depthSeq, depth, &seenClaims));
    EXPECT_TRUE(adoptRequestsOfNewClaim(masker, seenClaims, depthSeq, prioritySeq));
    EXPECT_FALSE(takeDepthRequest(*registry, masker, depthSeq, depth, &seenClaims));
}

TEST_F(SlotTenure, EmptiedNameReadsEmpty)
{
    PeerLink& source = NewLink(kSource, 20);
    publishName(*registry, source, "Vox");
    clearName(*registry, source);
    EXPECT_EQ(Name(20), "");
    publishName(*registry, source, "Lead Vox");
    EXPECT_EQ(Name(20), "Lead Vox");
}

} // namespace
} // namespace ostrel
