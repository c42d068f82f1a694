// Audio through the bundle whatever way the host brings its channel layout:
// buses activated before or after the arrangement.
#include "bundle_fixture.h"

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

using Signal = std::vector<std::vector<double>>;
using Arranging = Instance::Arranging;

constexpr int kFrames = 3 * kLatency;

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

} // namespace
} // namespace ostrel::test
