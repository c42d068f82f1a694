// The release path: dips, bell dips and the listen crossfade glide back to
// neutral and the engine then settles into a bit-exact pass-through; bad
// input never poisons what follows.
#include "engine/bell_stage_probe.h"
#include "engine/engine_parts_probe.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace ostrel
{
namespace
{

class ReleasePath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = testing::makeEngine(48000.0);
        engine->settings().role = kRoleOff;
        engine->settings().channelIndex = testing::uniqueChannelIndex();
    }
    void dipEverything(double gain) { EnginePartsProbe::holdBandDips(*engine, gain); }
    // Settled: the output is the input a latency ago, bit for bit.
    static void expectPassThrough(const std::vector<double>& in, const std::vector<double>& out,
                                  int from)
    {
        for (int i = from; i < static_cast<int>(in.size()); ++i)
            ASSERT_EQ(out[i], in[i - kEngineLatency]) << i;
    }
    // Settled, the release path no longer steps the band filters: a further
    // chunk leaves their state as it was (a release with unity gains would
    // pass the signal bit-exact as well, at the full cost).
    bool bandFiltersRestThroughAChunk()
    {
        const BandPassBank before = engine->bandFilters().input(0);
        const std::vector<double> s = testing::noise(512, 60);
        testing::runStereo(*engine, s, s, {512});
        const BandPassBank& after = engine->bandFilters().input(0);
        return std::equal(before.s1, before.s1 + kBandCount, after.s1) &&
               std::equal(before.s2, before.s2 + kBandCount, after.s2);
    }
    std::unique_ptr<SpectralEngine> engine;
};

TEST_F(ReleasePath, SettledEngineIsAPlainDelayAndLeavesBandFiltersAlone)
{
    const std::vector<double> s = testing::noise(2000, 61);
    const testing::StereoOut out = testing::runStereo(*engine, s, s, {500});
    expectPassThrough(s, out.left, kEngineLatency);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(engine->bandFilters().input(0).s1[k], 0.0);
}

TEST_F(ReleasePath, DipsFadeWithA20msTimeConstantAndEndBitExact)
{
    // Let the band filters and delay lines fill while nothing is dipped.
    engine->settings().role = kRoleSource;
    const int n = 48000;
    const std::vector<double> s = testing::sine(1000.0, 48000.0, n, 0.5);
    std::vector<double> warm(s.begin(), s.begin() + 9600);
    testing::runStereo(*engine, warm, warm, {480});

    engine->settings().role = kRoleOff;
    dipEverything(0.0);
    std::vector<double> rest(s.begin() + 9600, s.end());
    const testing::StereoOut out = testing::runStereo(*engine, rest, rest, {480});

    // The very first sample already uses the glided gain: nothing is removed
    // all at once. Over time the tone comes back monotonically, ~63 % after 20 ms.
    const int start = kEngineLatency; // output samples reflecting the release
    double previous = 0.0;
    for (int window = 0; window < 8; ++window)
    {
        const int from = start + window * 480;
        const double a = testing::toneAmplitude(out.left, 1000.0, 48000.0, from, from + 480);
        EXPECT_GE(a, previous - 0.01) << "window " << window;
        previous = a;
    }
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kBandCount; ++k)
            EXPECT_EQ(engine->bandGain(c, k), 1.0);
    // Once settled and drained, the output is the delayed input again, bit-exact.
    const int tail = static_cast<int>(rest.size()) - 2000;
    for (int i = tail; i < static_cast<int>(rest.size()); ++i)
        ASSERT_EQ(out.left[i], rest[i - kEngineLatency]) << i;
    EXPECT_TRUE(bandFiltersRestThroughAChunk());
}

TEST_F(ReleasePath, BellDipsAreReleasedToo)
{
    BellStageProbe::bell(EnginePartsProbe::bellStage(*engine), 2).bellGain0 = 0.3;
    BellStageProbe::bell(EnginePartsProbe::bellStage(*engine), 2).bellGain1 = 0.6;
    const std::vector<double> s = testing::noise(48000, 62);
    const testing::StereoOut out = testing::runStereo(*engine, s, s, {512});
    EXPECT_TRUE(engine->bells().atRest());
    expectPassThrough(s, out.right, 40000);
    EXPECT_TRUE(bandFiltersRestThroughAChunk());
}

TEST_F(ReleasePath, ListenHasNoLastingEffectWhileOff)
{
    engine->settings().listen = 1;
    engine->resetEngine(48000.0); // listen on: the crossfade starts at 1
    const std::vector<double> s = testing::noise(48000, 63);
    const testing::StereoOut out = testing::runStereo(*engine, s, s, {512});
    // The crossfade starts at what is removed (nothing, no dip is held) and
    // glides back: the first output after the latency is still quieter.
    double heard = 0.0;
    double sent = 0.0;
    for (int i = 0; i < 480; ++i)
    {
        heard += std::fabs(out.left[kEngineLatency + i]);
        sent += std::fabs(s[i]);
    }
    EXPECT_LT(heard, 0.9 * sent);
    expectPassThrough(s, out.right, 40000);
    EXPECT_TRUE(bandFiltersRestThroughAChunk());
}

TEST_F(ReleasePath, NonFiniteInputDoesNotPoisonLaterOutput)
{
    dipEverything(0.5);
    std::vector<double> s = testing::noise(48000, 64);
    s[3000] = std::numeric_limits<double>::quiet_NaN();
    s[3001] = std::numeric_limits<double>::infinity();
    s[9000] = -std::numeric_limits<double>::infinity();
    const testing::StereoOut out = testing::runStereo(*engine, s, s, {512});
    // Every output sample is finite; a bad sample comes out as silence where it went in.
    for (int i = 0; i < 48000; ++i)
    {
        ASSERT_TRUE(std::isfinite(out.left[i])) << i;
        ASSERT_TRUE(std::isfinite(out.right[i])) << i;
    }
    EXPECT_EQ(out.left[3000 + kEngineLatency], 0.0);
    EXPECT_EQ(out.right[9000 + kEngineLatency], 0.0);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_TRUE(std::isfinite(engine->bandFilters().input(0).s1[k]));
    expectPassThrough(s, out.left, 40000);
}

TEST_F(ReleasePath, SettledPassThroughTurnsABadSampleIntoSilenceOnly)
{
    std::vector<double> s = testing::noise(6000, 66);
    s[2000] = std::numeric_limits<double>::infinity();
    const testing::StereoOut out = testing::runStereo(*engine, s, s, {480});
    for (int i = kEngineLatency; i < 6000; ++i)
        ASSERT_EQ(out.left[i], i == 2000 + kEngineLatency ? 0.0 : s[i - kEngineLatency]) << i;
    EXPECT_TRUE(bandFiltersRestThroughAChunk());
}

TEST_F(ReleasePath, SourceFadesLeftoverDipsExactlyLikeTheOffRole)
{
    // Two instances in the same state with the same dips: one turns Off, the
    // other becomes a Source. What they still remove must fade identically,
    // bands 4..23 through the spectral stage where they were dipped.
    auto other = testing::makeEngine(48000.0);
    other->settings().channelIndex = testing::uniqueChannelIndex();
    const std::vector<double> s = testing::noise(24000, 67);
    const std::vector<double> warm(s.begin(), s.begin() + 9600);
    const std::vector<double> rest(s.begin() + 9600, s.end());
    for (SpectralEngine* e : {engine.get(), other.get()})
    {
        e->settings().role = kRoleSource;
        testing::runStereo(*e, warm, warm, {480});
        EnginePartsProbe::holdBandDips(*e, [](int, int k) { return 0.1 + 0.03 * k; });
    }
    engine->settings().role = kRoleOff;
    const testing::StereoOut off = testing::runStereo(*engine, rest, rest, {480});
    const testing::StereoOut source = testing::runStereo(*other, rest, rest, {480});
    double removedAtStart = 0.0;
    for (size_t i = 0; i < rest.size(); ++i)
    {
        ASSERT_EQ(off.left[i], source.left[i]) << i;
        ASSERT_EQ(off.right[i], source.right[i]) << i;
    }
    for (int i = kEngineLatency; i < kEngineLatency + 480; ++i)
        removedAtStart += std::fabs(rest[i - kEngineLatency] - off.left[i]);
    EXPECT_GT(removedAtStart, 1.0); // the dips were really there
}

TEST_F(ReleasePath, SourceReleasesLeftoverDipsWhilePublishingFromTheFirstPeriod)
{
    engine->settings().role = kRoleSource;
    dipEverything(0.2);
    const std::vector<double> s = testing::noise(48000, 65);
    const testing::StereoOut first = testing::runStereo(*engine, {s.begin(), s.begin() + 512},
                                                        {s.begin(), s.begin() + 512}, {512});
    (void)first;
    PeerSlot& slot = sharedRegistry().slots[engine->settings().channelIndex];
    EXPECT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);
    EXPECT_GT(slot.bandLevels[15].load(), 0.0f);
    EXPECT_LT(engine->bandGain(0, 10), 1.0);
    EXPECT_GT(engine->bandGain(0, 10), 0.2);
    testing::runStereo(*engine, s, s, {480});
    EXPECT_EQ(engine->bandGain(1, 23), 1.0);
    // The Source measures its bands whether or not anything is left to release.
    EXPECT_FALSE(bandFiltersRestThroughAChunk());
}

} // namespace
} // namespace ostrel
