// The curve that the Maskers of one Source share, worked out from what the
// holders published through their links: which publications count (live
// Maskers of that Source, each the newest that ended by the period's start),
// the margin by priority, the floor and the bands left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/shared_gains.h"
#include "link/monotonic_clock.h"
#include "masking_test_rig.h"

namespace ostrel
{
namespace
{

constexpr int kPeriod = 512;
std::atomic<int64_t> gNowMs{100000};

double toDb(double g)
{
    return 20.0 * std::log10(g);
}

class SharedGainsTest : public ::testing::Test
{
protected:
    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::vector<std::unique_ptr<PeerLink>> links;

    void SetUp() override
    {
        gNowMs = 100000;
        setMonotonicSourceForTesting([] { return gNowMs.load(); });
    }
    void TearDown() override { setMonotonicSourceForTesting(nullptr); }

    PeerLink& join(int role, int channelIndex)
    {
        links.push_back(std::make_unique<PeerLink>());
        PeerLink& link = *links.back();
        initPeerLink(*registry, link);
        attach(*registry, link, role, channelIndex, false, false);
        return link;
    }
    // One period's publication, ending at `end`.
    void publish(PeerLink& link, const std::vector<float>& levels, int64_t end)
    {
        beginLevels(*registry, link);
        for (int k = 0; k < kPeerBandCount; ++k)
            writeLevel(*registry, link, k, levels[static_cast<size_t>(k) % levels.size()]);
        publishBlock(*registry, link, end - kPeriod, kPeriod);
    }
    std::vector<float> curve(int sourceSlot, int64_t periodStart, float sourceLevel)
    {
        float s[kPeerBandCount];
        std::fill(std::begin(s), std::end(s), sourceLevel);
        return curve(sourceSlot, periodStart, s);
    }
    std::vector<float> curve(int sourceSlot, int64_t periodStart, const float* s)
    {
        float out[kPeerBandCount];
        sharedGainCurve(*registry, sourceSlot, periodStart, s, gNowMs.load(), out);
        return {std::begin(out), std::end(out)};
    }
};

TEST(PriorityMarginTest, PriorityEightIsThreeAndPriorityOneEighteenDecibels)
{
    EXPECT_NEAR(toDb(priorityMargin(8)), -3.0, 1e-9);
    EXPECT_NEAR(toDb(priorityMargin(1)), -18.0, 1e-9);
    EXPECT_NEAR(toDb(priorityMargin(4)), -3.0 - 4.0 * 15.0 / 7.0, 1e-9);
    EXPECT_EQ(priorityMargin(0), priorityMargin(1));
    EXPECT_EQ(priorityMargin(99), priorityMargin(8));
}

struct BandGainCase
{
    double s, m, g;
    float expected;
};

TEST(CoordinatorBandGainTest, BringsTheSumToTheMarginWithinTheFloor)
{
    const double g8 = priorityMargin(8);
    const BandGainCase cases[] = {
        {0.1, 0.5, g8, static_cast<float>(0.1 * g8 / 0.5)}, // dipped to the margin
        {0.1, 0.05, g8, 1.0f},                              // already below: never a boost
        {0.01, 100.0, g8, kCoordinatorGainFloor},           // far too loud: the floor
        {9e-7, 1.0, g8, 1.0f},                              // no Source in the band
        {0.1, 9e-7, g8, 1.0f},                              // no Masker in the band
    };
    for (const BandGainCase& c : cases)
        EXPECT_EQ(coordinatorBandGain(c.s, c.m, c.g), c.expected) << c.s << " " << c.m;
}

TEST_F(SharedGainsTest, MaskersOfOneSourceSumTheirLevelsAndGetTheMargin)
{
    for (int priority : {8, 1})
    {
        PeerLink& source = join(kPeerRoleSource, 2);
        publishPriority(*registry, source, priority);
        PeerLink& a = join(kPeerRoleMasker, 2);
        PeerLink& b = join(kPeerRoleMasker, 2);
        publish(a, {0.2f}, 1024);
        publish(b, {0.3f}, 1024);
        const std::vector<float> gains = curve(2, 1024, 0.1f);
        for (int k = 0; k < kPeerBandCount; ++k)
            EXPECT_NEAR(toDb(0.5 * gains[static_cast<size_t>(k)] / 0.1),
                        priority == 8 ? -3.0 : -18.0, 1e-4)
                << "priority " << priority << " band " << k;
        detachAtDestruction(*registry, source);
        detachAtDestruction(*registry, a);
        detachAtDestruction(*registry, b);
    }
}

TEST_F(SharedGainsTest, EachMaskerCountsWithItsNewestPublicationEndedByThePeriodStart)
{
    join(kPeerRoleSource, 0);
    PeerLink& ahead = join(kPeerRoleMasker, 0);
    PeerLink& behind = join(kPeerRoleMasker, 0);
    publish(ahead, {0.1f}, 512);
    publish(ahead, {0.2f}, 1024);
    publish(ahead, {10.0f}, 1536); // ran ahead: not yet at 1024
    publish(behind, {0.4f}, 512);  // has not reached 1024 yet
    struct Case
    {
        int64_t start;
        double sum;
    } cases[] = {{1024, 0.2 + 0.4}, {1536, 10.0 + 0.4}, {512, 0.1 + 0.4}, {0, 0.0}};
    for (const Case& c : cases)
    {
        const std::vector<float> gains = curve(0, c.start, 0.05f);
        const float expected = coordinatorBandGain(0.05f, c.sum, priorityMargin(4));
        EXPECT_NEAR(gains[7], expected, 1e-7f) << "period start " << c.start;
    }
    // Position unknown: the newest of each.
    EXPECT_NEAR(curve(0, -1, 0.05f)[0], coordinatorBandGain(0.05f, 10.4, priorityMargin(4)), 1e-7f);
}

TEST_F(SharedGainsTest, OnlyLiveMaskersOfThisSourceCount)
{
    join(kPeerRoleSource, 2);
    PeerLink& mine = join(kPeerRoleMasker, 2);
    PeerLink& other = join(kPeerRoleMasker, 5); // another Source's
    PeerLink& gone = join(kPeerRoleMasker, 2);
    PeerLink& stale = join(kPeerRoleMasker, 2);
    for (PeerLink* l : {&mine, &other, &gone, &stale})
        publish(*l, {l == &mine ? 0.5f : 10.0f}, 512);
    release(*registry, gone);
    registry->slots[stale.slotIndex.load()].heartbeatMs.store(gNowMs.load() - 5001);
    EXPECT_NEAR(toDb(0.5 * curve(2, 512, 0.1f)[0] / 0.1), -3.0 - 4.0 * 15.0 / 7.0, 1e-4);
    // A heartbeat of exactly 5000 ms is still live.
    registry->slots[stale.slotIndex.load()].heartbeatMs.store(gNowMs.load() - 5000);
    EXPECT_NEAR(curve(2, 512, 0.1f)[0], coordinatorBandGain(0.1, 10.5, priorityMargin(4)), 1e-7f);
}

TEST_F(SharedGainsTest, GarbageLevelsReadAsSilence)
{
    join(kPeerRoleSource, 0);
    PeerLink& masker = join(kPeerRoleMasker, 0);
    std::vector<float> m(kPeerBandCount, 1.0f);
    m[4] = 9e-7f;
    m[6] = std::nanf("");
    m[8] = 2e6f;
    m[9] = -3.0f;
    publish(masker, m, 512);
    float s[kPeerBandCount];
    std::fill(std::begin(s), std::end(s), 0.1f);
    s[3] = 0.0f; // the Source is silent there
    const std::vector<float> gains = curve(0, 512, s);
    for (int k : {3, 4, 6, 8, 9})
        EXPECT_EQ(gains[static_cast<size_t>(k)], 1.0f) << "band " << k;
    EXPECT_LT(gains[0], 1.0f);
}

TEST_F(SharedGainsTest, NoMaskerPublishedYetLeavesEveryBandAlone)
{
    join(kPeerRoleSource, 0);
    join(kPeerRoleMasker, 0);
    for (float g : curve(0, 0, 0.1f))
        EXPECT_EQ(g, 1.0f);
}

// Nothing in the dips waits for the host's main thread: a Source and two
// Maskers rendered with no idle tick at all, while the wall clock runs as
// in real time, stands still (a render far faster than real time), or runs
// a minute during three seconds of audio (a host busy with other work),
// give the same output to the bit. The heartbeats come from the audio.
TEST(SharedGainsInAudioTime, TheWallClockChangesNoSample)
{
    constexpr int kSeconds = 3;
    constexpr int kChunk = 512;
    const int total = kSeconds * static_cast<int>(testing::kRigRate);
    struct Clock
    {
        const char* name;
        double msPerSample;
    } clocks[] = {{"real time", 1000.0 / testing::kRigRate},
                  {"standing still", 0.0},
                  {"a minute of wall time", 60000.0 / total}};
    const std::vector<double> voice = testing::vowel(total, 0.1);
    const std::vector<double> pads[2] = {testing::pinkNoise(total, 3, 0.3),
                                         testing::pinkNoise(total, 4, 0.3)};
    std::vector<double> first[2];
    for (const Clock& clock : clocks)
    {
        gNowMs = 100000;
        setMonotonicSourceForTesting([] { return gNowMs.load(); });
        auto registry = testing::makeRegistry();
        auto source = testing::makeEngineOn(*registry, kRoleSource, 9);
        std::unique_ptr<SpectralEngine> maskers[2] = {
            testing::makeEngineOn(*registry, kRoleMasker, 9, 100.0),
            testing::makeEngineOn(*registry, kRoleMasker, 9, 70.0)};
        testing::Track tracks[3];
        tracks[0].engine = source.get();
        tracks[0].in0 = tracks[0].in1 = voice;
        for (int i = 0; i < 2; ++i)
        {
            tracks[i + 1].engine = maskers[i].get();
            tracks[i + 1].in0 = tracks[i + 1].in1 = pads[i];
        }
        const double startMs = static_cast<double>(gNowMs.load());
        for (int done = 0; done < total; done += kChunk)
        {
            gNowMs = static_cast<int64_t>(startMs + clock.msPerSample * done);
            testing::runLockStep({&tracks[0], &tracks[1], &tracks[2]}, kChunk, 0, done,
                                 done + kChunk);
        }
        setMonotonicSourceForTesting(nullptr);
        for (int i = 0; i < 2; ++i)
        {
            if (first[i].empty())
                first[i] = tracks[i + 1].out0;
            else
                EXPECT_EQ(tracks[i + 1].out0, first[i]) << clock.name << ", Masker " << i;
        }
        EXPECT_TRUE(maskers[0]->meters().linked) << clock.name;
    }
    const double before = testing::rms(pads[0], total / 2, total);
    const double after = testing::rms(first[0], total / 2, total);
    EXPECT_LT(after, 0.95 * before) << "the Maskers really dip";
}

} // namespace
} // namespace ostrel
