// The block driver: channel and sidechain selection, chunking, and the
// engine's fixed latency through every non-dipping path.
#include "engine/block_driver.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

namespace ostrel
{
namespace
{

// Four input channels (main pair, sidechain pair) and two outputs, as the
// framework lays them out; `connected` says which the host connected.
struct Bus
{
    std::vector<double> in[4];
    std::vector<double> out[2];
    double* inPtr[4];
    double* outPtr[2];
    bool inConnected[4];
    bool outConnected[2];

    Bus(std::initializer_list<bool> ins, std::initializer_list<bool> outs, int frames = 64)
    {
        int i = 0;
        for (bool c : ins)
            inConnected[i++] = c;
        i = 0;
        for (bool c : outs)
            outConnected[i++] = c;
        for (int c = 0; c < 4; ++c)
        {
            in[c].assign(frames, 0.0);
            inPtr[c] = in[c].data();
        }
        for (int c = 0; c < 2; ++c)
        {
            out[c].assign(frames, 0.0);
            outPtr[c] = out[c].data();
        }
    }
    ChannelList inputs() { return {inPtr, inConnected, 4}; }
    ChannelList outputs() { return {outPtr, outConnected, 2}; }
};

TEST(BlockRoutingSelection, StereoMainWithoutSidechainBus)
{
    Bus bus({true, true, false, false}, {true, true});
    std::vector<double> scratch;
    const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, true, 64, scratch);
    ASSERT_TRUE(r.valid);
    EXPECT_FALSE(r.mono);
    EXPECT_EQ(r.in0, bus.in[0].data());
    EXPECT_EQ(r.in1, bus.in[1].data());
    EXPECT_EQ(r.out0, bus.out[0].data());
    EXPECT_EQ(r.out1, bus.out[1].data());
    EXPECT_EQ(r.side0, nullptr);
    EXPECT_EQ(r.side1, nullptr);
    EXPECT_TRUE(scratch.empty());
}

TEST(BlockRoutingSelection, MonoSidechainOnStereoMainFeedsBothSidechainChannels)
{
    Bus bus({true, true, true, false}, {true, true}); // 2.1-2
    std::vector<double> scratch;
    const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, true, 64, scratch);
    EXPECT_EQ(r.side0, bus.in[2].data());
    EXPECT_EQ(r.side1, bus.in[2].data());
}

TEST(BlockRoutingSelection, StereoSidechainUsesChannelsTwoAndThree)
{
    Bus bus({true, true, true, true}, {true, true}); // 2.2-2
    std::vector<double> scratch;
    const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, true, 64, scratch);
    EXPECT_EQ(r.side0, bus.in[2].data());
    EXPECT_EQ(r.side1, bus.in[3].data());
}

TEST(BlockRoutingSelection, MonoMainWithSidechainFindsItAtTheFrameworksStartChannel)
{
    Bus bus({true, false, true, false}, {true, false}); // 1.1-1
    std::vector<double> scratch;
    const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, true, 100, scratch);
    ASSERT_TRUE(r.valid);
    EXPECT_TRUE(r.mono);
    EXPECT_EQ(r.in0, bus.in[0].data());
    EXPECT_EQ(r.in1, bus.in[0].data());
    EXPECT_EQ(r.out0, bus.out[0].data());
    EXPECT_EQ(r.side0, bus.in[2].data());
    EXPECT_EQ(r.side1, bus.in[2].data());
    ASSERT_EQ(scratch.size(), 100u);
    EXPECT_EQ(r.out1, scratch.data());
}

TEST(BlockRoutingSelection, NoSidechainWhenTheParameterIsOffOrTheChannelIsUnconnected)
{
    Bus withBus({true, true, true, true}, {true, true});
    std::vector<double> scratch;
    EXPECT_EQ(routeBlock(withBus.inputs(), withBus.outputs(), 2, false, 64, scratch).side0,
              nullptr);
    Bus mono({true, false, false, false}, {true, false}); // 1-1
    const BlockRouting r = routeBlock(mono.inputs(), mono.outputs(), 2, true, 64, scratch);
    EXPECT_TRUE(r.mono);
    EXPECT_EQ(r.side0, nullptr);
    EXPECT_EQ(r.side1, nullptr);
}

TEST(BlockRoutingSelection, StereoInputIntoMonoOutputIsAMonoBlock)
{
    Bus bus({true, true, false, false}, {true, false});
    std::vector<double> scratch(500, 0.0);
    const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, false, 64, scratch);
    EXPECT_TRUE(r.mono);
    EXPECT_EQ(r.in1, bus.in[0].data());
    EXPECT_EQ(scratch.size(), 500u); // long enough already: not shrunk
}

// A mono main input into two connected outputs: a mono block that writes its
// second output into the host's channel, sidechain or not.
TEST(BlockRoutingSelection, MonoMainIntoStereoOutputWritesBothOutputs)
{
    for (const bool side : {false, true})
    {
        Bus bus({true, false, side, side}, {true, true});
        std::vector<double> scratch;
        const BlockRouting r = routeBlock(bus.inputs(), bus.outputs(), 2, true, 64, scratch);
        ASSERT_TRUE(r.valid);
        EXPECT_TRUE(r.mono) << "sidechain " << side;
        EXPECT_EQ(r.in1, bus.in[0].data());
        EXPECT_EQ(r.out0, bus.out[0].data());
        EXPECT_EQ(r.out1, bus.out[1].data()) << "sidechain " << side;
        EXPECT_EQ(r.side0, side ? bus.in[2].data() : nullptr);
    }
}

// ---------------------------------------------------------------------------

struct LatencyCase
{
    const char* name;
    int role;
    bool bypass;
};

class EngineLatency : public ::testing::TestWithParam<LatencyCase>
{
protected:
    void SetUp() override
    {
        engine = testing::makeEngine(48000.0);
        engine->settings().role = GetParam().role;
        engine->settings().bypass = GetParam().bypass ? 1 : 0;
        engine->settings().channelIndex = testing::uniqueChannelIndex();
    }
    std::unique_ptr<SpectralEngine> engine;
};

void expectDelayedBy1264(const std::vector<double>& in, const std::vector<double>& out)
{
    for (size_t i = 0; i < out.size(); ++i)
    {
        const double want = i < kEngineLatency ? 0.0 : in[i - kEngineLatency];
        ASSERT_EQ(out[i], want) << "sample " << i;
    }
}

TEST_P(EngineLatency, OutputIsTheInputDelayedBy1264SamplesBitExact)
{
    const std::vector<double> l = testing::noise(30000, 31);
    const std::vector<double> r = testing::noise(30000, 32);
    const testing::StereoOut out = testing::runStereo(*engine, l, r, {1, 7, 333, 4881, 129});
    expectDelayedBy1264(l, out.left);
    expectDelayedBy1264(r, out.right);
}

TEST_P(EngineLatency, HoldsAcrossA10000SampleBlock)
{
    const std::vector<double> l = testing::noise(25000, 33);
    const std::vector<double> r = testing::noise(25000, 34);
    const testing::StereoOut out = testing::runStereo(*engine, l, r, {10000, 3, 10000});
    expectDelayedBy1264(l, out.left);
    expectDelayedBy1264(r, out.right);
}

TEST_P(EngineLatency, MonoBusIsDelayedTheSameWay)
{
    const std::vector<double> in = testing::noise(12000, 35);
    std::vector<double> scratch;
    const std::vector<double> out = testing::runMono(*engine, in, {512, 6000, 17}, scratch);
    expectDelayedBy1264(in, out);
    EXPECT_GE(scratch.size(), 6000u);
}

INSTANTIATE_TEST_SUITE_P(Paths, EngineLatency,
                         ::testing::Values(LatencyCase{"Off", kRoleOff, false},
                                           LatencyCase{"BypassedSource", kRoleSource, true},
                                           LatencyCase{"BypassedMasker", kRoleMasker, true},
                                           LatencyCase{"Source", kRoleSource, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EngineChunking, A10000SampleBlockIsMeasuredInAnalysisPeriods)
{
    auto engine = testing::makeEngine(48000.0);
    const int channel = testing::uniqueChannelIndex();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = channel;
    constexpr int kPeriod = 512;
    constexpr int kClosed = 10000 / kPeriod; // 19 periods close, 272 samples wait

    // Silence, then a burst in the last 240 samples of the last closed period.
    std::vector<double> in(10000, 0.0);
    const std::vector<double> burst = testing::sine(3000.0, 48000.0, 240);
    std::copy(burst.begin(), burst.end(), in.begin() + kClosed * kPeriod - 240);

    testing::runStereo(*engine, in, in, {10000}, 5000.0);

    PeerSlot& slot = sharedRegistry().slots[channel];
    ASSERT_EQ(slot.ownerId.load(), engine->handover().idleSide().link.instanceId);
    EXPECT_EQ(slot.blockEndPos.load(), 5000 + kClosed * kPeriod);
    EXPECT_EQ(slot.levelSeq.load(), 2u * kClosed); // one publication per period, even
    // The last publication describes exactly the last closed period.
    double sumSquares = 0.0;
    for (int k = 0; k < kBandCount; ++k)
        sumSquares += double(slot.bandLevels[k].load()) * slot.bandLevels[k].load();
    double burstEnergy = 0.0;
    for (double x : burst)
        burstEnergy += x * x;
    EXPECT_NEAR(sumSquares, burstEnergy / kPeriod, 0.02 * burstEnergy / kPeriod);
}

TEST(EngineChunking, UnknownHostPositionStaysUnknown)
{
    auto engine = testing::makeEngine(48000.0);
    const int channel = testing::uniqueChannelIndex();
    engine->settings().role = kRoleSource;
    engine->settings().channelIndex = channel;
    std::vector<double> in(10000, 0.0);
    testing::runStereo(*engine, in, in, {10000}, -1.0);
    // The last period still starts at -1 (not at 9215): its end reads -1 + 512.
    EXPECT_EQ(sharedRegistry().slots[channel].blockEndPos.load(), -1 + 512);
}

TEST(EngineReset, FirstOutputSamplesAfterAResetAreSilence)
{
    auto engine = testing::makeEngine(48000.0);
    const std::vector<double> loud = testing::noise(20000, 41);
    testing::runStereo(*engine, loud, loud, {512});
    engine->resetEngine(44100.0);
    const testing::StereoOut out = testing::runStereo(*engine, loud, loud, {256});
    for (int i = 0; i < kEngineLatency; ++i)
    {
        ASSERT_EQ(out.left[i], 0.0) << i;
        ASSERT_EQ(out.right[i], 0.0) << i;
    }
    EXPECT_EQ(out.left[kEngineLatency], loud[0]);
}

} // namespace
} // namespace ostrel
