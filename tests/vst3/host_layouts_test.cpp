// Audio through the bundle whatever way the host brings its channel layout:
// buses activated before or after the arrangement, and hosts that send their
// own channel counts after an arrangement answered without change.
#include "bundle_fixture.h"

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

using Signal = std::vector<std::vector<double>>;
using Arranging = Instance::Arranging;

constexpr int kFrames = 3 * kLatency;

// A Self instance at full depth (output that differs from its input), or
// another role.
void AddDipping(host::ParameterChanges& changes, bool hostBypass, double role = 1.0)
{
    changes.Add(kRole, 0, role);
    changes.Add(kDepth, 0, 1.0);
    changes.Add(kSelectivity, 0, 0.0);
    if (hostBypass)
        changes.Add(kHostBypassId, 0, 1.0);
}

void ExpectDelayedCopy(const std::vector<double>& in, const std::vector<double>& out,
                       const std::string& what)
{
    ASSERT_EQ(in.size(), out.size());
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], i < kLatency ? 0.0 : in[i - kLatency]) << what << " frame " << i;
}

// ---- Activation before the arrangement -------------------------------------

struct ActivationCase
{
    const char* label;
    host::BusLayout layout;
};

class ActivatedBeforeArranging : public ::testing::TestWithParam<ActivationCase>
{
};

// Role Off passes the main input through, late by the latency, on every
// output channel; nothing is lost to buses rebuilt inactive.
TEST_P(ActivatedBeforeArranging, StaysActiveAndProcesses)
{
    const ActivationCase& c = GetParam();
    Instance plugin;
    plugin.PrepareLayout(c.layout, Arranging::ActivateThenArrange);
    const Signal in = TestSignal(c.layout.mainIn, kFrames);
    const Signal side = TestSignal(std::max(c.layout.sidechainIn, 1), kFrames, 99);
    const Signal out = plugin.Run(in, nullptr, c.layout.sidechainIn > 0 ? &side : nullptr);
    ASSERT_EQ(out.size(), static_cast<size_t>(c.layout.out));
    for (size_t ch = 0; ch < out.size(); ++ch)
        ExpectDelayedCopy(in[ch], out[ch], "output " + std::to_string(ch));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ActivatedBeforeArranging,
                         ::testing::Values(ActivationCase{"stereo", {2, 0, 2}},
                                           ActivationCase{"mono", {1, 0, 1}},
                                           ActivationCase{"mono_sidechain", {1, 1, 1}},
                                           ActivationCase{"stereo_mono_sidechain", {2, 1, 2}},
                                           ActivationCase{"stereo_sidechain", {2, 2, 2}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ActivatedBeforeArranging, RefusedArrangementKeepsTheActivation)
{
    Instance plugin;
    plugin.PrepareLayout({2, 0, 2}, Arranging::ActivateThenArrange);
    Vst::SpeakerArrangement ins[1] = {Vst::SpeakerArr::kStereo};
    Vst::SpeakerArrangement outs[1] = {Vst::SpeakerArr::kMono};
    ASSERT_EQ(plugin->Processor()->setBusArrangements(ins, 1, outs, 1), kResultFalse);
    const Signal in = TestSignal(2, kFrames);
    const Signal out = plugin.Run(in);
    ExpectDelayedCopy(in[1], out[1], "right");
}

// ---- Hosts that keep the buses and send their own channel counts -----------

struct AsIsCase
{
    const char* label;
    bool use64;
    bool inPlace;
    int sidechain; // channels of an active sidechain bus, 0 none
    bool hostBypass;
    bool stereoFirst;  // stereo blocks before the mono ones
    double role = 1.0; // normalised: 1 Self, 0 Off
};

class MonoTrackOnStereoBuses : public ::testing::TestWithParam<AsIsCase>
{
};

// A mono track in a host that answers every arrangement itself: one input
// channel arrives at the stereo buses. Both outputs carry the processed mono
// signal, the same as a plug-in arranged for mono gives.
TEST_P(MonoTrackOnStereoBuses, BothOutputsCarryTheProcessedMonoSignal)
{
    const AsIsCase& c = GetParam();
    const Signal mono = TestSignal(1, kFrames);
    const Signal side = TestSignal(std::max(c.sidechain, 1), kFrames, 5);

    Instance plugin("Ardour 8.4");
    if (c.stereoFirst)
    {
        // Role Off: after the latency the stereo material has left, and both
        // outputs must be the mono input, never the last stereo block again.
        plugin.PrepareLayout({2, 0, 2}, Arranging::SendAsIs, 256, c.use64);
        plugin.Run(TestSignal(2, kFrames, 3));
        plugin->SendLayoutAsIs({1, 0, 2});
        const Signal out = plugin.Run(mono);
        for (size_t i = kLatency; i < out[0].size(); ++i)
        {
            ASSERT_EQ(out[0][i], mono[0][i - kLatency]) << "frame " << i;
            ASSERT_EQ(out[1][i], mono[0][i - kLatency]) << "frame " << i;
        }
        return;
    }
    host::ParameterChanges changes;
    AddDipping(changes, c.hostBypass, c.role);
    plugin.PrepareLayout({1, c.sidechain, 2}, Arranging::SendAsIs, 256, c.use64);
    plugin->SetInPlace(c.inPlace);
    const Signal out = plugin.Run(mono, &changes, c.sidechain > 0 ? &side : nullptr);
    ASSERT_EQ(out.size(), 2u);

    for (size_t i = 0; i < out[0].size(); ++i)
        ASSERT_EQ(out[1][i], out[0][i]) << "frame " << i;

    Instance reference;
    host::ParameterChanges same;
    AddDipping(same, c.hostBypass, c.role);
    reference.PrepareLayout({1, 0, 1}, Arranging::ArrangeThenActivate, 256, c.use64);
    const Signal expected = reference.Run(mono, &same);
    for (size_t i = 0; i < out[0].size(); ++i)
        ASSERT_EQ(out[0][i], expected[0][i]) << "frame " << i;
    if (c.hostBypass)
        ExpectDelayedCopy(mono[0], out[1], "bypassed right");
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, MonoTrackOnStereoBuses,
    ::testing::Values(AsIsCase{"float32", false, false, 0, false, false},
                      AsIsCase{"double64", true, false, 0, false, false},
                      AsIsCase{"float32_in_place", false, true, 0, false, false},
                      AsIsCase{"double64_in_place", true, true, 0, false, false},
                      AsIsCase{"off32_in_place", false, true, 0, false, false, 0.0},
                      AsIsCase{"off64_in_place", true, true, 0, false, false, 0.0},
                      AsIsCase{"stereo_sidechain", false, false, 2, false, false},
                      AsIsCase{"mono_sidechain64", true, false, 1, false, false},
                      AsIsCase{"host_bypassed", false, false, 0, true, false},
                      AsIsCase{"host_bypassed64_in_place", true, true, 0, true, false},
                      AsIsCase{"after_stereo_blocks32", false, false, 0, false, true},
                      AsIsCase{"after_stereo_blocks64", true, false, 0, false, true}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace ostrel::test
