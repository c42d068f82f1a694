// Audio through the bundle: latency, the two kinds of bypass, and how
// parameter changes that arrive with a block are applied.
#include "bundle_fixture.h"

#include "plugin/ostrel.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

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

// Hosts reading automation send the same value in block after block: each
// block leaves the parameter and the engine at the host's value, also when
// something else moved the parameter since the host last sent it.
struct ResendCase
{
    const char* name;
    // What moves Depth between the host's two sends, from 25 % to 80 %.
    void (*between)(Instance&);
};

class HostResendsAValue : public ::testing::TestWithParam<ResendCase>
{
};

TEST_P(HostResendsAValue, TheParameterAndTheEngineTakeItAgain)
{
    Instance plugin;
    plugin.Prepare();
    host::ParameterChanges changes;
    changes.Add(kDepth, 0, 0.25);
    plugin.Run(TestSignal(2, 256), &changes);
    const DepthDb taken = PluginObject(plugin).Engine().settings().depth();
    GetParam().between(plugin);
    plugin.Run(TestSignal(2, 256), &changes);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 25.0);
    const DepthDb again = PluginObject(plugin).Engine().settings().depth();
    EXPECT_EQ(again.scaleDb, taken.scaleDb);
    EXPECT_EQ(again.biasDb, taken.biasDb);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, HostResendsAValue,
    ::testing::Values(ResendCase{"Nothing", [](Instance&) {}},
                      ResendCase{"StateRestore",
                                 [](Instance& plugin)
                                 {
                                     std::vector<uint8_t> state = plugin.GetState();
                                     const double depth = 80.0;
                                     std::memcpy(state.data() + 8 * kDepth, &depth, sizeof depth);
                                     ASSERT_EQ(plugin.SetState(state), kResultOk);
                                     ASSERT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 80.0);
                                 }},
                      ResendCase{"EditorEdit",
                                 [](Instance& plugin)
                                 {
                                     PluginObject(plugin).SetParamFromEditor(kDepth, 0.8);
                                     ASSERT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 80.0);
                                 }}),
    [](const ::testing::TestParamInfo<ResendCase>& info) { return std::string(info.param.name); });

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

// While the host's bypass is off, a stereo instance's input is kept by the
// engine alone and the bypass takes it from there when it engages: after any
// history of roles, block sizes and bypass switches, an engaged bypass must
// give the input late by exactly the latency once its 5 ms fade is over, and
// an instance that has been Off throughout must do so all the time.
struct BypassHistoryCase
{
    const char* label;
    std::vector<int> roles; // per phase: 0 Off, 1 Source, 2 Masker, 3 Self
    bool use64;
    bool inPlace;
};

class BypassHistory : public ::testing::TestWithParam<BypassHistoryCase>
{
};

TEST_P(BypassHistory, EngagedBypassGivesTheInputLateByTheLatency)
{
    const BypassHistoryCase& c = GetParam();
    constexpr int kFade = 240;
    // Bypass off, on, off shorter than the latency, on, off long, on.
    const std::vector<std::pair<bool, int>> phases = {{false, 12000}, {true, 3000},   {false, 700},
                                                      {true, 3000},   {false, 20000}, {true, 3000}};
    const std::vector<int> blocks = {1, 64, 333, 8192, 7, 512, 4096, 2, 1000};
    int frames = 0;
    for (const auto& phase : phases)
        frames += phase.second;

    Instance plugin;
    plugin.Prepare(2, 8192, c.use64);
    plugin->SetInPlace(c.inPlace);
    const auto in = TestSignal(2, frames);
    std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames)));
    int start = 0;
    size_t nextBlock = 0;
    bool offThroughout = true;
    for (size_t p = 0; p < phases.size(); ++p)
    {
        const int role = c.roles[p % c.roles.size()];
        offThroughout = offThroughout && role == 0;
        host::ParameterChanges changes;
        changes.Add(kHostBypassId, 0, phases[p].first ? 1.0 : 0.0);
        changes.Add(kRole, 0, role / 3.0);
        changes.Add(kDepth, 0, 1.0);
        changes.Add(kSelectivity, 0, 0.0);
        const int end = start + phases[p].second;
        for (int t = start; t < end;)
        {
            const int n = std::min(blocks[nextBlock++ % blocks.size()], end - t);
            const double* ins[2] = {in[0].data() + t, in[1].data() + t};
            double* outs[2] = {out[0].data() + t, out[1].data() + t};
            ASSERT_EQ(plugin->Process(ins, nullptr, outs, n, t == start ? &changes : nullptr),
                      kResultOk);
            t += n;
        }
        const int checkFrom = offThroughout ? start : phases[p].first ? start + kFade : end;
        for (size_t ch = 0; ch < 2; ++ch)
            for (int t = checkFrom; t < end; ++t)
            {
                const double expected =
                    t >= kLatency ? in[ch][static_cast<size_t>(t - kLatency)] : 0.0;
                ASSERT_EQ(out[ch][static_cast<size_t>(t)], expected)
                    << "phase " << p << " channel " << ch << " frame " << t;
            }
        start = end;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roles, BypassHistory,
    ::testing::Values(BypassHistoryCase{"off32", {0}, false, false},
                      BypassHistoryCase{"off64", {0}, true, false},
                      BypassHistoryCase{"off64_in_place", {0}, true, true},
                      BypassHistoryCase{"source32", {1}, false, false},
                      BypassHistoryCase{"self64", {3}, true, false},
                      BypassHistoryCase{"off_masker_off32", {0, 2, 0, 2, 0, 0}, false, false},
                      BypassHistoryCase{"masker_off_self64_in_place", {2, 0, 3}, true, true}),
    [](const auto& info) { return std::string(info.param.label); });

// A settled Off instance stays a sample-exact delay whatever the host does
// around it: blocks of every size from 1 to 8192 frames, changes to
// parameters that do not wake it (or resend its own values), non-finite
// samples (silence where they went in), one channel or two, in place or not.
struct SettledOffCase
{
    const char* label;
    int channels;
    bool use64;
    bool inPlace;
};

class SettledOff : public ::testing::TestWithParam<SettledOffCase>
{
};

TEST_P(SettledOff, StaysTheInputLateByTheLatencyThroughBlocksAndChanges)
{
    const SettledOffCase& c = GetParam();
    const std::vector<int> blocks = {1, 64, 333, 8192, 7, 512, 4096, 2, 1000, 31, 64, 64};
    constexpr int kFramesRun = 60000;
    Instance plugin;
    plugin.Prepare(c.channels, 8192, c.use64);
    plugin->SetInPlace(c.inPlace);
    auto in = TestSignal(c.channels, kFramesRun);
    in[0][20000] = std::numeric_limits<double>::quiet_NaN();
    in[0][30001] = std::numeric_limits<double>::infinity();
    in[static_cast<size_t>(c.channels - 1)][45000] = -std::numeric_limits<double>::infinity();
    std::vector<std::vector<double>> out(static_cast<size_t>(c.channels),
                                         std::vector<double>(kFramesRun));
    size_t b = 0;
    for (int t = 0; t < kFramesRun; ++b)
    {
        const int n = std::min(blocks[b % blocks.size()], kFramesRun - t);
        host::ParameterChanges changes;
        switch (b % 5)
        {
        case 1: // what a host reading automation resends
            changes.Add(kRole, 0, 0.0);
            changes.Add(kDepth, n - 1, 0.0);
            break;
        case 2: // settings an Off instance does not use
            changes.Add(kDepth, 0, b % 2 ? 0.3 : 0.6);
            changes.Add(kBell1Active, n - 1, b % 2 ? 1.0 : 0.0);
            changes.Add(kChannel, 0, static_cast<double>(b % 7) / 63.0);
            break;
        case 3:
            changes.Add(kSidechain, 0, b % 2 ? 1.0 : 0.0);
            changes.Add(kListen, 0, b % 2 ? 1.0 : 0.0);
            break;
        default:
            break;
        }
        std::vector<const double*> ins;
        std::vector<double*> outs;
        for (size_t ch = 0; ch < out.size(); ++ch)
        {
            ins.push_back(in[ch].data() + t);
            outs.push_back(out[ch].data() + t);
        }
        ASSERT_EQ(plugin->Process(ins.data(), nullptr, outs.data(), n, &changes), kResultOk);
        t += n;
    }
    for (size_t ch = 0; ch < out.size(); ++ch)
        for (int t = 0; t < kFramesRun; ++t)
        {
            const double sent = t >= kLatency ? in[ch][static_cast<size_t>(t - kLatency)] : 0.0;
            ASSERT_EQ(out[ch][static_cast<size_t>(t)], std::isfinite(sent) ? sent : 0.0)
                << "channel " << ch << " frame " << t;
        }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SettledOff,
                         ::testing::Values(SettledOffCase{"stereo32", 2, false, false},
                                           SettledOffCase{"stereo64", 2, true, false},
                                           SettledOffCase{"stereo64_in_place", 2, true, true},
                                           SettledOffCase{"mono32", 1, false, false},
                                           SettledOffCase{"mono64_in_place", 1, true, true}),
                         [](const auto& info) { return std::string(info.param.label); });

// A settled instance that the host stops and prepares again answers like a
// fresh one: nothing it held before comes out again.
TEST(Processing, ASettledInstancePreparedAgainAnswersLikeAFreshOne)
{
    Instance settled;
    settled.Prepare(2, 64);
    settled.Run(TestSignal(2, 20000, 3));
    settled->Stop();
    settled.Prepare(2, 64);
    Instance fresh;
    fresh.Prepare(2, 64);
    const auto in = TestSignal(2, 3 * kLatency, 4);
    EXPECT_EQ(settled.Run(in), fresh.Run(in));
}

} // namespace
} // namespace ostrel::test
