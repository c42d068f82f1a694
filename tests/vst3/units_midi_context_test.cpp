// Units, MIDI controller mapping and the channel context of the controller.
#include "bundle_fixture.h"

#include "plugin/ostrel.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstunits.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ostrel::test
{
namespace
{

TEST(Units, OnlyTheRootUnitAndNoProgramLists)
{
    Instance plugin;
    FUnknownPtr<IUnitInfo> units(plugin->Controller());
    ASSERT_TRUE(units);
    ASSERT_EQ(units->getUnitCount(), 1);
    UnitInfo info{};
    ASSERT_EQ(units->getUnitInfo(0, info), kResultTrue);
    EXPECT_EQ(info.id, 0);
    EXPECT_EQ(info.parentUnitId, -1);
    EXPECT_EQ(info.programListId, -1);
    EXPECT_EQ(host::FromString128(info.name), "Root");
    EXPECT_EQ(units->getProgramListCount(), 0);
    EXPECT_EQ(units->getUnitInfo(1, info), kResultFalse);
    EXPECT_EQ(units->getUnitInfo(-1, info), kResultFalse);
}

struct MidiCase
{
    int32 bus;
    int16 channel;
    CtrlNumber controller;
    bool mapped;
    ParamID id;
};

TEST(MidiMapping, ControllersOfTheFirstChannelOnly)
{
    Instance plugin;
    FUnknownPtr<IMidiMapping> mapping(plugin->Controller());
    ASSERT_TRUE(mapping);
    const MidiCase cases[] = {
        {0, 0, 7, true, 0x10009},
        {0, 0, 0, true, 0x10002},
        {0, 0, 127, true, 0x10081},
        {0, 0, kAfterTouch, true, 0x10082},
        {0, 0, kPitchBend, true, 0x10083},
        {1, 0, 7, false, 0},
        {0, 3, 7, false, 0},
        {0, -1, 7, false, 0},
        {0, 0, 130, false, 0},
        {0, 0, -1, false, 0},
    };
    for (const auto& c : cases)
    {
        ParamID id = 0xDEAD;
        const tresult r = mapping->getMidiControllerAssignment(c.bus, c.channel, c.controller, id);
        EXPECT_EQ(r, c.mapped ? kResultTrue : kResultFalse)
            << "bus " << c.bus << " channel " << c.channel << " controller " << c.controller;
        if (c.mapped)
        {
            EXPECT_EQ(id, c.id) << "controller " << c.controller;
        }
    }
}

// The instances the bundle creates are of the class this program is built
// with, so its inline accessor can read what the host's channel context left
// in the instance.
std::string TrackNameOf(Instance& plugin)
{
    auto* processor = plugin->Processor();
    auto* object = static_cast<plugfw::Vst3Plugin*>(processor);
    std::string name;
    object->TrackName(name);
    return name;
}

TEST(ChannelContextInfo, TrackNameReachesThePlugin)
{
    Instance plugin;
    EXPECT_EQ(TrackNameOf(plugin), "");
    ASSERT_EQ(SendTrackContext(plugin, u"Lead Vocal", 4), kResultTrue);
    EXPECT_EQ(TrackNameOf(plugin), "Lead Vocal");
    auto* object = static_cast<plugfw::Vst3Plugin*>(plugin->Processor());
    EXPECT_EQ(object->TrackIndex(), 4);
    int r = 0, g = 0, b = 0;
    object->TrackColour(r, g, b);
    EXPECT_EQ(r, 0x33);
    EXPECT_EQ(g, 0x66);
    EXPECT_EQ(b, 0x99);
}

TEST(ChannelContextInfo, LaterCallWithoutANameKeepsIt)
{
    Instance plugin;
    ASSERT_EQ(SendTrackContext(plugin, u"Guitars", 1), kResultTrue);
    ASSERT_EQ(SendTrackContext(plugin, nullptr, 2), kResultTrue);
    EXPECT_EQ(TrackNameOf(plugin), "Guitars");
    EXPECT_EQ(static_cast<plugfw::Vst3Plugin*>(plugin->Processor())->TrackIndex(), 2);
}

TEST(ChannelContextInfo, NonAsciiNamesAreKeptAsUtf8)
{
    Instance plugin;
    ASSERT_EQ(SendTrackContext(plugin, u"Chœur \u00e9t\u00e9 \U0001F3A4", 0), kResultTrue);
    EXPECT_EQ(TrackNameOf(plugin), "Chœur été 🎤");
}

TEST(ChannelContextInfo, NoListIsRefused)
{
    Instance plugin;
    FUnknownPtr<ChannelContext::IInfoListener> listener(plugin->Controller());
    ASSERT_TRUE(listener);
    EXPECT_EQ(listener->setChannelContextInfos(nullptr), kResultFalse);
}

} // namespace
} // namespace ostrel::test
