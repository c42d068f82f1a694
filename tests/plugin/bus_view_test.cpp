// The buses as a block reads them follow every change the host makes to
// them: made at initialize, (de)activated, rearranged, removed at terminate.
#include "plugin/ostrel.h"

#include "pluginterfaces/vst/vstspeaker.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{

using namespace Steinberg;
using plugfw::kInput;
using plugfw::kOutput;

struct Step
{
    std::string what;
    std::function<void(ostrel::Ostrel&)> act;
    int inputBuses;
    bool sidechainActive;
    bool mainActive;
    bool outputActive;
};

void Arrange(ostrel::Ostrel& p, std::vector<Vst::SpeakerArrangement> ins)
{
    Vst::SpeakerArrangement out = Vst::SpeakerArr::kStereo;
    ASSERT_EQ(p.setBusArrangements(ins.data(), static_cast<int32>(ins.size()), &out, 1), kResultOk);
}

TEST(BusView, FollowsEveryHostChangeToTheBuses)
{
    constexpr Vst::SpeakerArrangement kStereo = Vst::SpeakerArr::kStereo;
    const std::vector<Step> steps = {
        // Made inactive: the host activates what it uses.
        {"initialize", [](ostrel::Ostrel& p) { p.initialize(nullptr); }, 2, false, false, false},
        {"output on", [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kOutput, 0, true); },
         2, false, false, true},
        {"main on", [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 0, true); }, 2,
         false, true, true},
        {"sidechain on",
         [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 1, true); }, 2, true, true,
         true},
        {"main off", [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 0, false); },
         2, true, false, true},
        {"main on again",
         [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 0, true); }, 2, true, true,
         true},
        {"main alone", [kStereo](ostrel::Ostrel& p) { Arrange(p, {kStereo}); }, 1, false, true,
         true},
        {"sidechain back",
         [kStereo](ostrel::Ostrel& p) {
             Arrange(p, {kStereo, kStereo});
         },
         2, false, true, true},
        {"sidechain on after it",
         [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 1, true); }, 2, true, true,
         true},
        {"kept through a rearrangement",
         [kStereo](ostrel::Ostrel& p) {
             Arrange(p, {kStereo, kStereo});
         },
         2, true, true, true},
        {"sidechain off",
         [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kInput, 1, false); }, 2, false,
         true, true},
        {"output off",
         [](ostrel::Ostrel& p) { p.activateBus(Vst::kAudio, Vst::kOutput, 0, false); }, 2, false,
         true, false},
        // Without buses the configured layouts apply: two input buses, the
        // main ones active.
        {"terminate", [](ostrel::Ostrel& p) { p.terminate(); }, 2, false, true, true},
    };
    auto* plugin = new ostrel::Ostrel();
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.what);
        step.act(*plugin);
        EXPECT_EQ(plugin->PluginBusCount(kInput), step.inputBuses);
        EXPECT_EQ(plugin->PluginBusCount(kOutput), 1);
        EXPECT_EQ(plugin->IsPluginBusActive(kInput, 0), step.mainActive);
        EXPECT_EQ(plugin->IsPluginBusActive(kInput, 1), step.sidechainActive);
        EXPECT_FALSE(plugin->IsPluginBusActive(kInput, 2));
        EXPECT_FALSE(plugin->IsPluginBusActive(kInput, -1));
        EXPECT_EQ(plugin->IsPluginBusActive(kOutput, 0), step.outputActive);
        EXPECT_FALSE(plugin->IsPluginBusActive(kOutput, 1));
        // The block's one-call view agrees with the bus-by-bus answers.
        for (int hostOutputBuses : {0, 1, 2})
            EXPECT_TRUE(plugin->ArrangedBusesForBlock(hostOutputBuses) ==
                        plugin->PluginProcessor::ArrangedBusesForBlock(hostOutputBuses))
                << hostOutputBuses;
    }
    plugin->release();
}

} // namespace
