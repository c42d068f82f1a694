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

} // namespace
} // namespace ostrel::test
