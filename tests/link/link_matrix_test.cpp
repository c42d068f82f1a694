// The link matrix on a private registry: solo, edits written by any editor,
// requests taken by the holder, and the rows a report shows.
#include "link/link_matrix.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "link/monotonic_clock.h"

namespace ostrel
{
namespace
{

std::atomic<int64_t> matrixNowMs{0};
int64_t matrixNow()
{
    return matrixNowMs.load();
}

class LinkMatrixTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        matrixNowMs = 1000;
        setMonotonicSourceForTesting(&matrixNow);
    }
    void TearDown() override { setMonotonicSourceForTesting(nullptr); }

    PeerLink& newLink(int role, int channelIndex)
    {
        links.push_back(std::make_unique<PeerLink>());
        PeerLink& link = *links.back();
        initPeerLink(*registry, link);
        attach(*registry, link, role, channelIndex, false, false);
        return link;
    }

    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::vector<std::unique_ptr<PeerLink>> links;
};

struct SoloCase
{
    int channel;
    int soloIndex;
    int shown;
};

std::ostream& operator<<(std::ostream& out, const SoloCase& c)
{
    return out << "channel " << c.channel;
}

class LinkMatrixSoloTest : public LinkMatrixTest, public ::testing::WithParamInterface<SoloCase>
{
};

TEST_P(LinkMatrixSoloTest, ChannelNumberSetsTheSoloIndex)
{
    setSolo(*registry, 5);
    setSolo(*registry, GetParam().channel);
    EXPECT_EQ(registry->header.soloIndex.load(), GetParam().soloIndex);
    EXPECT_EQ(soloChannel(*registry), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Channels, LinkMatrixSoloTest,
                         ::testing::Values(SoloCase{63, 62, 63}, SoloCase{1, 0, 1},
                                           SoloCase{64, 63, 64}, SoloCase{0, -1, -1},
                                           SoloCase{-7, -1, -1}, SoloCase{100, 99, 100}));

TEST_F(LinkMatrixTest, ASoloIndexWithNoChannelNumberReadsAsNone)
{
    registry->header.soloIndex.store(std::numeric_limits<int>::max());
    EXPECT_EQ(soloChannel(*registry), -1);
}

TEST_F(LinkMatrixTest, PriorityEditRoundsHalfUpAndBumpsTheCounter)
{
    EXPECT_TRUE(applyMatrixEdit(*registry, 3, 2.6, MatrixEdit::Priority));
    EXPECT_EQ(registry->slots[2].priorityRequest.load(), 3);
    EXPECT_EQ(registry->slots[2].priorityRequestSeq.load(), 1);
    EXPECT_TRUE(applyMatrixEdit(*registry, 3, 2.4, MatrixEdit::Priority));
    EXPECT_EQ(registry->slots[2].priorityRequest.load(), 2);
    EXPECT_EQ(registry->slots[2].priorityRequestSeq.load(), 2);
    // Far outside 1..8 is stored as a large number, never undefined.
    EXPECT_TRUE(applyMatrixEdit(*registry, 3, 1e20, MatrixEdit::Priority));
    EXPECT_GT(registry->slots[2].priorityRequest.load(), 8);
}

TEST_F(LinkMatrixTest, DepthEditStoresPercentAndBumpsTheCounter)
{
    EXPECT_TRUE(applyMatrixEdit(*registry, 64, 37.5, MatrixEdit::Depth));
    EXPECT_EQ(registry->slots[63].depthRequest.load(), 37.5f);
    EXPECT_EQ(registry->slots[63].depthRequestSeq.load(), 1);
    EXPECT_EQ(registry->slots[63].priorityRequestSeq.load(), 0);
}

TEST_F(LinkMatrixTest, MuteIsSetAboveOneHalf)
{
    const std::pair<double, int> cases[] = {{1.0, 1}, {0.5, 0}, {0.51, 1}, {0.0, 0}, {-3.0, 0}};
    for (const auto& [value, mute] : cases)
    {
        EXPECT_TRUE(applyMatrixEdit(*registry, 10, value, MatrixEdit::Mute));
        EXPECT_EQ(registry->slots[9].mute.load(), mute) << value;
    }
}

TEST_F(LinkMatrixTest, EditsOutsideTheChannelsOrWithoutANumberChangeNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (MatrixEdit edit : {MatrixEdit::Depth, MatrixEdit::Priority, MatrixEdit::Mute})
    {
        EXPECT_FALSE(applyMatrixEdit(*registry, 0, 1.0, edit));
        EXPECT_FALSE(applyMatrixEdit(*registry, 65, 1.0, edit));
        EXPECT_FALSE(applyMatrixEdit(*registry, -1, 1.0, edit));
        EXPECT_FALSE(applyMatrixEdit(*registry, 4, nan, edit));
        EXPECT_FALSE(applyMatrixEdit(*registry, 4, inf, edit));
    }
    for (const PeerSlot& slot : registry->slots)
    {
        ASSERT_EQ(slot.depthRequestSeq.load(), 0);
        ASSERT_EQ(slot.priorityRequestSeq.load(), 0);
        ASSERT_EQ(slot.mute.load(), 0);
        ASSERT_EQ(slot.depthRequest.load(), -1.0f);
    }
}

TEST_F(LinkMatrixTest, HolderTakesEachRequestOnce)
{
    PeerLink& masker = newLink(2, 0);
    const int ch = masker.slotIndex.load() + 1;
    int32_t lastDepthSeq = 0;
    int32_t lastPrioritySeq = 0;
    float depth = 0.0f;
    int32_t priority = 0;

    EXPECT_FALSE(takeDepthRequest(*registry, masker, lastDepthSeq, depth));
    applyMatrixEdit(*registry, ch, 42.0, MatrixEdit::Depth);
    applyMatrixEdit(*registry, ch, 6.0, MatrixEdit::Priority);
    EXPECT_TRUE(takeDepthRequest(*registry, masker, lastDepthSeq, depth));
    EXPECT_EQ(depth, 42.0f);
    EXPECT_TRUE(takePriorityRequest(*registry, masker, lastPrioritySeq, priority));
    EXPECT_EQ(priority, 6);
    EXPECT_FALSE(takeDepthRequest(*registry, masker, lastDepthSeq, depth));
    EXPECT_FALSE(takePriorityRequest(*registry, masker, lastPrioritySeq, priority));
}

TEST_F(LinkMatrixTest, NegativeDepthRequestMovesTheCounterOnly)
{
    PeerLink& masker = newLink(2, 0);
    int32_t lastSeq = 0;
    float depth = 55.0f;
    applyMatrixEdit(*registry, masker.slotIndex.load() + 1, -1.0, MatrixEdit::Depth);
    EXPECT_FALSE(takeDepthRequest(*registry, masker, lastSeq, depth));
    EXPECT_EQ(lastSeq, 1);
    EXPECT_EQ(depth, 55.0f);
}

TEST_F(LinkMatrixTest, RequestLeftBeforeTheHolderArrivedIsNotApplied)
{
    applyMatrixEdit(*registry, 7, 1.0, MatrixEdit::Priority);
    PeerLink& source = newLink(1, 6);
    uint32_t seenClaims = 0;
    int32_t lastDepthSeq = 0;
    int32_t lastSeq = 0;
    EXPECT_TRUE(adoptRequestsOfNewClaim(source, seenClaims, lastDepthSeq, lastSeq));
    EXPECT_EQ(lastSeq, 1);
    int32_t priority = 0;
    EXPECT_FALSE(takePriorityRequest(*registry, source, lastSeq, priority, &seenClaims));
}

TEST_F(LinkMatrixTest, TakenOverHolderNeitherTakesRequestsNorPublishesDepth)
{
    PeerLink& stale = newLink(1, 6);
    matrixNowMs = 7000;
    PeerLink& taker = newLink(1, 6);
    ASSERT_EQ(registry->slots[6].ownerId.load(), taker.instanceId);

    applyMatrixEdit(*registry, 7, 3.0, MatrixEdit::Priority);
    int32_t staleSeq = 0;
    int32_t priority = 0;
    EXPECT_FALSE(takePriorityRequest(*registry, stale, staleSeq, priority));
    EXPECT_EQ(staleSeq, 0);
    publishDepthPercent(*registry, stale, 80.0f);
    EXPECT_EQ(registry->slots[6].depthPercent.load(), 0.0f);

    int32_t takerSeq = 0;
    EXPECT_TRUE(takePriorityRequest(*registry, taker, takerSeq, priority));
    publishDepthPercent(*registry, taker, 25.0f);
    EXPECT_EQ(registry->slots[6].depthPercent.load(), 25.0f);
}

TEST_F(LinkMatrixTest, TwoMaskersOfOneSourceAreRowsTargetingIt)
{
    PeerLink& source = newLink(1, 2);
    PeerLink& maskerA = newLink(2, 2);
    PeerLink& maskerB = newLink(2, 2);
    publishName(*registry, source, "Lead \"vox\"");
    applyMatrixEdit(*registry, maskerA.slotIndex.load() + 1, 1.0, MatrixEdit::Mute);

    const LiveRowCounts counts = countLiveRows(*registry, 1000);
    EXPECT_EQ(counts.sources, 1);
    EXPECT_EQ(counts.maskers, 2);

    MatrixRow row;
    ASSERT_TRUE(readMatrixRow(*registry, 2, 1000, row));
    EXPECT_EQ(row.channel, 3);
    EXPECT_EQ(row.role, 1);
    EXPECT_EQ(row.priority, 4);
    EXPECT_EQ(std::string(row.name), "Lead \"vox\"");

    for (PeerLink* masker : {&maskerA, &maskerB})
    {
        ASSERT_TRUE(readMatrixRow(*registry, masker->slotIndex.load(), 1000, row));
        EXPECT_EQ(row.role, 2);
        EXPECT_EQ(row.target, 2);
        EXPECT_EQ(row.mute, masker == &maskerA);
        EXPECT_EQ(row.channel, masker->slotIndex.load() + 1);
        EXPECT_STREQ(row.name, "");
    }
    EXPECT_FALSE(readMatrixRow(*registry, 30, 1000, row));
    EXPECT_FALSE(readMatrixRow(*registry, 64, 1000, row));
    EXPECT_FALSE(readMatrixRow(*registry, -1, 1000, row));
}

// A block another process left behind may hold any target; only a slot
// index is one, and the report's "target + 1" must never overflow.
TEST_F(LinkMatrixTest, ATargetThatIsNoSlotReadsAsNone)
{
    PeerLink& masker = newLink(2, 0);
    const int slot = masker.slotIndex.load();
    const struct
    {
        int32_t stored;
        int32_t read;
    } cases[] = {{0, 0},
                 {kPeerSlotCount - 1, kPeerSlotCount - 1},
                 {-1, -1},
                 {kPeerSlotCount, -1},
                 {std::numeric_limits<int32_t>::max(), -1},
                 {std::numeric_limits<int32_t>::min(), -1}};
    for (const auto& c : cases)
    {
        registry->slots[slot].target.store(c.stored);
        MatrixRow row;
        ASSERT_TRUE(readMatrixRow(*registry, slot, 1000, row));
        EXPECT_EQ(row.target, c.read) << "stored " << c.stored;
    }
}

TEST_F(LinkMatrixTest, RowsLeaveWhenStaleOrReleased)
{
    PeerLink& source = newLink(1, 0);
    newLink(2, 0);
    MatrixRow row;
    EXPECT_TRUE(readMatrixRow(*registry, 0, 6000, row));
    EXPECT_FALSE(readMatrixRow(*registry, 0, 6001, row));
    EXPECT_EQ(countLiveRows(*registry, 6001).maskers, 0);

    release(*registry, source);
    EXPECT_FALSE(readMatrixRow(*registry, 0, 1000, row));
    EXPECT_EQ(countLiveRows(*registry, 1000).sources, 0);
    EXPECT_EQ(countLiveRows(*registry, 1000).maskers, 1);
}

} // namespace
} // namespace ostrel
