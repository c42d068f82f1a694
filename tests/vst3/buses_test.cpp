// Buses a host sees and the arrangements it may ask for.
#include "bundle_fixture.h"

#include "pluginterfaces/vst/vstspeaker.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ostrel::test
{
namespace
{

constexpr SpeakerArrangement kMono = SpeakerArr::kMono;
constexpr SpeakerArrangement kStereo = SpeakerArr::kStereo;

struct ExpectedBus
{
    BusDirection dir;
    int index;
    const char* name;
    int channels;
    BusType type;
    bool defaultActive;
};

class Buses : public ::testing::Test
{
protected:
    BusInfo Info(BusDirection dir, int index)
    {
        BusInfo info{};
        EXPECT_EQ(plugin->Component()->getBusInfo(kAudio, dir, index, info), kResultTrue);
        return info;
    }
    SpeakerArrangement Arrangement(BusDirection dir, int index)
    {
        SpeakerArrangement arr = 0;
        EXPECT_EQ(plugin->Processor()->getBusArrangement(dir, index, arr), kResultTrue);
        return arr;
    }
    tresult Ask(std::vector<SpeakerArrangement> ins, std::vector<SpeakerArrangement> outs)
    {
        return plugin->Processor()->setBusArrangements(ins.data(), static_cast<int32>(ins.size()),
                                                       outs.data(),
                                                       static_cast<int32>(outs.size()));
    }

    Instance plugin;
};

TEST_F(Buses, FreshInstanceShowsMainAuxAndOutput)
{
    ASSERT_EQ(plugin->Component()->getBusCount(kAudio, kInput), 2);
    ASSERT_EQ(plugin->Component()->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(plugin->Component()->getBusCount(kEvent, kInput), 0);
    const ExpectedBus expected[] = {
        {kInput, 0, "Main", 2, kMain, true},
        {kInput, 1, "Aux", 2, kAux, false},
        {kOutput, 0, "Output", 2, kMain, true},
    };
    for (const auto& e : expected)
    {
        const BusInfo info = Info(e.dir, e.index);
        EXPECT_EQ(host::FromString128(info.name), e.name);
        EXPECT_EQ(info.channelCount, e.channels) << e.name;
        EXPECT_EQ(info.busType, e.type) << e.name;
        EXPECT_EQ((info.flags & BusInfo::kDefaultActive) != 0, e.defaultActive) << e.name;
        EXPECT_EQ(Arrangement(e.dir, e.index), kStereo) << e.name;
    }
    BusInfo info{};
    EXPECT_EQ(plugin->Component()->getBusInfo(kAudio, kInput, 2, info), kInvalidArgument);
    SpeakerArrangement arr = 0;
    EXPECT_EQ(plugin->Processor()->getBusArrangement(kOutput, 1, arr), kInvalidArgument);
}

struct ArrangementCase
{
    const char* label;
    std::vector<SpeakerArrangement> ins;
    std::vector<SpeakerArrangement> outs;
    tresult expected;
};

class BusArrangements : public Buses, public ::testing::WithParamInterface<ArrangementCase>
{
};

TEST_P(BusArrangements, MatchOnlyTheAcceptedLayouts)
{
    const ArrangementCase& c = GetParam();
    EXPECT_EQ(Ask(c.ins, c.outs), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BusArrangements,
    ::testing::Values(
        ArrangementCase{"2-2", {kStereo}, {kStereo}, kResultTrue},
        ArrangementCase{"1-1", {kMono}, {kMono}, kResultTrue},
        ArrangementCase{"1.1-1", {kMono, kMono}, {kMono}, kResultTrue},
        ArrangementCase{"2.1-2", {kStereo, kMono}, {kStereo}, kResultTrue},
        ArrangementCase{"2.2-2", {kStereo, kStereo}, {kStereo}, kResultTrue},
        ArrangementCase{"three inputs", {kStereo, kStereo, kStereo}, {kStereo}, kResultFalse},
        ArrangementCase{"stereo in, mono out", {kStereo}, {kMono}, kResultFalse},
        ArrangementCase{"mono in, stereo out", {kMono}, {kStereo}, kResultFalse},
        ArrangementCase{"1.2-1", {kMono, kStereo}, {kMono}, kResultFalse},
        ArrangementCase{"two outputs", {kStereo}, {kStereo, kStereo}, kResultFalse},
        ArrangementCase{"5.1 in and out", {SpeakerArr::k51}, {SpeakerArr::k51}, kResultFalse}),
    [](const ::testing::TestParamInfo<ArrangementCase>& info)
    {
        std::string name;
        for (char c : std::string(info.param.label))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST_F(Buses, AcceptedArrangementRebuildsTheBuses)
{
    ASSERT_EQ(Ask({kMono, kMono}, {kMono}), kResultTrue);
    ASSERT_EQ(plugin->Component()->getBusCount(kAudio, kInput), 2);
    EXPECT_EQ(Arrangement(kInput, 0), kMono);
    EXPECT_EQ(Arrangement(kInput, 1), kMono);
    EXPECT_EQ(Arrangement(kOutput, 0), kMono);
    EXPECT_EQ(host::FromString128(Info(kInput, 1).name), "Aux");

    ASSERT_EQ(Ask({kStereo}, {kStereo}), kResultTrue);
    EXPECT_EQ(plugin->Component()->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(host::FromString128(Info(kInput, 0).name), "Input");
}

TEST_F(Buses, RefusedArrangementKeepsTheBuses)
{
    ASSERT_EQ(Ask({kStereo}, {kMono}), kResultFalse);
    EXPECT_EQ(plugin->Component()->getBusCount(kAudio, kInput), 2);
    EXPECT_EQ(Arrangement(kInput, 0), kStereo);
    EXPECT_EQ(Arrangement(kOutput, 0), kStereo);
}

TEST_F(Buses, ActivationOnlyForExistingBuses)
{
    EXPECT_EQ(plugin->Component()->activateBus(kAudio, kInput, 1, true), kResultTrue);
    EXPECT_EQ(plugin->Component()->activateBus(kAudio, kInput, 1, false), kResultTrue);
    EXPECT_EQ(plugin->Component()->activateBus(kAudio, kInput, 2, true), kInvalidArgument);
    EXPECT_EQ(plugin->Component()->activateBus(kEvent, kInput, 0, true), kInvalidArgument);
}

TEST(BusesUnderArdour, EveryArrangementIsAcceptedAndNothingChanges)
{
    for (const char* hostName : {"Ardour", "ARDOUR 8.4", "Harrison Mixbus 10"})
    {
        Instance plugin(hostName);
        std::vector<SpeakerArrangement> ins = {kStereo, kStereo, kStereo};
        std::vector<SpeakerArrangement> outs = {kMono};
        EXPECT_EQ(plugin->Processor()->setBusArrangements(ins.data(), 3, outs.data(), 1), kResultOk)
            << hostName;
        ASSERT_EQ(plugin->Component()->getBusCount(kAudio, kInput), 2) << hostName;
        SpeakerArrangement arr = 0;
        plugin->Processor()->getBusArrangement(kOutput, 0, arr);
        EXPECT_EQ(arr, kStereo) << hostName;
    }
}

} // namespace
} // namespace ostrel::test
