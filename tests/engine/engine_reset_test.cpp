// The two resets: the full engine reset and the per-band reset when the role
// or the bypass changes; and the floating-point mode of a chunk.
#include "engine/bell_stage_probe.h"
#include "engine/masking_stage_probe.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace ostrel
{
namespace
{

void dirtyMaskingState(EngineParts& e)
{
    seedMaskingStage(e.masking);
    for (int k = 0; k < kBandCount; ++k)
    {
        e.meters.dipMeter[k].store(-6.0f);
        e.gains.bandGain[0][k] = 0.5;
    }
    e.meters.touchedCount.store(5);
    e.meters.nullMeter.store(-20.0f);
    e.meters.nullSmoothed = -20.0;
    e.meters.linked.store(1);
}

TEST(RoleChangeReset, FirstChunkAfterAnEngineResetPerformsIt)
{
    auto engine = testing::makeEngine();
    EXPECT_EQ(engineParts(*engine).path.lastRole, -1);
    dirtyMaskingState(engineParts(*engine));
    std::vector<double> s(64, 0.0);
    testing::runStereo(*engine, s, s, {64});
    EXPECT_EQ(engineParts(*engine).path.lastRole, kRoleOff);
    EXPECT_FALSE(maskingStageOf(*engine).gateOpen(0, 4));
    EXPECT_EQ(engine->meters().touched, 0);
}

TEST(RoleChangeReset, ClearsGatesAndMetersButLetsTheDipsGlide)
{
    auto engine = testing::makeEngine();
    engine->settings().channelIndex = testing::uniqueChannelIndex();
    std::vector<double> s(64, 0.0);
    testing::runStereo(*engine, s, s, {64});
    dirtyMaskingState(engineParts(*engine));

    engine->settings().bypass = 1; // a bypass change counts like a role change
    const std::vector<double> one(1, 0.0);
    testing::runStereo(*engine, one, one, {1});
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_FALSE(maskingStageOf(*engine).gateOpen(0, k));
        EXPECT_FALSE(maskingStageOf(*engine).gateOpen(1, k));
        EXPECT_EQ(maskingStageOf(*engine).gateAmount(0, k), 0.0);
        EXPECT_EQ(maskingStageOf(*engine).gateGain(1, k), 1.0);
        EXPECT_EQ(maskingStageOf(*engine).blockGain(k), 1.0);
        EXPECT_EQ(maskingStageOf(*engine).heldSourceLevel(k), 0.0);
        EXPECT_EQ(engine->meters().dipDb[k], 0.0f);
        // Not reset here: the smoothed statistics carry on, the dips glide.
        EXPECT_EQ(maskingStageOf(*engine).envelope(0, k), 0.7);
        EXPECT_GT(engineParts(*engine).gains.bandGain[0][k], 0.5);
        EXPECT_LT(engineParts(*engine).gains.bandGain[0][k], 0.51);
    }
    EXPECT_EQ(engine->meters().touched, 0);
    EXPECT_EQ(engine->meters().nullDb, -150.0f);
    EXPECT_EQ(engineParts(*engine).meters.nullSmoothed, -120.0);
    EXPECT_FALSE(engine->meters().linked);
    EXPECT_EQ(engineParts(*engine).path.lastBypass, 1);

    // Same role and bypass again: nothing is reset.
    MaskingStageProbe::gates(maskingStageOf(*engine)).gateOpen0[3] = 1;
    testing::runStereo(*engine, s, s, {64});
    EXPECT_TRUE(maskingStageOf(*engine).gateOpen(0, 3));
}

TEST(EngineResetFull, ReleasesTheSlotAndRestoresEveryInitialValue)
{
    auto engine = testing::makeEngine();
    const int channel = testing::uniqueChannelIndex();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = channel;
    engine->settings().bellFreqHz[1] = 250.0f;
    const std::vector<double> s = testing::noise(4800, 71);
    testing::runStereo(*engine, s, s, {480});
    PeerSlot& slot = sharedRegistry().slots[channel];
    ASSERT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);
    dirtyMaskingState(engineParts(*engine));
    BellStageProbe::bell(engineParts(*engine).bells, 0).bellGain0 = 0.1;
    BellStageProbe::bell(engineParts(*engine).bells, 0).bellFreqSmoothed = 400.0f;

    engine->resetEngine(96000.0);
    EXPECT_EQ(slot.ownerId.load(), 0u);
    EXPECT_EQ(slot.role.load(), 0);
    EXPECT_EQ(engine->handover().idleSide().link.slotIndex.load(), -1);
    EXPECT_EQ(engine->handover().idleSide().link.attachKey.load(), -1);
    EXPECT_EQ(engineParts(*engine).filters.tables().sampleRate, 96000.0);
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_EQ(engineParts(*engine).gains.bandGain[0][k], 1.0);
        EXPECT_EQ(maskingStageOf(*engine).envelope(0, k), 0.0);
        EXPECT_EQ(maskingStageOf(*engine).gateGain(0, k), 1.0);
        EXPECT_EQ(maskingStageOf(*engine).linkRatio(k), 1e9);
        EXPECT_EQ(maskingStageOf(*engine).sharedGain(k), 1.0f);
        EXPECT_EQ(engine->meters().dipDb[k], 0.0f);
        EXPECT_EQ(engineParts(*engine).filters.input(0).s1[k], 0.0);
    }
    EXPECT_TRUE(engineParts(*engine).bells.atRest());
    EXPECT_EQ(engineParts(*engine).bells.glidedFrequency(0), -1.0f);
    EXPECT_EQ(maskingStageOf(*engine).periodsSinceSourceUpdate(), 0x10000000);
    EXPECT_EQ(maskingStageOf(*engine).warmupCount(), 240);
    EXPECT_EQ(engine->meters().nullDb, -150.0f);
    EXPECT_EQ(engineParts(*engine).path.lastRole, -1);
    EXPECT_EQ(engineParts(*engine).path.settled, 0);
    EXPECT_EQ(maskingStageOf(*engine).sourceHistoryEnd(100), -1);
    // A sample-rate change keeps what the parameters set.
    EXPECT_EQ(engine->settings().bellFreqHz[1], 250.0f);
    EXPECT_EQ(engine->settings().role, kRoleSource);

    // The next chunk attaches afresh.
    testing::runStereo(*engine, s, s, {480});
    EXPECT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);
}

#if defined(__x86_64__)
TEST(ChunkFloatMode, CallersModeIsRestoredAfterEveryChunk)
{
    auto engine = testing::makeEngine();
    const unsigned int before = _mm_getcsr();
    _mm_setcsr(before & ~0x8040u); // flush-to-zero and denormals-are-zero off
    const unsigned int callers = _mm_getcsr();
    std::vector<double> s = testing::noise(10000, 72);
    testing::runStereo(*engine, s, s, {10000});
    EXPECT_EQ(_mm_getcsr(), callers);
    engine->settings().role = kRoleSource;
    testing::runStereo(*engine, s, s, {333});
    EXPECT_EQ(_mm_getcsr(), callers);
    _mm_setcsr(before);
}

TEST(ChunkFloatMode, FilterTailsNeverTurnSubnormal)
{
    // An impulse rings down through every band; the tails must skip the slow
    // subnormal range (flushed to zero) rather than crawl through it.
    auto engine = testing::makeEngine();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = testing::uniqueChannelIndex();
    std::vector<double> impulse(64, 0.0);
    impulse[0] = 1.0;
    testing::runStereo(*engine, impulse, impulse, {64});
    const std::vector<double> quiet(64, 0.0);
    auto subnormal = [](double v) { return std::fpclassify(v) == FP_SUBNORMAL; };
    int bandsAtZero = 0;
    for (int chunk = 0; chunk < 48000 * 6 / 64; ++chunk)
    {
        testing::runStereo(*engine, quiet, quiet, {64});
        bandsAtZero = 0;
        for (int k = 0; k < kBandCount; ++k)
        {
            ASSERT_FALSE(subnormal(engineParts(*engine).filters.input(0).s1[k])) << "band " << k;
            ASSERT_FALSE(subnormal(engineParts(*engine).filters.input(1).s2[k])) << "band " << k;
            bandsAtZero += engineParts(*engine).filters.input(0).s1[k] == 0.0;
        }
        for (int j = 0; j < kEdgeCount; ++j)
            ASSERT_FALSE(subnormal(engineParts(*engine).filters.analysis().s1b[j])) << "edge " << j;
    }
    EXPECT_GE(bandsAtZero, 20); // most tails have really gone through the bottom
}
#endif

} // namespace
} // namespace ostrel
