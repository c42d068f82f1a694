// Instances of the bundle taking slots that earlier instances held: nothing
// asked of the earlier holder reaches the new one, and the names the matrix
// shows follow the host's track names at once.
#include "bundle_fixture.h"

#include "link/link_matrix.h"
#include "plugin/ostrel.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ostrel::test
{
namespace
{

constexpr double kMaskerRole = 2.0 / 3.0;
constexpr double kSourceRole = 1.0 / 3.0;

// The bundle's own registry (not the one of this test program).
PeerRegistry& RegistryOf(Instance& plugin)
{
    return *PluginObject(plugin).Engine().handover().idleSide().lease.registry;
}

std::string NameIn(PeerRegistry& registry, int slot)
{
    char text[kPeerNameBytes];
    readName(registry.slots[slot], text);
    return text;
}

void SendTrackName(Instance& plugin, const std::u16string& name)
{
    ASSERT_EQ(SendTrackContext(plugin, name.c_str()), kResultTrue);
}

// Prepares the instance with a role (and channel) and runs `frames` of audio,
// so that it claims its slot; returns the slot.
int Start(Instance& plugin, double role, int channel, int frames = 4096)
{
    plugin.Prepare();
    host::ParameterChanges changes;
    changes.Add(kRole, 0, role);
    changes.Add(kChannel, 0, (channel - 1) / 63.0);
    plugin.Run(TestSignal(2, frames), &changes);
    return PluginObject(plugin).Engine().handover().idleSide().link.slotIndex.load();
}

bool HostSawEdit(Instance& plugin, ParamID id)
{
    for (const auto& r : plugin.Handler().Records())
        if (r.id == id && r.call == host::ComponentHandler::Call::Perform)
            return true;
    return false;
}

TEST(LinkTenure, FreshMaskerTakesNothingLeftForAnEarlierInstance)
{
    int slot = -1;
    {
        Instance earlier;
        slot = Start(earlier, kMaskerRole, 3);
        ASSERT_GE(slot, 0);
        PeerRegistry& registry = RegistryOf(earlier);
        applyMatrixEdit(registry, slot + 1, 80.0, MatrixEdit::Depth);
        applyMatrixEdit(registry, slot + 1, 1.0, MatrixEdit::Mute);
        setSolo(registry, slot + 1);
        earlier.Run(TestSignal(2, 4096));
        ASSERT_DOUBLE_EQ(earlier->Controller()->getParamNormalized(kDepth), 0.8)
            << "the holder applies what is asked of it";
    }

    Instance fresh;
    ASSERT_EQ(Start(fresh, kMaskerRole, 3), slot) << "the free search finds the same slot";
    fresh.Run(TestSignal(2, 8192)); // several idle ticks
    EXPECT_DOUBLE_EQ(fresh->Controller()->getParamNormalized(kDepth), 0.0);
    EXPECT_FALSE(HostSawEdit(fresh, kDepth)) << "no edit is recorded for the user";
    PeerRegistry& registry = RegistryOf(fresh);
    EXPECT_EQ(registry.slots[slot].mute.load(), 0);
    EXPECT_EQ(registry.header.soloIndex.load(), -1);
}

TEST(LinkTenure, RenamedTrackIsPublishedAtOnce)
{
    Instance source;
    SendTrackName(source, u"Drums");
    const int slot = Start(source, kSourceRole, 9);
    ASSERT_EQ(slot, 8);
    PeerRegistry& registry = RegistryOf(source);
    EXPECT_EQ(NameIn(registry, slot), "Drums");
    SendTrackName(source, u"Drum Bus");
    EXPECT_EQ(NameIn(registry, slot), "Drum Bus") << "without waiting for a tick";
    SendTrackName(source, u"");
    EXPECT_EQ(NameIn(registry, slot), "");
}

struct NextHolderCase
{
    const char* label;
    std::u16string name;
    const char* shown;
};

class NextHolder : public ::testing::TestWithParam<NextHolderCase>
{
};

TEST_P(NextHolder, ShowsItsOwnNameFromItsFirstTick)
{
    const NextHolderCase& c = GetParam();
    {
        Instance earlier;
        SendTrackName(earlier, u"Old Track");
        ASSERT_EQ(Start(earlier, kSourceRole, 10), 9);
        ASSERT_EQ(NameIn(RegistryOf(earlier), 9), "Old Track");
    }
    Instance next;
    if (!c.name.empty())
        SendTrackName(next, c.name);
    ASSERT_EQ(Start(next, kSourceRole, 10, 64), 9); // one short block: the claim
    next.Context().RunLoop().Advance(20.0);         // one tick
    EXPECT_EQ(NameIn(RegistryOf(next), 9), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Names, NextHolder,
                         ::testing::Values(NextHolderCase{"named", u"Bass", "Bass"},
                                           NextHolderCase{"unnamed", u"", ""}),
                         [](const auto& info) { return std::string(info.param.label); });

// Two Sources and their Maskers, each named by the host at another moment
// (before the instance is prepared, after, once its audio runs), some only
// once: every row, in every instance's view of the registry, carries its own
// track's name; so does a renamed track and a Source that moves channel.
enum class NamedWhen
{
    BeforePrepare,
    AfterPrepare,
    WhilePlaying,
};

class EveryRowItsOwnName : public ::testing::TestWithParam<NamedWhen>
{
};

TEST_P(EveryRowItsOwnName, InEveryInstancesView)
{
    struct Track
    {
        std::u16string name;
        const char* utf8;
        double role;
        int channel;
    };
    Track tracks[] = {
        {u"Lead Vocal", "Lead Vocal", kSourceRole, 1},
        {u"Backing Vocals", "Backing Vocals", kSourceRole, 2},
        {u"Guitar", "Guitar", kMaskerRole, 1},
        {u"Keys", "Keys", kMaskerRole, 2},
        {u"Pad", "Pad", kMaskerRole, 2},
    };
    Instance instances[std::size(tracks)];
    int slots[std::size(tracks)] = {};
    for (size_t i = 0; i < std::size(tracks); ++i)
    {
        Instance& plugin = instances[i];
        if (GetParam() == NamedWhen::BeforePrepare)
            SendTrackName(plugin, tracks[i].name);
        plugin.Prepare();
        if (GetParam() == NamedWhen::AfterPrepare)
            SendTrackName(plugin, tracks[i].name);
        host::ParameterChanges changes;
        changes.Add(kRole, 0, tracks[i].role);
        changes.Add(kChannel, 0, (tracks[i].channel - 1) / 63.0);
        plugin.Run(TestSignal(2, 1024), &changes);
        if (GetParam() == NamedWhen::WhilePlaying)
            SendTrackName(plugin, tracks[i].name);
    }
    for (Instance& plugin : instances)
        plugin.Run(TestSignal(2, 4096)); // idle ticks of every instance
    for (size_t i = 0; i < std::size(tracks); ++i)
    {
        slots[i] = PluginObject(instances[i]).Engine().handover().idleSide().link.slotIndex.load();
        ASSERT_GE(slots[i], 0) << tracks[i].utf8;
    }
    auto expectNames = [&](const char* when)
    {
        for (Instance& viewer : instances)
            for (size_t i = 0; i < std::size(tracks); ++i)
                EXPECT_EQ(NameIn(RegistryOf(viewer), slots[i]), tracks[i].utf8)
                    << when << ": the row of " << tracks[i].utf8;
    };
    expectNames("named");

    // A renamed track, and a Source that moves to another channel (slot).
    SendTrackName(instances[1], u"Choir");
    host::ParameterChanges move;
    move.Add(kChannel, 0, (5 - 1) / 63.0);
    instances[1].Run(TestSignal(2, 1024), &move);
    for (Instance& plugin : instances)
        plugin.Run(TestSignal(2, 4096));
    slots[1] = PluginObject(instances[1]).Engine().handover().idleSide().link.slotIndex.load();
    ASSERT_EQ(slots[1], 4);
    tracks[1].utf8 = "Choir";
    expectNames("renamed and moved");
}

INSTANTIATE_TEST_SUITE_P(Moments, EveryRowItsOwnName,
                         ::testing::Values(NamedWhen::BeforePrepare, NamedWhen::AfterPrepare,
                                           NamedWhen::WhilePlaying),
                         [](const auto& info)
                         {
                             switch (info.param)
                             {
                             case NamedWhen::BeforePrepare:
                                 return std::string("BeforePrepare");
                             case NamedWhen::AfterPrepare:
                                 return std::string("AfterPrepare");
                             default:
                                 return std::string("WhilePlaying");
                             }
                         });

} // namespace
} // namespace ostrel::test
