// Two threads of one instance claiming at once (the idle tick's attach while
// the audio thread runs its first chunk after a reset): the instance ends with
// at most one slot, the one its link records, and releasing it leaves none.
#include "link/peer_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

namespace ostrel
{
namespace
{

constexpr int kRounds = 3000;

// What one thread does for the link in a round (role as the Role parameter:
// 0 Off, 1 Source, 2 Masker).
struct Step
{
    int role;
    int channelIndex;
};

struct RaceCase
{
    const char* what;
    Step first;
    Step second;
};

std::ostream& operator<<(std::ostream& out, const RaceCase& c)
{
    return out << c.what;
}

class SlotClaimConcurrency : public ::testing::TestWithParam<RaceCase>
{
protected:
    // Slots whose owner is this link's instance.
    int OwnedSlots(const PeerLink& link, int* ownedIndex) const
    {
        int count = 0;
        for (int i = 0; i < kPeerSlotCount; ++i)
            if (registry->slots[i].ownerId.load() == link.instanceId)
            {
                ++count;
                *ownedIndex = i;
            }
        return count;
    }

    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
};

TEST_P(SlotClaimConcurrency, AtMostOneSlotAndNoneLeftAfterRelease)
{
    const RaceCase& c = GetParam();
    PeerLink link;
    initPeerLink(*registry, link);

    std::barrier start(3);
    std::barrier done(3);
    std::atomic<bool> stop{false};
    auto runner = [&](Step step)
    {
        for (;;)
        {
            start.arrive_and_wait();
            if (stop.load())
                return;
            attach(*registry, link, step.role, step.channelIndex, false, false);
            done.arrive_and_wait();
        }
    };
    std::thread a(runner, c.first);
    std::thread b(runner, c.second);

    int failures = 0;
    for (int round = 0; round < kRounds && failures == 0; ++round)
    {
        start.arrive_and_wait();
        done.arrive_and_wait();
        int owned = -1;
        const int count = OwnedSlots(link, &owned);
        const int recorded = link.slotIndex.load();
        if (count > 1 || (count == 1 && owned != recorded) || (count == 0 && recorded >= 0))
        {
            ADD_FAILURE() << "round " << round << ": " << count << " slots owned, link records "
                          << recorded;
            ++failures;
        }
        int holders = 0;
        for (const PeerSlot& slot : registry->slots)
            holders += slot.holderCount.load();
        EXPECT_EQ(holders, count) << "round " << round;
        detachAtReset(*registry, link);
        EXPECT_EQ(OwnedSlots(link, &owned), 0) << "round " << round << ": a slot leaked";
    }
    stop = true;
    start.arrive_and_wait();
    a.join();
    b.join();
}

INSTANTIATE_TEST_SUITE_P(Races, SlotClaimConcurrency,
                         ::testing::Values(RaceCase{"two free searches", {2, 4}, {2, 4}},
                                           RaceCase{"two channel claims", {1, 9}, {1, 9}},
                                           RaceCase{"Source and Masker", {1, 63}, {2, 5}},
                                           RaceCase{"Sources on two channels", {1, 3}, {1, 40}},
                                           RaceCase{"claim and release", {2, 0}, {0, 0}}),
                         [](const auto& info)
                         {
                             std::string name;
                             for (char ch : std::string(info.param.what))
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
} // namespace ostrel
