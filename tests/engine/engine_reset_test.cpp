// The two resets: the full engine reset and the per-band reset when the role
// or the bypass changes; and the floating-point mode of a chunk. Each is
// checked through the engine's face on a state a real run left behind.
#include "masking_test_rig.h"

#include <gtest/gtest.h>

#include <cstring>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kChannel = 9;

// Bells active, meters wanted: a run then leaves every kind of state behind.
void configure(SpectralEngine& e)
{
    e.setMetersWanted(true);
    e.settings().bellFreqHz[1] = 250.0f;
    e.settings().bellActive[1] = 1;
    e.settings().bellDepthPercent[1] = 100.0f;
}

// Pink noise with a strong 3 kHz tone: Self dips the tone's band.
std::vector<double> toneInNoise(int n, uint32_t seed)
{
    std::vector<double> s = pinkNoise(n, seed, 0.05);
    const std::vector<double> tone = sine(3000.0, kRigRate, n, 0.3);
    for (int t = 0; t < n; ++t)
        s[t] += tone[t];
    return s;
}

void run(SpectralEngine& e, const std::vector<double>& in, Track& track, int64_t startPos = 0)
{
    track.engine = &e;
    track.in0 = track.in1 = in;
    runLockStep({&track}, 480, startPos);
}

// A Self instance that has dipped for a second.
std::unique_ptr<SpectralEngine> usedSelf(PeerRegistry& registry)
{
    auto e = makeEngineOn(registry, kRoleSelf, kChannel);
    configure(*e);
    Track track;
    run(*e, toneInNoise(48000, 5), track);
    return e;
}

bool sameReadings(const MeterReadings& a, const MeterReadings& b)
{
    return std::memcmp(a.dipDb, b.dipDb, sizeof(a.dipDb)) == 0 &&
           std::memcmp(a.src, b.src, sizeof(a.src)) == 0 &&
           std::memcmp(a.mask, b.mask, sizeof(a.mask)) == 0 && a.touched == b.touched &&
           a.nullDb == b.nullDb && a.peers == b.peers && a.linked == b.linked &&
           std::memcmp(a.bellDipDb, b.bellDipDb, sizeof(a.bellDipDb)) == 0;
}

struct ResetCase
{
    const char* name;
    int role;
    double rate;
};

class EngineResetRunsAsNew : public ::testing::TestWithParam<ResetCase>
{
};

// Whatever a run left (dips, open gates, envelopes, bells, meters, delay
// lines, the spectral stage, the period), an engine reset to a rate runs
// exactly as an engine made at that rate with the same settings.
TEST_P(EngineResetRunsAsNew, SampleForSampleAndMeterForMeter)
{
    const ResetCase& c = GetParam();
    auto usedRegistry = makeRegistry();
    auto freshRegistry = makeRegistry();
    auto used = usedSelf(*usedRegistry);
    ASSERT_LT(used->bandGain(0, 13), 0.5); // the run really left a dip
    ASSERT_GT(used->meters().touched, 0);

    used->settings().role = c.role;
    used->resetEngine(c.rate);
    auto fresh = makeEngineOn(*freshRegistry, c.role, kChannel, 100.0, c.rate);
    configure(*fresh);
    EXPECT_EQ(used->sampleRate(), c.rate);

    const std::vector<double> in = toneInNoise(24000, 6);
    Track a;
    Track b;
    run(*used, in, a, 96000);
    run(*fresh, in, b, 96000);
    for (size_t i = 0; i < in.size(); ++i)
    {
        ASSERT_EQ(a.out0[i], b.out0[i]) << i;
        ASSERT_EQ(a.out1[i], b.out1[i]) << i;
    }
    EXPECT_TRUE(sameReadings(used->meters(), fresh->meters()));
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(used->bandGain(0, k), fresh->bandGain(0, k)) << "band " << k;
}

INSTANTIATE_TEST_SUITE_P(ResetTo, EngineResetRunsAsNew,
                         ::testing::Values(ResetCase{"SelfAt48k", kRoleSelf, 48000.0},
                                           ResetCase{"SelfAt96k", kRoleSelf, 96000.0},
                                           ResetCase{"MaskerAt44k1", kRoleMasker, 44100.0},
                                           ResetCase{"SourceAt96k", kRoleSource, 96000.0},
                                           ResetCase{"OffAt48k", kRoleOff, 48000.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EngineResetFull, LeavesItsSlotKeepsTheSettingsAndAttachesAgain)
{
    auto engine = makeEngine();
    const int channel = uniqueChannelIndex();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = channel;
    engine->settings().bellFreqHz[1] = 250.0f;
    const std::vector<double> s = noise(4800, 71);
    runStereo(*engine, s, s, {480});
    PeerSlot& slot = sharedRegistry().slots[channel];
    ASSERT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);

    engine->resetEngine(96000.0);
    EXPECT_EQ(slot.ownerId.load(), 0u);
    EXPECT_EQ(slot.role.load(), 0);
    EXPECT_EQ(engine->handover().idleSide().link.slotIndex.load(), -1);
    EXPECT_EQ(engine->handover().idleSide().link.attachKey.load(), -1);
    EXPECT_EQ(engine->settings().bellFreqHz[1], 250.0f);
    EXPECT_EQ(engine->settings().role, kRoleSource);

    runStereo(*engine, s, s, {480});
    EXPECT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);
}

// A role or bypass change while Self dips.
struct ChangeCase
{
    const char* name;
    void (*change)(EngineSettings&);
};

class RoleChangeReset : public ::testing::TestWithParam<ChangeCase>
{
};

TEST_P(RoleChangeReset, ClosesGatesAndClearsMetersButLetsTheDipsGlide)
{
    auto registry = makeRegistry();
    auto engine = usedSelf(*registry);
    const MaskingStage& masking = engine->masking();
    ASSERT_TRUE(engine->meters().linked);
    double gainBefore[kBandCount];
    double otherGainBefore[kBandCount];
    double envelopeBefore[kBandCount];
    int openBefore = 0;
    for (int k = 0; k < kBandCount; ++k)
    {
        gainBefore[k] = engine->bandGain(0, k);
        otherGainBefore[k] = engine->bandGain(1, k);
        envelopeBefore[k] = masking.envelope(0, k);
        openBefore += masking.gateOpen(0, k) ? 1 : 0;
    }
    ASSERT_GT(openBefore, 0);
    ASSERT_LT(gainBefore[13], 0.5);

    GetParam().change(engine->settings());
    Track track;
    run(*engine, std::vector<double>(1, 0.0), track, 48000);

    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_FALSE(masking.gateOpen(0, k));
        EXPECT_FALSE(masking.gateOpen(1, k));
        EXPECT_EQ(masking.gateAmount(0, k), 0.0);
        // The gates continue from the gains in use.
        EXPECT_EQ(masking.gateGain(1, k), otherGainBefore[k]) << "band " << k;
        EXPECT_EQ(masking.blockGain(k), 1.0);
        EXPECT_EQ(masking.heldSourceLevel(k), 0.0);
        EXPECT_EQ(engine->meters().dipDb[k], 0.0f);
        // The smoothed statistics carry on; a dip takes one step of its
        // 20 ms glide back, it does not jump.
        EXPECT_EQ(masking.envelope(0, k), envelopeBefore[k]) << "band " << k;
        const double g = engine->bandGain(0, k);
        EXPECT_GE(g, gainBefore[k]) << "band " << k;
        EXPECT_LE(g - gainBefore[k], (1.0 - gainBefore[k]) * 0.002) << "band " << k;
    }
    EXPECT_GT(engine->bandGain(0, 13), gainBefore[13]);
    EXPECT_EQ(engine->meters().touched, 0);
    EXPECT_EQ(engine->meters().nullDb, -150.0f);
    EXPECT_FALSE(engine->meters().linked);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, RoleChangeReset,
    ::testing::Values(ChangeCase{"Bypass", [](EngineSettings& s) { s.bypass = 1; }},
                      ChangeCase{"Off", [](EngineSettings& s) { s.role = kRoleOff; }},
                      ChangeCase{"Source", [](EngineSettings& s) { s.role = kRoleSource; }}),
    [](const auto& info) { return std::string(info.param.name); });

#if defined(__x86_64__)
TEST(ChunkFloatMode, CallersModeIsRestoredAfterEveryChunk)
{
    auto engine = makeEngine();
    const unsigned int before = _mm_getcsr();
    _mm_setcsr(before & ~0x8040u); // flush-to-zero and denormals-are-zero off
    const unsigned int callers = _mm_getcsr();
    std::vector<double> s = noise(10000, 72);
    runStereo(*engine, s, s, {10000});
    EXPECT_EQ(_mm_getcsr(), callers);
    engine->settings().role = kRoleSource;
    runStereo(*engine, s, s, {333});
    EXPECT_EQ(_mm_getcsr(), callers);
    _mm_setcsr(before);
}

TEST(ChunkFloatMode, FilterTailsNeverTurnSubnormal)
{
    // An impulse rings down through every band; the tails must skip the slow
    // subnormal range (flushed to zero) rather than crawl through it.
    auto engine = makeEngine();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = uniqueChannelIndex();
    std::vector<double> impulse(64, 0.0);
    impulse[0] = 1.0;
    runStereo(*engine, impulse, impulse, {64});
    const std::vector<double> quiet(64, 0.0);
    auto subnormal = [](double v) { return std::fpclassify(v) == FP_SUBNORMAL; };
    const BandFilters& filters = engine->bandFilters();
    int bandsAtZero = 0;
    for (int chunk = 0; chunk < 48000 * 6 / 64; ++chunk)
    {
        runStereo(*engine, quiet, quiet, {64});
        bandsAtZero = 0;
        for (int k = 0; k < kBandCount; ++k)
        {
            ASSERT_FALSE(subnormal(filters.input(0).s1[k])) << "band " << k;
            ASSERT_FALSE(subnormal(filters.input(1).s2[k])) << "band " << k;
            bandsAtZero += filters.input(0).s1[k] == 0.0;
        }
        for (int j = 0; j < kEdgeCount; ++j)
            ASSERT_FALSE(subnormal(filters.analysis().s1b[j])) << "edge " << j;
    }
    EXPECT_GE(bandsAtZero, 20); // most tails have really gone through the bottom
}
#endif

} // namespace
} // namespace ostrel
