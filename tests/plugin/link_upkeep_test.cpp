// Between ticks: whether audio stopped (the main thread then attaches) or
// went quiet long enough for the meters to be stale.
#include "plugin/link_upkeep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{

using ostrel::LinkUpkeep;

struct TickCase
{
    const char* label;
    std::vector<int32_t> counters; // the block counter at each tick, 100 ms apart
    std::vector<bool> stalled;
    bool staleAtLastTick;
};

class AudioWatch : public ::testing::TestWithParam<TickCase>
{
};

TEST_P(AudioWatch, CounterStandingStillIsStalledAndLongSilenceStale)
{
    const TickCase& c = GetParam();
    LinkUpkeep upkeep;
    std::vector<bool> stalled;
    int64_t now = 1000;
    for (const int32_t counter : c.counters)
    {
        stalled.push_back(upkeep.AudioStalled(counter, now));
        now += 100;
    }
    EXPECT_EQ(stalled, c.stalled);
    EXPECT_EQ(upkeep.AudioStale(now - 100), c.staleAtLastTick);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, AudioWatch,
    ::testing::Values(
        TickCase{"no_audio_ever", {0, 0, 0}, {false, true, true}, true},
        TickCase{"running", {3, 9, 14}, {false, false, false}, false},
        TickCase{"stopped_for_two_ticks", {3, 9, 9, 9}, {false, false, true, true}, false},
        TickCase{
            "stopped_for_three_ticks", {3, 9, 9, 9, 9}, {false, false, true, true, true}, true},
        TickCase{"wrapped", {INT32_MAX, INT32_MIN}, {false, false}, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(LinkUpkeep, StaleAfterAQuarterSecondWithoutABlock)
{
    LinkUpkeep upkeep;
    EXPECT_TRUE(upkeep.AudioStale(0)) << "never any audio";
    upkeep.AudioStalled(1, 5000);
    EXPECT_FALSE(upkeep.AudioStale(5000 + LinkUpkeep::kStaleAfterMs - 1));
    EXPECT_TRUE(upkeep.AudioStale(5000 + LinkUpkeep::kStaleAfterMs));
}

} // namespace
