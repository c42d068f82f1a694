// The registry under real contention: publication against readers, claims
// against releases and evictions. Every case
// runs for a fixed short time; the same tests run under ThreadSanitizer.
#include "link/peer_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace ostrel
{
namespace
{

constexpr auto kRunTime = std::chrono::milliseconds(120);

// Runs `body(index, stop)` on `count` threads until kRunTime has passed.
template <typename Body> void runFor(int count, Body body)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] { body(i, stop); });
    std::this_thread::sleep_for(kRunTime);
    stop = true;
    for (auto& thread : threads)
        thread.join();
}

// A writer that never pauses would leave readers almost no moment with an
// even counter on a loaded machine; real writers publish once per chunk.
void pauseBriefly(uint32_t counter)
{
    if (counter % 64 == 0)
        std::this_thread::yield();
    static std::atomic<int> sink{0};
    for (int spin = 0; spin < 64; ++spin)
        sink.fetch_add(1, std::memory_order_relaxed);
}

// Publishes level vectors whose every band (and block end - 1) is the
// publication's counter, until stopped. Every value stays inside (0, 1e6) so
// that none reads as 0.
void publishCounting(PeerRegistry& registry, PeerLink& writer, const std::atomic<bool>& stop,
                     std::atomic<long>& publications)
{
    for (uint32_t counter = 1; !stop.load(); counter = counter % 900000 + 1)
    {
        beginLevels(registry, writer);
        for (int k = 0; k < kPeerBandCount; ++k)
            writeLevel(registry, writer, k, static_cast<float>(counter));
        publishBlock(registry, writer, counter, 1);
        publications.fetch_add(1, std::memory_order_relaxed);
        pauseBriefly(counter);
    }
}

class PeerRegistryConcurrency : public ::testing::Test
{
protected:
    std::vector<std::unique_ptr<PeerLink>> makeLinks(int count)
    {
        std::vector<std::unique_ptr<PeerLink>> links;
        for (int i = 0; i < count; ++i)
        {
            links.push_back(std::make_unique<PeerLink>());
            initPeerLink(*registry, *links.back());
        }
        return links;
    }

    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
};

TEST_F(PeerRegistryConcurrency, ReadersNeverSeeAMixedLevelVector)
{
    auto links = makeLinks(1);
    PeerLink& writer = *links[0];
    ASSERT_TRUE(claimByChannel(*registry, writer, 1, 10));
    const PeerSlot& slot = registry->slots[10];

    std::atomic<long> consistentReads{0};
    std::atomic<long> mixedReads{0};
    std::atomic<long> publications{0};
    runFor(3,
           [&](int index, std::atomic<bool>& stop)
           {
               if (index == 0)
               {
                   publishCounting(*registry, writer, stop, publications);
                   return;
               }
               while (!stop.load())
               {
                   float levels[kPeerBandCount];
                   int64_t blockEnd = 0;
                   if (!readLevels(slot, levels, nullptr, &blockEnd))
                       continue;
                   consistentReads.fetch_add(1, std::memory_order_relaxed);
                   const bool uniform =
                       std::all_of(levels, levels + kPeerBandCount,
                                   [&](float level) { return level == levels[0]; });
                   // blockEndPos is published under the same counter.
                   const bool sameBlock = levels[0] == 0.0f || blockEnd == int64_t(levels[0]) + 1;
                   if (!uniform || !sameBlock)
                       mixedReads.fetch_add(1, std::memory_order_relaxed);
               }
           });
    EXPECT_GT(publications.load(), 0);
    EXPECT_GT(consistentReads.load(), 0);
    EXPECT_EQ(mixedReads.load(), 0);
}

TEST_F(PeerRegistryConcurrency, HistoryReadersNeverSeeAMixedPublication)
{
    auto links = makeLinks(1);
    PeerLink& writer = *links[0];
    ASSERT_TRUE(claimByChannel(*registry, writer, 1, 11));
    const PeerSlot& slot = registry->slots[11];

    std::atomic<long> consistentReads{0};
    std::atomic<long> mixedReads{0};
    runFor(3,
           [&](int index, std::atomic<bool>& stop)
           {
               if (index == 0)
               {
                   std::atomic<long> publications{0};
                   publishCounting(*registry, writer, stop, publications);
                   return;
               }
               // Readers lag behind on purpose, so that entries get
               // overwritten under them as well as read cleanly.
               while (!stop.load())
               {
                   const uint64_t count = slot.levelHistoryCount.load(std::memory_order_acquire);
                   for (uint64_t i = count > 40 ? count - 40 : 0; i < count; ++i)
                   {
                       float levels[kPeerBandCount];
                       int64_t end = 0;
                       if (!readPublishedLevels(slot, i, levels, &end))
                           continue;
                       consistentReads.fetch_add(1, std::memory_order_relaxed);
                       const bool uniform =
                           std::all_of(levels, levels + kPeerBandCount,
                                       [&](float level) { return level == levels[0]; });
                       if (!uniform || end != int64_t(levels[0]) + 1)
                           mixedReads.fetch_add(1, std::memory_order_relaxed);
                   }
               }
           });
    EXPECT_GT(consistentReads.load(), 0);
    EXPECT_EQ(mixedReads.load(), 0);
}

TEST_F(PeerRegistryConcurrency, ReadersNeverSeeAMixedName)
{
    auto links = makeLinks(1);
    PeerLink& writer = *links[0];
    ASSERT_TRUE(claimByChannel(*registry, writer, 1, 4));
    const std::string names[2] = {std::string(31, 'a'), std::string(20, 'b')};

    std::atomic<long> badReads{0};
    std::atomic<long> goodReads{0};
    runFor(3,
           [&](int index, std::atomic<bool>& stop)
           {
               if (index == 0)
               {
                   for (uint32_t i = 0; !stop.load(); ++i)
                   {
                       publishName(*registry, writer, names[i & 1].c_str());
                       pauseBriefly(i);
                   }
                   return;
               }
               while (!stop.load())
               {
                   char out[kPeerNameBytes];
                   readName(registry->slots[4], out);
                   const std::string text = out;
                   if (text.empty())
                       continue;
                   if (text == names[0] || text == names[1])
                       goodReads.fetch_add(1, std::memory_order_relaxed);
                   else
                       badReads.fetch_add(1, std::memory_order_relaxed);
               }
           });
    EXPECT_GT(goodReads.load(), 0);
    EXPECT_EQ(badReads.load(), 0);
}

TEST_F(PeerRegistryConcurrency, SourcesRacingForOneChannelKeepHolderCountSane)
{
    constexpr int kThreads = 4;
    auto links = makeLinks(kThreads);
    PeerSlot& slot = registry->slots[0];

    std::atomic<long> wins{0};
    std::atomic<long> wrongOwner{0};
    std::atomic<long> countOutOfRange{0};
    runFor(kThreads + 1,
           [&](int index, std::atomic<bool>& stop)
           {
               if (index == kThreads)
               {
                   // Observer: a release's decrement may lag another's claim, so
                   // the count may briefly exceed 1, never the number of racers.
                   while (!stop.load())
                   {
                       const int count = slot.holderCount.load();
                       if (count < 0 || count > kThreads)
                           countOutOfRange.fetch_add(1, std::memory_order_relaxed);
                   }
                   return;
               }
               PeerLink& link = *links[index];
               while (!stop.load())
               {
                   attach(*registry, link, 1, 0, false, false);
                   if (link.attachKey.load() == 0)
                   {
                       wins.fetch_add(1, std::memory_order_relaxed);
                       if (slot.ownerId.load() != link.instanceId)
                           wrongOwner.fetch_add(1, std::memory_order_relaxed);
                       beginLevels(*registry, link);
                       writeLevel(*registry, link, 0, 1.0f);
                       publishBlock(*registry, link, 0, 1);
                   }
                   attach(*registry, link, 0, 0, false, false);
               }
           });
    EXPECT_GT(wins.load(), 0);
    EXPECT_EQ(wrongOwner.load(), 0);
    EXPECT_EQ(countOutOfRange.load(), 0);
    EXPECT_EQ(slot.ownerId.load(), 0u);
    EXPECT_EQ(slot.holderCount.load(), 0);
    EXPECT_EQ(slot.role.load(), 0);
}

TEST_F(PeerRegistryConcurrency, MaskersAndEvictingSourcesEndWithOneHolderPerSlot)
{
    constexpr int kSources = 3;
    constexpr int kMaskers = 3;
    auto links = makeLinks(kSources + kMaskers);

    // Sources on channels 64, 63, 62 toggle on and off; Maskers search from
    // slot 63 down and keep being evicted.
    runFor(kSources + kMaskers,
           [&](int index, std::atomic<bool>& stop)
           {
               PeerLink& link = *links[index];
               for (int round = 0; !stop.load(); ++round)
               {
                   if (index < kSources)
                   {
                       attach(*registry, link, (round & 1) ? 0 : 1, 63 - index, false, false);
                   }
                   else
                   {
                       attach(*registry, link, 2, 63, false, false);
                       beginLevels(*registry, link);
                       for (int k = 0; k < kPeerBandCount; ++k)
                           writeLevel(*registry, link, k, 0.5f);
                       publishBlock(*registry, link, round, 1);
                   }
               }
           });

    // Quiet now: one more chunk each (Sources first, then the evicted Maskers
    // move) must leave every instance alone on the slot it believes it holds.
    for (int i = 0; i < kSources; ++i)
        attach(*registry, *links[i], 1, 63 - i, false, false);
    for (int i = kSources; i < kSources + kMaskers; ++i)
        attach(*registry, *links[i], 2, 63, false, false);

    std::set<int> held;
    for (int i = 0; i < kSources + kMaskers; ++i)
    {
        const int index = links[i]->slotIndex.load();
        ASSERT_GE(index, 0) << "instance " << i;
        EXPECT_EQ(registry->slots[index].ownerId.load(), links[i]->instanceId);
        EXPECT_EQ(registry->slots[index].role.load(), i < kSources ? 1 : 2);
        EXPECT_TRUE(held.insert(index).second) << "slot " << index << " held twice";
        if (i < kSources)
        {
            EXPECT_EQ(index, 63 - i);
        }
    }

    for (auto& link : links)
        release(*registry, *link);
    for (const PeerSlot& slot : registry->slots)
        EXPECT_EQ(slot.ownerId.load(), 0u);
}

} // namespace
} // namespace ostrel
