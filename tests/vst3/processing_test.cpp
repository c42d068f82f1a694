// Audio through the bundle: latency, the two kinds of bypass, and how
// parameter changes that arrive with a block are applied.
#include "bundle_fixture.h"

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

constexpr int kFrames = 4 * kLatency;

// Output equals the input delayed by exactly `delay` samples (zeros first).
void ExpectDelayedCopy(const std::vector<std::vector<double>>& in,
                       const std::vector<std::vector<double>>& out, int delay)
{
    for (size_t c = 0; c < in.size(); ++c)
    {
        for (int i = 0; i < delay; ++i)
            ASSERT_EQ(out[c][static_cast<size_t>(i)], 0.0) << "channel " << c << " frame " << i;
        for (size_t i = static_cast<size_t>(delay); i < out[c].size(); ++i)
            ASSERT_EQ(out[c][i], in[c][i - static_cast<size_t>(delay)])
                << "channel " << c << " frame " << i;
    }
}

TEST(Processing, ReportsTheLatencyAndNoTail)
{
    Instance plugin;
    EXPECT_EQ(plugin->Processor()->getLatencySamples(), static_cast<uint32>(kLatency));
    EXPECT_EQ(plugin->Processor()->getTailSamples(), 0u);
    EXPECT_EQ(plugin->Processor()->canProcessSampleSize(Vst::kSample32), kResultTrue);
    EXPECT_EQ(plugin->Processor()->canProcessSampleSize(Vst::kSample64), kResultTrue);
    EXPECT_EQ(plugin->Processor()->canProcessSampleSize(7), kResultFalse);
    Vst::ProcessSetup odd{Vst::kRealtime, 7, 256, 48000.0};
    EXPECT_EQ(plugin->Processor()->setupProcessing(odd), kResultFalse);
}

struct BypassCase
{
    const char* label;
    bool use64;
    bool hostBypass; // else the plug-in's own Bypass parameter
    int block;
};

class Bypass : public ::testing::TestWithParam<BypassCase>
{
};

// An active Self instance at full depth would change the signal; both
// bypasses must hand it back untouched, only late by the latency.
TEST_P(Bypass, GivesTheInputDelayedByTheLatencyExactly)
{
    const BypassCase& c = GetParam();
    Instance plugin;
    plugin.Prepare(2, c.block, c.use64);
    host::ParameterChanges changes;
    changes.Add(kRole, 0, 1.0);  // Self
    changes.Add(kDepth, 0, 1.0); // 100 %
    changes.Add(kSelectivity, 0, 0.0);
    if (c.hostBypass)
        changes.Add(kHostBypassId, 0, 1.0);
    else
        changes.Add(kBypass, 0, 1.0);
    const auto in = TestSignal(2, kFrames);
    ExpectDelayedCopy(in, plugin.Run(in, &changes), kLatency);
}

INSTANTIATE_TEST_SUITE_P(Modes, Bypass,
                         ::testing::Values(BypassCase{"host32", false, true, 256},
                                           BypassCase{"host64", true, true, 256},
                                           BypassCase{"param32", false, false, 500},
                                           BypassCase{"param64", true, false, 1024},
                                           BypassCase{"host64_odd_block", true, true, 333}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Processing, HostBypassNeedsMoreThanHalf)
{
    Instance plugin;
    plugin.Prepare();
    const auto in = TestSignal(2, 512);
    host::ParameterChanges changes;
    changes.Add(kHostBypassId, 0, 0.5);
    plugin.Run(in, &changes);
    EXPECT_EQ(Int32At(plugin.GetState(), 216), 0);
    changes.Clear();
    changes.Add(kHostBypassId, 0, 0.51);
    plugin.Run(in, &changes);
    EXPECT_EQ(Int32At(plugin.GetState(), 216), 1);
}

TEST(Processing, OnlyTheLastPointOfAQueueIsApplied)
{
    Instance plugin;
    plugin.Prepare();
    host::ParameterChanges changes;
    changes.Add(kDepth, 10, 0.9);
    changes.Add(kDepth, 200, 0.25);
    changes.Add(kPriority, 0, 0.0);
    changes.Add(kPriority, 100, 1.0);
    plugin.Run(TestSignal(2, 256), &changes);
    const std::vector<uint8_t> state = plugin.GetState();
    EXPECT_EQ(DoubleAt(state, 8 * kDepth), 25.0);
    EXPECT_EQ(DoubleAt(state, 8 * kPriority), 8.0);
}

TEST(Processing, ChangesForUnknownIdsAreIgnored)
{
    Instance plugin;
    plugin.Prepare();
    host::ParameterChanges changes;
    changes.Add(27, 0, 1.0);
    changes.Add(0xFFFF, 0, 1.0);
    changes.Add(0x10001, 0, 1.0);
    changes.Add(0x10002 + 7, 0, 0.5); // a MIDI controller id, no MIDI input here
    const auto in = TestSignal(2, 2 * kLatency);
    ExpectDelayedCopy(in, plugin.Run(in, &changes), kLatency);
    EXPECT_EQ(plugin.GetState().size(), 220u);
}

TEST(Processing, BlocksWithoutAudioOrContextAreHarmless)
{
    Instance plugin;
    plugin.Prepare();
    plugin->SetSendContext(false);
    // A parameter-only block (no frames) as hosts send to flush changes.
    host::ParameterChanges changes;
    changes.Add(kDepth, 0, 0.5);
    EXPECT_EQ(plugin->Process(nullptr, nullptr, nullptr, 0, &changes), kResultOk);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 50.0);
    const auto in = TestSignal(2, 2 * kLatency);
    ExpectDelayedCopy(in, plugin.Run(in), kLatency);
}

TEST(Processing, MonoLayoutPassesThroughWithTheSameLatency)
{
    Instance plugin;
    plugin.Prepare(1, 128);
    const auto in = TestSignal(1, 3 * kLatency);
    ExpectDelayedCopy(in, plugin.Run(in), kLatency);
}

} // namespace
} // namespace ostrel::test
