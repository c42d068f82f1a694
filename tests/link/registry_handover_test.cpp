// An instance's move from one registry to another, step by step as the two
// threads meet it: the audio thread takes an offered move only between
// chunks, the idle thread takes it on its behalf when no chunk runs, the
// registry left behind keeps the instance's slot until the audio thread is
// out of it, and an instance that goes before its move was settled still
// gives everything back.
#include "link/registry_handover.h"

#include <gtest/gtest.h>

namespace ostrel
{
namespace
{

class RegistryHandoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        joinHostSession("handover-test", CrossProcessLinking::Never);
        followLinkPreference(CrossProcessLinking::Never);
    }
    void TearDown() override { followLinkPreference(CrossProcessLinking::Never); }
};

TEST_F(RegistryHandoverTest, TheAudioThreadTakesAMoveBetweenChunksOnly)
{
    RegistryHandover handover;
    PeerRegistry& own = sharedRegistry();
    ASSERT_EQ(handover.idleSide().lease.registry, &own);
    // A chunk runs and holds channel 12 in the process's registry.
    RegistryMembership& first = handover.beginChunk();
    attach(*first.lease.registry, first.link, kPeerRoleSource, 12, false, false);
    ASSERT_TRUE(slotHasOwner(own.slots[12]));

    followLinkPreference(CrossProcessLinking::Always);
    PeerRegistry* block = sessionRegistry();
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(handover.followPlace()) << "offered";
    EXPECT_TRUE(handover.moving()) << "the chunk still runs in the old registry";
    EXPECT_EQ(handover.idleSide().lease.registry, block);
    handover.followPlace();
    EXPECT_TRUE(handover.moving()) << "never taken while a chunk runs";
    EXPECT_TRUE(slotHasOwner(own.slots[12])) << "the running chunk's slot stays";
    handover.endChunk();

    RegistryMembership& next = handover.beginChunk();
    EXPECT_EQ(next.lease.registry, block) << "the next chunk takes the move";
    attach(*next.lease.registry, next.link, kPeerRoleSource, 12, false, false);
    handover.endChunk();
    EXPECT_FALSE(handover.moving());
    EXPECT_TRUE(slotHasOwner(own.slots[12])) << "left only once settled";
    handover.followPlace();
    EXPECT_FALSE(slotHasOwner(own.slots[12]));
    EXPECT_TRUE(slotHasOwner(block->slots[12]));
}

TEST_F(RegistryHandoverTest, WithNoChunkRunningTheIdleThreadMovesAtOnce)
{
    RegistryHandover handover;
    PeerRegistry* own = &sharedRegistry(); // the process's, while it is the place
    followLinkPreference(CrossProcessLinking::Always);
    EXPECT_TRUE(handover.followPlace());
    EXPECT_FALSE(handover.moving());
    EXPECT_EQ(handover.beginChunk().lease.registry, sessionRegistry());
    handover.endChunk();
    // Back, and an offer while one is pending is not made on top of it.
    followLinkPreference(CrossProcessLinking::Never);
    handover.beginChunk();
    EXPECT_TRUE(handover.followPlace());
    followLinkPreference(CrossProcessLinking::Always);
    EXPECT_FALSE(handover.followPlace()) << "the first move is still to be taken";
    EXPECT_EQ(handover.idleSide().lease.registry, own);
    handover.endChunk();
    EXPECT_EQ(handover.beginChunk().lease.registry, own) << "the first move";
    handover.endChunk();
    EXPECT_TRUE(handover.followPlace()) << "then the second";
    EXPECT_EQ(handover.beginChunk().lease.registry, sessionRegistry());
    handover.endChunk();
}

TEST_F(RegistryHandoverTest, AnInstanceGoneBeforeItsMoveWasSettledGivesEverythingBack)
{
    {
        RegistryHandover handover;
        followLinkPreference(CrossProcessLinking::Always);
        RegistryMembership& chunk = handover.beginChunk();
        attach(*chunk.lease.registry, chunk.link, kPeerRoleMasker, 3, false, false);
        handover.followPlace(); // offered; the chunk runs
        handover.endChunk();
        handover.beginChunk(); // the audio thread takes it
        handover.endChunk();
        followLinkPreference(CrossProcessLinking::Never);
        EXPECT_EQ(attachedBlockCount(), 1) << "still leased";
    }
    EXPECT_EQ(attachedBlockCount(), 0);
    for (const PeerSlot& slot : sharedRegistry().slots)
        EXPECT_FALSE(slotHasOwner(slot));
}

} // namespace
} // namespace ostrel
