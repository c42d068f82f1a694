// Channel I/O layouts, per-block connection, sample conversion and the host
// bypass delay.
#include "framework/plugin_processor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

using plugfw::HostAudioBus;
using plugfw::kInput;
using plugfw::kOutput;
using plugfw::PluginProcessor;

constexpr const char* kLayouts = "2-2 1-1 1.1-1 2.1-2 2.2-2";
constexpr int kLatency = 1264;

plugfw::Config ProcessorConfig(const char* io = kLayouts, int latency = kLatency)
{
    plugfw::Config c;
    c.channelIOStr = io;
    c.latency = latency;
    return c;
}

// Records what reaches the block callback and writes input + 100·(channel + 1).
class RecordingProcessor : public PluginProcessor
{
public:
    explicit RecordingProcessor(const plugfw::Config& c = ProcessorConfig()) : PluginProcessor(c) {}

    void processBlock(double** inputs, double** outputs, int nFrames) override
    {
        ++blocks;
        frames.push_back(nFrames);
        seenIn.assign(NChannels(kInput), {});
        for (int ch = 0; ch < NChannels(kInput); ++ch)
            seenIn[ch].assign(inputs[ch], inputs[ch] + nFrames);
        for (int ch = 0; ch < NChannels(kOutput); ++ch)
            for (int i = 0; i < nFrames; ++i)
                outputs[ch][i] = inputs[0][i] + 100.0 * (ch + 1);
    }
    int PluginBusCount(plugfw::Direction dir) const override
    {
        return busCount[dir] >= 0 ? busCount[dir] : PluginProcessor::PluginBusCount(dir);
    }
    bool IsPluginBusActive(plugfw::Direction dir, int busIdx) const override
    {
        return dir == kInput && busIdx == 1 ? sidechainActive : busIdx == 0;
    }
    void InformHostOfLatencyChange() override { ++latencyRequests; }

    int blocks = 0;
    std::vector<int> frames;
    std::vector<std::vector<double>> seenIn;
    bool sidechainActive = false;
    int busCount[2] = {-1, -1};
    int latencyRequests = 0;
};

// Host buffers of one format for a number of buses and channels.
template <typename T> struct HostBuffers
{
    HostBuffers(std::vector<int> channelsPerBus, int frames)
    {
        for (int n : channelsPerBus)
        {
            data.emplace_back(n, std::vector<T>(frames, T(0)));
            ptrs.emplace_back();
        }
        for (size_t b = 0; b < data.size(); ++b)
            for (auto& ch : data[b])
                ptrs[b].push_back(ch.data());
        for (size_t b = 0; b < data.size(); ++b)
        {
            HostAudioBus bus;
            bus.numChannels = static_cast<int>(data[b].size());
            if constexpr (sizeof(T) == 4)
                bus.channels32 = ptrs[b].data();
            else
                bus.channels64 = ptrs[b].data();
            buses.push_back(bus);
        }
    }
    void Fill(int bus, int ch, double base)
    {
        auto& v = data[bus][ch];
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = T(base + static_cast<double>(i));
    }
    std::vector<std::vector<std::vector<T>>> data;
    std::vector<std::vector<T*>> ptrs;
    std::vector<HostAudioBus> buses;
};

TEST(IOLayouts, ProductStringParsesToFiveLayoutsAndTotals)
{
    RecordingProcessor p;
    EXPECT_EQ(p.NIOConfigs(), 5);
    EXPECT_EQ(p.MaxNChannels(kInput), 4);
    EXPECT_EQ(p.MaxNChannels(kOutput), 2);
    EXPECT_EQ(p.MaxNBuses(kInput), 2);
    EXPECT_EQ(p.MaxNBuses(kOutput), 1);
    EXPECT_EQ(p.NChannels(kInput), 4);
    EXPECT_EQ(p.NChannels(kOutput), 2);
    int idx = -1;
    EXPECT_EQ(p.MaxBusCount(kInput, &idx), 2);
    EXPECT_EQ(idx, 4); // the last layout with two input buses
    EXPECT_EQ(p.MaxBusCount(kOutput, &idx), 1);
    EXPECT_EQ(idx, 4);
    EXPECT_EQ(p.GetIOConfig(2).NChannelsOfBus(kInput, 1), 1);
    EXPECT_EQ(p.GetSidechainStartChannel(), 2);
}

TEST(IOLayouts, MatchConfigFindsExactBusWidths)
{
    RecordingProcessor p;
    EXPECT_EQ(p.MatchConfig({2, 1}, {2}), 3);
    EXPECT_EQ(p.MatchConfig({1, 2}, {1}), -1);
    EXPECT_EQ(p.MatchConfig({2}, {2}), 0);
    EXPECT_EQ(p.MatchConfig({1, 1}, {1}), 2);
    EXPECT_EQ(p.MatchConfig({2, 2}, {2}), 4);
    EXPECT_EQ(p.MatchConfig({2}, {1}), -1);
    EXPECT_EQ(p.MatchConfig({2, 2, 2}, {2}), -1);
    EXPECT_EQ(p.MatchConfig({}, {}), -1);
}

TEST(IOLayouts, WidestChannelsPerBusPosition)
{
    RecordingProcessor p;
    EXPECT_EQ(p.MaxChannelsOfBus(kInput, 0), 2);
    EXPECT_EQ(p.MaxChannelsOfBus(kInput, 1), 2);
    EXPECT_EQ(p.MaxChannelsOfBus(kInput, 2), 0);
    EXPECT_EQ(p.MaxChannelsOfBus(kOutput, 0), 2);
    RecordingProcessor wild(ProcessorConfig("*-2 1-1"));
    EXPECT_EQ(wild.MaxChannelsOfBus(kInput, 0), -1);
    EXPECT_EQ(wild.MaxChannelsOfBus(kOutput, 0), 2);
}

TEST(IOLayouts, GrammarOddities)
{
    std::vector<plugfw::IOConfig> configs;
    plugfw::IOTotals totals;
    EXPECT_EQ(plugfw::ParseChannelIOStr("*-* 0.x-3 1-1 1-1", configs, totals), 4);
    ASSERT_EQ(configs.size(), 4u);
    EXPECT_EQ(configs[0].NChannelsOfBus(kInput, 0), plugfw::kWildcardChannels);
    EXPECT_TRUE(configs[0].ContainsWildcard(kOutput));
    EXPECT_EQ(configs[1].NBuses(kInput), 0); // buses of 0 channels are not buses
    EXPECT_EQ(configs[1].NChannelsOfBus(kOutput, 0), 3);
    EXPECT_EQ(totals.channels[kInput], 1);
    EXPECT_EQ(totals.channels[kOutput], 3);
    EXPECT_EQ(totals.buses[kInput], 1);
}

TEST(IOLayouts, BusNames)
{
    RecordingProcessor p;
    EXPECT_EQ(p.BusName(kInput, 0, 1), "Input");
    EXPECT_EQ(p.BusName(kInput, 0, 2), "Main");
    EXPECT_EQ(p.BusName(kInput, 1, 2), "Aux");
    EXPECT_EQ(p.BusName(kInput, 2, 3), "Input 2");
    EXPECT_EQ(p.BusName(kOutput, 0, 1), "Output");
    EXPECT_EQ(p.BusName(kOutput, 1, 2), "Output 1");
}

TEST(IOLayouts, ChannelLabels)
{
    RecordingProcessor p;
    p.SetChannelLabel(kInput, 2, "Sidechain L");
    p.SetChannelLabel(kInput, 1, "In %i");
    p.SetChannelLabel(kOutput, 1, "Out %i", true);
    p.SetChannelLabel(kInput, 4, "ignored");
    p.SetChannelLabel(kInput, -1, "ignored");
    EXPECT_STREQ(p.GetChannelLabel(kInput, 2), "Sidechain L");
    EXPECT_STREQ(p.GetChannelLabel(kInput, 1), "In 2");
    EXPECT_STREQ(p.GetChannelLabel(kOutput, 1), "Out 1");
    EXPECT_STREQ(p.GetChannelLabel(kInput, 4), "");
}

TEST(ProcessorSetup, InitialState)
{
    RecordingProcessor p;
    EXPECT_DOUBLE_EQ(p.GetSampleRate(), 48000.0);
    EXPECT_EQ(p.GetBlockSize(), 0);
    EXPECT_EQ(p.GetLatency(), kLatency);
    EXPECT_EQ(p.GetTailSize(), 0);
    EXPECT_FALSE(p.GetBypassed());
    EXPECT_DOUBLE_EQ(p.GetTimeInfo().tempo, 120.0);
    EXPECT_DOUBLE_EQ(p.GetTimeInfo().samplePos, -1.0);
    EXPECT_EQ(p.GetTimeInfo().numerator, 4);
    EXPECT_EQ(p.ConnectedChannelCount(kInput), 0);
}

TEST(ProcessorSetup, LatencyAndTail)
{
    RecordingProcessor p;
    p.SetLatency(10);
    EXPECT_EQ(p.GetLatency(), 10);
    EXPECT_EQ(p.latencyRequests, 1);
    p.SetTail(PluginProcessor::kTailInfinite);
    EXPECT_TRUE(p.GetTailIsInfinite());
}

class ProcessorBlocks : public ::testing::Test
{
protected:
    void SetUp() override { p.SetBlockSize(512); }

    template <typename T> void Run(HostBuffers<T>& in, HostBuffers<T>& out, int n)
    {
        p.ProcessBuffers(in.buses.data(), static_cast<int>(in.buses.size()), out.buses.data(),
                         static_cast<int>(out.buses.size()), sizeof(T) * 8, n);
    }

    RecordingProcessor p;
};

TEST_F(ProcessorBlocks, StereoFloatBlockIsConvertedBothWays)
{
    HostBuffers<float> in({2}, 256), out({2}, 256);
    in.Fill(0, 0, 0.25);
    in.Fill(0, 1, -3.5);
    Run(in, out, 256);
    ASSERT_EQ(p.blocks, 1);
    EXPECT_EQ(p.ConnectedChannelCount(kInput), 2);
    EXPECT_EQ(p.ConnectedChannelCount(kOutput), 2);
    EXPECT_DOUBLE_EQ(p.seenIn[1][10], -3.5 + 10);
    EXPECT_FLOAT_EQ(out.data[0][0][7], 0.25f + 7 + 100);
    EXPECT_FLOAT_EQ(out.data[0][1][7], 0.25f + 7 + 200);
}

TEST_F(ProcessorBlocks, DoubleBlockUsesHostBuffersDirectly)
{
    HostBuffers<double> in({2}, 64), out({2}, 64);
    in.Fill(0, 0, 1.0);
    Run(in, out, 64);
    EXPECT_DOUBLE_EQ(out.data[0][0][63], 1.0 + 63 + 100);
    EXPECT_DOUBLE_EQ(out.data[0][1][0], 1.0 + 200);
}

TEST_F(ProcessorBlocks, OtherSampleFormatsAreSkipped)
{
    HostBuffers<float> in({2}, 64), out({2}, 64);
    out.Fill(0, 0, 9.0);
    p.ProcessBuffers(in.buses.data(), 1, out.buses.data(), 1, 16, 64);
    EXPECT_EQ(p.blocks, 0);
    EXPECT_FLOAT_EQ(out.data[0][0][0], 9.0f);
}

TEST_F(ProcessorBlocks, MonoLayoutPutsSidechainAtChannelTwo)
{
    p.sidechainActive = true;
    HostBuffers<float> in({1, 1}, 32), out({1}, 32);
    in.Fill(0, 0, 1.0);
    in.Fill(1, 0, 50.0);
    Run(in, out, 32);
    EXPECT_TRUE(p.IsSidechainActive());
    EXPECT_TRUE(p.IsChannelConnected(kInput, 0));
    EXPECT_FALSE(p.IsChannelConnected(kInput, 1));
    EXPECT_TRUE(p.IsChannelConnected(kInput, 2));
    EXPECT_FALSE(p.IsChannelConnected(kInput, 3));
    EXPECT_DOUBLE_EQ(p.seenIn[1][5], 0.0);
    EXPECT_DOUBLE_EQ(p.seenIn[2][5], 55.0);
    EXPECT_FALSE(p.IsChannelConnected(kOutput, 1));
}

TEST_F(ProcessorBlocks, InactiveSidechainReadsZeros)
{
    HostBuffers<float> in({2, 2}, 32), out({2}, 32);
    in.Fill(1, 0, 7.0);
    in.Fill(1, 1, 8.0);
    p.sidechainActive = true;
    Run(in, out, 32);
    EXPECT_DOUBLE_EQ(p.seenIn[3][1], 9.0);
    p.sidechainActive = false;
    Run(in, out, 32);
    EXPECT_FALSE(p.IsSidechainActive());
    for (int ch : {2, 3})
        for (double v : p.seenIn[ch])
            ASSERT_EQ(v, 0.0) << ch;
}

TEST_F(ProcessorBlocks, ChannelThatLosesItsBusReadsZerosNotOldSamples)
{
    HostBuffers<float> stereo({2}, 32), mono({1}, 32), out({2}, 32);
    stereo.Fill(0, 1, 5.0);
    Run(stereo, out, 32);
    Run(mono, out, 32);
    EXPECT_FALSE(p.IsChannelConnected(kInput, 1));
    for (double v : p.seenIn[1])
        ASSERT_EQ(v, 0.0);
}

TEST_F(ProcessorBlocks, NoHostInputBusMeansSilentInputs)
{
    HostBuffers<double> in({2}, 32), out({2}, 32);
    in.Fill(0, 0, 3.0);
    Run(in, out, 32);
    p.ProcessBuffers(nullptr, 0, out.buses.data(), 1, 64, 32);
    EXPECT_EQ(p.ConnectedChannelCount(kInput), 0);
    for (double v : p.seenIn[0])
        ASSERT_EQ(v, 0.0);
}

TEST_F(ProcessorBlocks, SingleInputBusPluginConnectsOnlyBusZero)
{
    p.busCount[kInput] = 1;
    p.sidechainActive = true;
    HostBuffers<float> in({2, 2}, 16), out({2}, 16);
    Run(in, out, 16);
    EXPECT_EQ(p.ConnectedChannelCount(kInput), 2);
    EXPECT_FALSE(p.IsChannelConnected(kInput, 2));
}

TEST_F(ProcessorBlocks, LongerBlockThanAnnouncedIsSliced)
{
    HostBuffers<float> in({2}, 1200), out({2}, 1200);
    in.Fill(0, 0, 0.0);
    Run(in, out, 1200);
    EXPECT_EQ(p.frames, (std::vector<int>{512, 512, 176}));
    EXPECT_FLOAT_EQ(out.data[0][0][1199], 1199.0f + 100);
}

TEST(ProcessorNoSetup, OutputsAreSilencedBeforeTheBlockSizeIsKnown)
{
    RecordingProcessor p;
    HostBuffers<float> in({2}, 16), out({2}, 16);
    out.Fill(0, 0, 4.0);
    p.ProcessBuffers(in.buses.data(), 1, out.buses.data(), 1, 32, 16);
    EXPECT_EQ(p.blocks, 0);
    EXPECT_FLOAT_EQ(out.data[0][0][3], 0.0f);
}

// Blocks like the last reuse the connections it made. Whatever the host
// changes between two blocks, the second must come out as it does from a
// processor that never saw the first: no channel left on an old buffer, no
// slice past the scratch buffers, no output left unwritten.
struct HostBlock
{
    std::vector<int> ins, outs; // channels per host bus
    bool use64 = false;
    int frames = 64;
    std::vector<int> nullInputs = {}; // bus * 10 + channel: a channel the host sends as null
};

// A host block in both sample sizes; inputs and outputs hold distinct values.
struct TestBlock
{
    TestBlock(const HostBlock& b, double base)
        : shape(b), f32(b.ins, b.frames), f64(b.ins, b.frames), o32(b.outs, b.frames),
          o64(b.outs, b.frames)
    {
        for (size_t bus = 0; bus < b.ins.size(); ++bus)
            for (int c = 0; c < b.ins[bus]; ++c)
            {
                f32.Fill(static_cast<int>(bus), c, base + 10.0 * (4 * bus + c));
                f64.Fill(static_cast<int>(bus), c, base + 10.0 * (4 * bus + c));
            }
        for (size_t bus = 0; bus < b.outs.size(); ++bus)
            for (int c = 0; c < b.outs[bus]; ++c)
            {
                o32.Fill(static_cast<int>(bus), c, 777.0);
                o64.Fill(static_cast<int>(bus), c, 777.0);
            }
        for (int at : b.nullInputs)
        {
            f32.ptrs[at / 10][at % 10] = nullptr;
            f64.ptrs[at / 10][at % 10] = nullptr;
        }
    }
    void Run(PluginProcessor& p)
    {
        if (shape.use64)
            p.ProcessBuffers(f64.buses.data(), static_cast<int>(f64.buses.size()), o64.buses.data(),
                             static_cast<int>(o64.buses.size()), 64, shape.frames);
        else
            p.ProcessBuffers(f32.buses.data(), static_cast<int>(f32.buses.size()), o32.buses.data(),
                             static_cast<int>(o32.buses.size()), 32, shape.frames);
    }
    std::vector<std::vector<double>> Outputs() const
    {
        std::vector<std::vector<double>> result;
        for (size_t bus = 0; bus < shape.outs.size(); ++bus)
            for (int c = 0; c < shape.outs[bus]; ++c)
                result.push_back(shape.use64 ? o64.data[bus][c]
                                             : std::vector<double>(o32.data[bus][c].begin(),
                                                                   o32.data[bus][c].end()));
        return result;
    }
    HostBlock shape;
    HostBuffers<float> f32;
    HostBuffers<double> f64;
    HostBuffers<float> o32;
    HostBuffers<double> o64;
};

struct SetUpChange
{
    const char* name;
    HostBlock before, after;
    void (*prepare)(RecordingProcessor&) = nullptr; // before the first block
    void (*change)(RecordingProcessor&) = nullptr;  // between the two shapes
};

class SetUpReuse : public ::testing::TestWithParam<SetUpChange>
{
};

TEST_P(SetUpReuse, BlockAfterAChangeIsAsFromAFreshProcessor)
{
    const SetUpChange& step = GetParam();
    auto apply = [](void (*f)(RecordingProcessor&), RecordingProcessor& p)
    {
        if (f)
            f(p);
    };
    RecordingProcessor reused;
    reused.SetBlockSize(512);
    apply(step.prepare, reused);
    for (double base : {1000.0, 2000.0}) // the second block reuses the first's connections
    {
        TestBlock block(step.before, base);
        block.Run(reused);
    }
    apply(step.change, reused);
    RecordingProcessor fresh;
    fresh.SetBlockSize(512);
    apply(step.prepare, fresh);
    apply(step.change, fresh);

    // Twice: the block that makes the connections and the one that reuses them.
    for (double base : {5000.0, 6000.0})
    {
        TestBlock afterReused(step.after, base), afterFresh(step.after, base);
        const size_t slicesBefore = reused.frames.size();
        afterReused.Run(reused);
        fresh.frames.clear();
        afterFresh.Run(fresh);
        EXPECT_EQ(std::vector<int>(reused.frames.begin() + static_cast<long>(slicesBefore),
                                   reused.frames.end()),
                  fresh.frames);
        EXPECT_EQ(afterReused.Outputs(), afterFresh.Outputs()) << base;
        EXPECT_EQ(reused.seenIn, fresh.seenIn) << base;
        for (plugfw::Direction dir : {kInput, kOutput})
            for (int ch = 0; ch < reused.NChannels(dir); ++ch)
                EXPECT_EQ(reused.IsChannelConnected(dir, ch), fresh.IsChannelConnected(dir, ch))
                    << dir << " " << ch;
    }
}

const HostBlock kStereo{{2}, {2}};
const HostBlock kStereoSide{{2, 2}, {2}};

INSTANTIATE_TEST_SUITE_P(
    HostChanges, SetUpReuse,
    ::testing::Values(
        SetUpChange{"NewBuffersOnly", kStereo, kStereo},
        SetUpChange{"StereoToMono", kStereo, HostBlock{{1}, {1}}},
        SetUpChange{"MonoToStereo", HostBlock{{1}, {1}}, kStereo},
        SetUpChange{"SidechainActivated",
                    kStereoSide,
                    kStereoSide,
                    {},
                    +[](RecordingProcessor& p) { p.sidechainActive = true; }},
        SetUpChange{"SidechainDeactivated", kStereoSide, kStereoSide,
                    +[](RecordingProcessor& p) { p.sidechainActive = true; },
                    +[](RecordingProcessor& p) { p.sidechainActive = false; }},
        SetUpChange{"SidechainBusDropped", kStereoSide, kStereo,
                    +[](RecordingProcessor& p) { p.sidechainActive = true; }},
        SetUpChange{"PluginInputBusesToOne", kStereoSide, kStereoSide,
                    +[](RecordingProcessor& p) { p.sidechainActive = true; },
                    +[](RecordingProcessor& p) { p.busCount[kInput] = 1; }},
        SetUpChange{"FloatToDouble", kStereo, HostBlock{{2}, {2}, true}},
        SetUpChange{"DoubleToFloat", HostBlock{{2}, {2}, true}, kStereo},
        SetUpChange{"SmallerMaximumBlock",
                    HostBlock{{2}, {2}, false, 512},
                    HostBlock{{2}, {2}, false, 200},
                    {},
                    +[](RecordingProcessor& p) { p.SetBlockSize(64); }},
        SetUpChange{"LargerHostBlock", HostBlock{{2}, {2}, false, 64},
                    HostBlock{{2}, {2}, false, 1100}},
        SetUpChange{"SecondOutputBusAppears", kStereo, HostBlock{{2}, {2, 2}}},
        SetUpChange{"ChannelSentAsNull", kStereoSide, HostBlock{{2, 2}, {2}, false, 64, {1}},
                    +[](RecordingProcessor& p) { p.sidechainActive = true; }},
        SetUpChange{"NullChannelSentAgain", HostBlock{{2}, {2}, true, 64, {1}},
                    HostBlock{{2}, {2}, true}},
        SetUpChange{"ConnectionsResetOutside",
                    kStereo,
                    kStereo,
                    {},
                    +[](RecordingProcessor& p)
                    {
                        p.SetChannelConnections(kInput, 0, p.NChannels(kInput), false);
                        p.SetChannelConnections(kOutput, 0, p.NChannels(kOutput), false);
                    }}),
    [](const ::testing::TestParamInfo<SetUpChange>& info) { return info.param.name; });

class HostBypass : public ProcessorBlocks
{
protected:
    void SetUp() override
    {
        ProcessorBlocks::SetUp();
        p.SetBypassed(true);
    }
    // Feeds `total` samples of a ramp in blocks of `block` and returns the output.
    template <typename T> std::vector<double> RunRamp(int total, int block, int channel)
    {
        std::vector<double> result;
        for (int done = 0; done < total; done += block)
        {
            HostBuffers<T> in({2}, block), out({2}, block);
            in.Fill(0, 0, 1.0 + done);
            in.Fill(0, 1, -1.0 - done);
            Run(in, out, block);
            for (int i = 0; i < block; ++i)
                result.push_back(static_cast<double>(out.data[0][channel][i]));
        }
        return result;
    }
};

TEST_F(HostBypass, OutputIsInputExactlyLatencySamplesLate)
{
    const std::vector<double> out = RunRamp<double>(3000, 500, 0);
    // The plug-in keeps processing (its output unheard), so that ending the
    // bypass resumes from the present rather than from before it.
    EXPECT_EQ(p.blocks, 6);
    for (int i = 0; i < kLatency; ++i)
        ASSERT_EQ(out[i], 0.0) << i;
    for (int i = kLatency; i < 3000; ++i)
        ASSERT_EQ(out[i], 1.0 + (i - kLatency)) << i;
}

TEST_F(HostBypass, FloatChannelsAreDelayedAlike)
{
    const std::vector<double> out = RunRamp<float>(2000, 400, 1);
    EXPECT_EQ(out[kLatency - 1], 0.0);
    EXPECT_EQ(out[kLatency], -1.0);
    auto input = [](int k) { return -1.0 - (k / 400) * 400 + k % 400; }; // as RunRamp fills it
    for (int i = kLatency; i < 2000; ++i)
        ASSERT_EQ(out[i], input(i - kLatency)) << i;
}

TEST_F(HostBypass, InPlaceBuffersAreDelayedCorrectly)
{
    std::vector<double> left(400), right(400);
    double* ptrs[2] = {left.data(), right.data()};
    HostAudioBus bus;
    bus.numChannels = 2;
    bus.channels64 = ptrs;
    std::vector<double> out;
    for (int block = 0; block < 5; ++block)
    {
        for (int i = 0; i < 400; ++i)
            left[i] = right[i] = 1.0 + block * 400 + i;
        p.ProcessBuffers(&bus, 1, &bus, 1, 64, 400);
        out.insert(out.end(), left.begin(), left.end());
    }
    EXPECT_EQ(out[kLatency - 1], 0.0);
    EXPECT_EQ(out[kLatency], 1.0);
    EXPECT_EQ(out[1999], 1.0 + 1999 - kLatency);
}

TEST(HostBypassWithoutLatency, CopiesInputStraightThrough)
{
    RecordingProcessor p(ProcessorConfig("2-2", 0));
    p.SetBlockSize(64);
    p.SetBypassed(true);
    HostBuffers<float> in({2}, 64), out({2}, 64);
    in.Fill(0, 1, 2.0);
    p.ProcessBuffers(in.buses.data(), 1, out.buses.data(), 1, 32, 64);
    EXPECT_FLOAT_EQ(out.data[0][1][10], 12.0f);
}

TEST(HostBypassWithoutLatency, ExtraOutputsCarryTheLastInput)
{
    RecordingProcessor p(ProcessorConfig("1-2", 0));
    p.SetBlockSize(8);
    p.SetBypassed(true);
    HostBuffers<double> in({1}, 8), out({2}, 8);
    in.Fill(0, 0, 1.0);
    out.Fill(0, 1, 5.0);
    p.ProcessBuffers(in.buses.data(), 1, out.buses.data(), 1, 64, 8);
    EXPECT_EQ(out.data[0][0][3], 4.0);
    EXPECT_EQ(out.data[0][1][3], 4.0); // a mono track stays on both sides
}

} // namespace
