// Slot ownership, publication and election of the peer registry, driven with
// a hand-moved clock on a private registry (the process-wide one is shared by
// every test in this program).
#include "link/peer_registry.h"

#include <gtest/gtest.h>

#include <ostream>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/monotonic_clock.h"

namespace ostrel
{
namespace
{

constexpr int kOff = 0;
constexpr int kSource = 1;
constexpr int kMasker = 2;
constexpr int kSelf = 3;

std::atomic<int64_t> fakeNowMs{0};
int64_t fakeNow()
{
    return fakeNowMs.load();
}

class PeerRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fakeNowMs = 1000;
        setMonotonicSourceForTesting(&fakeNow);
    }
    void TearDown() override { setMonotonicSourceForTesting(nullptr); }

    PeerLink& newLink()
    {
        links.push_back(std::make_unique<PeerLink>());
        initPeerLink(*registry, *links.back());
        return *links.back();
    }

    PeerSlot& slot(int index) { return registry->slots[index]; }

    void publishAll(PeerLink& link, float value, int64_t pos = 0, int frames = 64)
    {
        beginLevels(*registry, link);
        for (int k = 0; k < kPeerBandCount; ++k)
            writeLevel(*registry, link, k, value);
        publishBlock(*registry, link, pos, frames);
    }

    std::string name(int index)
    {
        char out[kPeerNameBytes];
        std::memset(out, 'x', sizeof(out));
        readName(slot(index), out);
        return out;
    }

    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::vector<std::unique_ptr<PeerLink>> links;
};

// ---------------------------------------------------------------- identity

TEST(PeerRegistryShared, IsFreedOnlyWhenNoInstanceRetainsIt)
{
    PeerRegistry& first = sharedRegistry();
    retainRegistry(first);
    retainRegistry(first);
    EXPECT_FALSE(releaseSharedRegistry());
    EXPECT_EQ(&sharedRegistry(), &first); // still the same table
    releaseRegistryUse(first);
    EXPECT_FALSE(releaseSharedRegistry());
    releaseRegistryUse(first);
    EXPECT_TRUE(releaseSharedRegistry());
    EXPECT_FALSE(releaseSharedRegistry()); // nothing left to free
    // The next user gets a fresh table.
    PeerRegistry& second = sharedRegistry();
    EXPECT_EQ(second.header.liveLinks.load(), 0);
    EXPECT_EQ(second.header.nextInstanceId.load(), 1);
}

TEST_F(PeerRegistryTest, InstanceIdsFollowConstructionOrder)
{
    EXPECT_EQ(newLink().instanceId, 1u);
    EXPECT_EQ(newLink().instanceId, 2u);
    EXPECT_EQ(newLink().instanceId, 3u);
}

TEST_F(PeerRegistryTest, InstanceIdZeroIsSkippedWhenTheCounterWraps)
{
    registry->header.nextInstanceId = -1;
    EXPECT_EQ(newLink().instanceId, 0xFFFFFFFFu);
    EXPECT_EQ(newLink().instanceId, 1u);
    EXPECT_EQ(newLink().instanceId, 2u);
}

TEST_F(PeerRegistryTest, NewLinkStartsDetached)
{
    PeerLink link;
    link.slotIndex = 7;
    link.attachKey = 7;
    link.blockCounter = 99;
    initPeerLink(*registry, link);
    EXPECT_EQ(link.slotIndex.load(), -1);
    EXPECT_EQ(link.attachKey.load(), -1);
    EXPECT_EQ(link.blockCounter.load(), 0);
}

TEST_F(PeerRegistryTest, FreshSlotHasItsInitialValues)
{
    const PeerSlot& s = slot(17);
    EXPECT_EQ(s.ownerId.load(), 0u);
    EXPECT_EQ(s.blockEndPos.load(), -1);
    EXPECT_EQ(s.target.load(), -1);
    EXPECT_EQ(s.priority.load(), 4);
    EXPECT_EQ(s.depthRequest.load(), -1.0f);
    for (int k = 0; k < kPeerBandCount; ++k)
        EXPECT_EQ(s.bandLevels[k].load(), -1.0f);
    EXPECT_EQ(registry->header.soloIndex.load(), -1);
    EXPECT_EQ(registry->header.nextInstanceId.load(), 1);
}

TEST(PeerRegistryShared, EveryThreadSeesTheSameTable)
{
    std::array<PeerRegistry*, 4> seen{};
    std::vector<std::thread> threads;
    for (auto& entry : seen)
        threads.emplace_back([&entry] { entry = &sharedRegistry(); });
    for (auto& thread : threads)
        thread.join();
    for (PeerRegistry* registry : seen)
        EXPECT_EQ(registry, &sharedRegistry());
}

// ---------------------------------------------------------------- claims

TEST_F(PeerRegistryTest, SourceClaimsTheSlotOfItsChannel)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 2, false, false);
    EXPECT_EQ(source.slotIndex.load(), 2);
    EXPECT_EQ(source.attachKey.load(), 2);
    EXPECT_EQ(slot(2).ownerId.load(), source.instanceId);
    EXPECT_EQ(slot(2).role.load(), kSource);
    EXPECT_EQ(slot(2).evictable.load(), 0);
    EXPECT_EQ(slot(2).holderCount.load(), 1);
    EXPECT_EQ(slot(2).heartbeatMs.load(), 1000);

    // Staying a Source on the same channel keeps the one claim.
    attach(*registry, source, kSource, 2, false, false);
    EXPECT_EQ(slot(2).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, SourceEvictsMaskerWhichMovesOneSlotDown)
{
    PeerLink& masker = newLink();
    PeerLink& source = newLink();
    attach(*registry, masker, kMasker, 63, false, false);
    ASSERT_EQ(masker.slotIndex.load(), 63);
    EXPECT_EQ(slot(63).evictable.load(), 1);
    EXPECT_EQ(slot(63).target.load(), 63);

    attach(*registry, source, kSource, 63, false, false);
    EXPECT_EQ(source.attachKey.load(), 63);
    EXPECT_EQ(slot(63).ownerId.load(), source.instanceId);
    EXPECT_EQ(slot(63).role.load(), kSource);
    EXPECT_EQ(slot(63).evictable.load(), 0);
    EXPECT_EQ(slot(63).holderCount.load(), 1);

    attach(*registry, masker, kMasker, 63, false, false);
    EXPECT_EQ(masker.slotIndex.load(), 62);
    EXPECT_EQ(masker.attachKey.load(), 62);
    EXPECT_EQ(slot(62).ownerId.load(), masker.instanceId);
    EXPECT_EQ(slot(62).target.load(), 63);
    EXPECT_EQ(slot(62).holderCount.load(), 1);
    EXPECT_EQ(slot(63).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, SecondSourceWaitsUntilTheFirstIsStaleForMoreThan5000Ms)
{
    PeerLink& first = newLink();
    PeerLink& second = newLink();
    attach(*registry, first, kSource, 5, false, false); // heartbeat at 1000

    fakeNowMs = 6000;
    attach(*registry, second, kSource, 5, false, false);
    EXPECT_EQ(second.slotIndex.load(), -1);
    EXPECT_EQ(second.attachKey.load(), -1);
    EXPECT_EQ(slot(5).ownerId.load(), first.instanceId);

    fakeNowMs = 6001;
    attach(*registry, second, kSource, 5, false, false);
    EXPECT_EQ(second.slotIndex.load(), 5);
    EXPECT_EQ(second.attachKey.load(), 5);
    EXPECT_EQ(slot(5).ownerId.load(), second.instanceId);
    EXPECT_EQ(slot(5).holderCount.load(), 1);
    EXPECT_EQ(slot(5).heartbeatMs.load(), 6001);
}

TEST_F(PeerRegistryTest, SourceOnChannelOfLiveSourceStaysDetached)
{
    PeerLink& first = newLink();
    PeerLink& second = newLink();
    attach(*registry, first, kSource, 9, false, false);
    for (int64_t t = 1000; t <= 20000; t += 1000)
    {
        fakeNowMs = t;
        heartbeat(*registry, first);
        attach(*registry, second, kSource, 9, false, false);
        ASSERT_EQ(second.attachKey.load(), -1) << "at " << t << " ms";
    }
    EXPECT_EQ(slot(9).ownerId.load(), first.instanceId);
    EXPECT_EQ(slot(9).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, TakenOverSourceNeverWritesIntoItsOldSlot)
{
    PeerLink& stale = newLink();
    PeerLink& taker = newLink();
    attach(*registry, stale, kSource, 3, false, false);
    publishName(*registry, stale, "old");

    fakeNowMs = 7000;
    attach(*registry, taker, kSource, 3, false, false);
    ASSERT_EQ(slot(3).ownerId.load(), taker.instanceId);
    publishAll(taker, 0.5f, 100, 10);
    publishName(*registry, taker, "new");
    const uint64_t seq = slot(3).levelSeq.load();

    // The stale instance wakes up with its slotIndex still set and publishes.
    fakeNowMs = 7500;
    ASSERT_EQ(stale.slotIndex.load(), 3);
    publishAll(stale, 0.25f, 999, 10);
    publishName(*registry, stale, "old again");
    heartbeat(*registry, stale);

    float levels[kPeerBandCount];
    int64_t blockEnd = 0;
    ASSERT_TRUE(readLevels(slot(3), levels, nullptr, &blockEnd));
    for (float level : levels)
        EXPECT_EQ(level, 0.5f);
    EXPECT_EQ(blockEnd, 110);
    EXPECT_EQ(slot(3).levelSeq.load(), seq);
    EXPECT_EQ(slot(3).heartbeatMs.load(), 7000);
    EXPECT_EQ(name(3), "new");

    // Its next chunk notices the loss and it stays off the slot.
    attach(*registry, stale, kSource, 3, false, false);
    EXPECT_EQ(stale.slotIndex.load(), -1);
    EXPECT_EQ(stale.attachKey.load(), -1);
    EXPECT_EQ(release(*registry, stale), -1);
    EXPECT_EQ(slot(3).ownerId.load(), taker.instanceId);
    EXPECT_EQ(slot(3).role.load(), kSource);
    EXPECT_EQ(slot(3).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, ReleasingAnEvictedSlotLeavesTheNewHolderAlone)
{
    PeerLink& masker = newLink();
    PeerLink& source = newLink();
    attach(*registry, masker, kMasker, 0, false, false);
    attach(*registry, source, kSource, 63, false, false);
    EXPECT_EQ(release(*registry, masker), 63);
    EXPECT_EQ(masker.slotIndex.load(), -1);
    EXPECT_EQ(slot(63).ownerId.load(), source.instanceId);
    EXPECT_EQ(slot(63).role.load(), kSource);
    EXPECT_EQ(slot(63).holderCount.load(), 1);
}

struct DetachCase
{
    const char* what;
    int role;
    bool bypassed;
    bool sidechainOn;
};

std::ostream& operator<<(std::ostream& out, const DetachCase& c)
{
    return out << c.what;
}

class PeerRegistryDetachTest : public PeerRegistryTest,
                               public ::testing::WithParamInterface<DetachCase>
{
};

TEST_P(PeerRegistryDetachTest, HoldsNoSlot)
{
    const DetachCase& c = GetParam();
    for (int previous : {kSource, kMasker})
    {
        PeerLink& link = newLink();
        attach(*registry, link, previous, 20, false, false);
        const int held = link.slotIndex.load();
        ASSERT_GE(held, 0);

        attach(*registry, link, c.role, 20, c.bypassed, c.sidechainOn);
        EXPECT_EQ(link.slotIndex.load(), -1) << c.what;
        EXPECT_EQ(link.attachKey.load(), -1) << c.what;
        EXPECT_EQ(slot(held).ownerId.load(), 0u) << c.what;
        EXPECT_EQ(slot(held).role.load(), 0) << c.what;
        EXPECT_EQ(slot(held).holderCount.load(), 0) << c.what;

        // And never takes one while it stays so.
        attach(*registry, link, c.role, 20, c.bypassed, c.sidechainOn);
        EXPECT_EQ(link.slotIndex.load(), -1) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Roles, PeerRegistryDetachTest,
                         ::testing::Values(DetachCase{"off", kOff, false, false},
                                           DetachCase{"self", kSelf, false, false},
                                           DetachCase{"bypassed source", kSource, true, false},
                                           DetachCase{"bypassed masker", kMasker, true, false},
                                           DetachCase{"sidechain masker", kMasker, false, true},
                                           DetachCase{"unknown role", 7, false, false}));

TEST_F(PeerRegistryTest, MaskerKeepsItsSlotAndBeatsEveryChunk)
{
    PeerLink& masker = newLink();
    attach(*registry, masker, kMasker, 4, false, false);
    fakeNowMs = 2500;
    attach(*registry, masker, kMasker, 7, false, false);
    EXPECT_EQ(masker.slotIndex.load(), 63);
    EXPECT_EQ(slot(63).heartbeatMs.load(), 2500);
    EXPECT_EQ(slot(63).target.load(), 7);
    EXPECT_EQ(slot(63).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, MaskerStaysDetachedWhenAllSlotsAreTaken)
{
    for (int i = 0; i < kPeerSlotCount; ++i)
        attach(*registry, newLink(), kMasker, 0, false, false);
    PeerLink& late = newLink();
    attach(*registry, late, kMasker, 0, false, false);
    EXPECT_EQ(late.slotIndex.load(), -1);
    EXPECT_EQ(late.attachKey.load(), -1);

    release(*registry, *links[10]);
    attach(*registry, late, kMasker, 0, false, false);
    EXPECT_EQ(late.slotIndex.load(), 63 - 10);
}

TEST_F(PeerRegistryTest, SourceTurnedMaskerCanStillBeEvictedByItsChannelsSource)
{
    PeerLink& switcher = newLink();
    PeerLink& source = newLink();
    attach(*registry, switcher, kSource, 12, false, false);
    attach(*registry, switcher, kMasker, 12, false, false);
    ASSERT_EQ(switcher.slotIndex.load(), 12);
    EXPECT_EQ(slot(12).role.load(), kMasker);
    EXPECT_EQ(slot(12).evictable.load(), 1);

    attach(*registry, source, kSource, 12, false, false);
    EXPECT_EQ(slot(12).ownerId.load(), source.instanceId);
    attach(*registry, switcher, kMasker, 12, false, false);
    EXPECT_EQ(switcher.slotIndex.load(), 63);
}

TEST_F(PeerRegistryTest, MaskerTurnedSourceOnItsOwnSlotIsNoLongerEvictable)
{
    PeerLink& switcher = newLink();
    PeerLink& other = newLink();
    attach(*registry, switcher, kMasker, 0, false, false);
    ASSERT_EQ(switcher.slotIndex.load(), 63);
    attach(*registry, switcher, kSource, 63, false, false);
    EXPECT_EQ(switcher.slotIndex.load(), 63);
    EXPECT_EQ(slot(63).role.load(), kSource);
    EXPECT_EQ(slot(63).evictable.load(), 0);

    attach(*registry, other, kSource, 63, false, false);
    EXPECT_EQ(other.slotIndex.load(), -1);
    EXPECT_EQ(slot(63).ownerId.load(), switcher.instanceId);
}

TEST_F(PeerRegistryTest, SourceRestatesItsRoleEveryChunk)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 1, false, false);
    slot(1).role = 0; // a racing release landed its role reset late
    attach(*registry, source, kSource, 1, false, false);
    EXPECT_EQ(slot(1).role.load(), kSource);
}

TEST_F(PeerRegistryTest, ChangingChannelMovesTheSource)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 1, false, false);
    attach(*registry, source, kSource, 40, false, false);
    EXPECT_EQ(source.attachKey.load(), 40);
    EXPECT_EQ(slot(1).ownerId.load(), 0u);
    EXPECT_EQ(slot(1).holderCount.load(), 0);
    EXPECT_EQ(slot(40).ownerId.load(), source.instanceId);
}

TEST_F(PeerRegistryTest, ResetDetachesAndTheNextChunkClaimsAgain)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 8, false, false);
    detachAtReset(*registry, source);
    EXPECT_EQ(source.slotIndex.load(), -1);
    EXPECT_EQ(source.attachKey.load(), -1);
    EXPECT_EQ(slot(8).ownerId.load(), 0u);
    attach(*registry, source, kSource, 8, false, false);
    EXPECT_EQ(slot(8).ownerId.load(), source.instanceId);
    EXPECT_EQ(slot(8).holderCount.load(), 1);
}

TEST_F(PeerRegistryTest, LivenessEndsAfter5000Ms)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 0, false, false);
    EXPECT_TRUE(isSlotLive(slot(0), 6000));
    EXPECT_FALSE(isSlotLive(slot(0), 6001));
    EXPECT_FALSE(isSlotLive(slot(1), 1000));
    release(*registry, source);
    EXPECT_FALSE(isSlotLive(slot(0), 1000));
}

// ---------------------------------------------------------------- levels

TEST_F(PeerRegistryTest, PublishedLevelsReadBackWithBlockEnd)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 6, false, false);
    fakeNowMs = 1234;
    beginLevels(*registry, source);
    EXPECT_EQ(slot(6).levelSeq.load() & 1u, 1u);
    for (int k = 0; k < kPeerBandCount; ++k)
        writeLevel(*registry, source, k, 0.01f * static_cast<float>(k + 1));
    writeLevel(*registry, source, kPeerBandCount, 5.0f); // ignored
    writeLevel(*registry, source, -1, 5.0f);             // ignored
    publishBlock(*registry, source, 48000, 512);

    float levels[kPeerBandCount];
    uint64_t seq = 0;
    int64_t blockEnd = 0;
    ASSERT_TRUE(readLevels(slot(6), levels, &seq, &blockEnd));
    for (int k = 0; k < kPeerBandCount; ++k)
        EXPECT_FLOAT_EQ(levels[k], 0.01f * static_cast<float>(k + 1));
    EXPECT_EQ(seq, 2u);
    EXPECT_EQ(blockEnd, 48512);
    EXPECT_EQ(slot(6).heartbeatMs.load(), 1234);
}

TEST_F(PeerRegistryTest, HistoryKeepsTheLatestPublicationsWithTheirEnds)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 6, false, false);
    const int published = kLevelHistorySize + 5;
    for (int i = 0; i < published; ++i)
    {
        beginLevels(*registry, source);
        for (int k = 0; k < kPeerBandCount; ++k)
            writeLevel(*registry, source, k, static_cast<float>(i + 1));
        publishBlock(*registry, source, 512 * i, 512);
    }
    EXPECT_EQ(slot(6).levelHistoryCount.load(), uint64_t(published));

    struct Case
    {
        uint64_t index;
        bool readable;
    };
    const Case cases[] = {
        {0, false},                                       // overwritten
        {4, false},                                       // the last one overwritten
        {5, true},                                        // the oldest kept
        {uint64_t(published - 1), true},                  // the newest
        {uint64_t(published), false},                     // not yet published
        {uint64_t(published + kLevelHistorySize), false}, // same entry, far future
    };
    for (const Case& c : cases)
    {
        float levels[kPeerBandCount];
        int64_t end = -7;
        EXPECT_EQ(readPublishedLevels(slot(6), c.index, levels, &end), c.readable) << c.index;
        if (!c.readable)
            continue;
        EXPECT_EQ(end, 512 * int64_t(c.index + 1)) << c.index;
        for (int k = 0; k < kPeerBandCount; ++k)
            EXPECT_EQ(levels[k], float(c.index + 1)) << c.index;
    }
}

TEST_F(PeerRegistryTest, ANewHolderStartsWithAnEmptyHistory)
{
    PeerLink& first = newLink();
    attach(*registry, first, kSource, 6, false, false);
    publishBlock(*registry, first, 0, 512);
    publishBlock(*registry, first, 512, 512);
    ASSERT_EQ(slot(6).levelHistoryCount.load(), 2u);
    release(*registry, first);
    PeerLink& second = newLink();
    attach(*registry, second, kSource, 6, false, false);
    float levels[kPeerBandCount];
    EXPECT_EQ(slot(6).levelHistoryCount.load(), 0u);
    EXPECT_FALSE(readPublishedLevels(slot(6), 0, levels, nullptr));
}

TEST_F(PeerRegistryTest, LevelsOutsideTheOpenRangeReadAsZero)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 6, false, false);
    const float values[] = {0.0f,
                            -0.5f,
                            1.0e6f,
                            2.0e7f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            1.0e-30f,
                            999999.9f};
    const float expected[] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0e-30f, 999999.9f};
    beginLevels(*registry, source);
    for (int k = 0; k < kPeerBandCount; ++k)
        writeLevel(*registry, source, k, values[k % 8]);
    publishBlock(*registry, source, 0, 1);
    float levels[kPeerBandCount];
    ASSERT_TRUE(readLevels(slot(6), levels));
    for (int k = 0; k < kPeerBandCount; ++k)
        EXPECT_EQ(levels[k], expected[k % 8]) << "band " << k;
}

TEST_F(PeerRegistryTest, NeverPublishedLevelsReadAsZero)
{
    float levels[kPeerBandCount];
    std::fill(std::begin(levels), std::end(levels), 3.0f);
    EXPECT_TRUE(readLevels(slot(30), levels));
    for (float level : levels)
        EXPECT_EQ(level, 0.0f);
}

TEST_F(PeerRegistryTest, WriteInProgressGivesUpAfterFourAttemptsWithZeros)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 6, false, false);
    publishAll(source, 0.5f);
    beginLevels(*registry, source); // left open
    float levels[kPeerBandCount];
    std::fill(std::begin(levels), std::end(levels), 3.0f);
    EXPECT_FALSE(readLevels(slot(6), levels));
    for (float level : levels)
        EXPECT_EQ(level, 0.0f);
}

TEST_F(PeerRegistryTest, PublicationWithoutSlotChangesNothing)
{
    PeerLink& idle = newLink();
    publishAll(idle, 0.5f);
    publishName(*registry, idle, "nobody");
    heartbeat(*registry, idle);
    for (int i = 0; i < kPeerSlotCount; ++i)
    {
        ASSERT_EQ(slot(i).levelSeq.load(), 0u);
        ASSERT_EQ(slot(i).heartbeatMs.load(), 0);
        ASSERT_EQ(slot(i).nameSeq.load(), 0u);
    }
}

// ---------------------------------------------------------------- names

struct NameCase
{
    const char* what;
    std::string text;
    std::string stored;
};

std::ostream& operator<<(std::ostream& out, const NameCase& c)
{
    return out << c.what;
}

class PeerRegistryNameTest : public PeerRegistryTest, public ::testing::WithParamInterface<NameCase>
{
};

TEST_P(PeerRegistryNameTest, StoresAtMost31Bytes)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 11, false, false);
    publishName(*registry, source, "a previous and much longer name than this");
    publishName(*registry, source, GetParam().text.c_str());
    EXPECT_EQ(name(11), GetParam().stored) << GetParam().what;
    EXPECT_EQ(slot(11).nameSeq.load(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PeerRegistryNameTest,
    ::testing::Values(NameCase{"short", "Vocals", "Vocals"},
                      NameCase{"exactly 31", std::string(31, 'k'), std::string(31, 'k')},
                      NameCase{"32 cut", std::string(32, 'k'), std::string(31, 'k')},
                      NameCase{"long cut", std::string(40, 'q'), std::string(31, 'q')},
                      NameCase{"two-byte char kept whole", std::string(29, 'a') + "\xC3\xA9", //
                               std::string(29, 'a') + "\xC3\xA9"},
                      NameCase{"two-byte char not split", std::string(30, 'a') + "\xC3\xA9z",
                               std::string(30, 'a')},
                      NameCase{"four-byte char not split",
                               std::string(28, 'a') + "\xF0\x9F\x8E\xB5", std::string(28, 'a')}));

TEST_F(PeerRegistryTest, NameNeverWrittenOrInProgressReadsEmpty)
{
    EXPECT_EQ(name(0), "");
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 0, false, false);
    publishName(*registry, source, "Bass");
    EXPECT_EQ(name(0), "Bass");
    slot(0).nameSeq = 5; // a writer in the middle of a new name
    EXPECT_EQ(name(0), "");
}

TEST_F(PeerRegistryTest, EmptyOrMissingTextKeepsTheName)
{
    PeerLink& source = newLink();
    attach(*registry, source, kSource, 0, false, false);
    publishName(*registry, source, "Drums");
    publishName(*registry, source, "");
    publishName(*registry, source, nullptr);
    EXPECT_EQ(name(0), "Drums");
}

} // namespace
} // namespace ostrel
