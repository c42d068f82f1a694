// The link matrix seen through several instances in one process: rows and
// targets, edits from one instance's page applied by the holder of the slot,
// mute and solo.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "link/monotonic_clock.h"
#include "link/peer_registry.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using Strings = std::vector<std::string>;

class LinkMatrix : public OstrelPageTest
{
protected:
    // An instance with Role and Channel set; two idle ticks without audio
    // attach it to the registry.
    RecordingOstrel& Instance(int role, int channel)
    {
        RecordingOstrel& p = NewInstance();
        p.SetPlain(kParamRole, role);
        p.SetPlain(kParamChannel, channel);
        p.Ticks(2);
        p.host.clear();
        return p;
    }

    static nlohmann::json LastMatrix(RecordingOstrel& p)
    {
        const auto matrices = p.web->MessagesWithTag(kTagMatrix);
        EXPECT_FALSE(matrices.empty());
        return matrices.empty() ? nlohmann::json() : nlohmann::json::parse(matrices.back().text);
    }

    static PeerSlot& Slot(int channelNumber) { return sharedRegistry().slots[channelNumber - 1]; }
};

TEST_F(LinkMatrix, TwoMaskersOfOneSourceAreRowsTargetingIt)
{
    RecordingOstrel& source = Instance(1, 3);
    RecordingOstrel& masker1 = Instance(2, 3);
    RecordingOstrel& masker2 = Instance(2, 3);
    ASSERT_EQ(source.Engine().handover().idleSide().link.slotIndex.load(), 2);
    const int s1 = masker1.Engine().handover().idleSide().link.slotIndex.load();
    const int s2 = masker2.Engine().handover().idleSide().link.slotIndex.load();
    ASSERT_GE(s1, 0);
    ASSERT_GE(s2, 0);
    masker1.SetPlain(kParamDepth, 37.6);

    source.OpenEditor();
    for (int t = 0; t < 8; ++t)
    {
        masker1.Ticks(1);
        masker2.Ticks(1);
        source.Ticks(1);
    }
    const auto m = LastMatrix(source);
    ASSERT_EQ(m["slots"].size(), 3u) << m.dump();
    std::vector<int> channels;
    for (const auto& row : m["slots"])
    {
        channels.push_back(row["ch"]);
        if (row["role"] == 2)
        {
            EXPECT_EQ(row["target"], 3);
            EXPECT_EQ(row["depth"], row["ch"] == s1 + 1 ? 38 : 0);
        }
    }
    EXPECT_EQ(channels.front(), 3);
    EXPECT_EQ(m["diag"]["src"], 1);
    EXPECT_EQ(m["diag"]["msk"], 2);
    EXPECT_EQ(m["diag"]["my"], 2);

    const auto sources = source.web->MessagesWithTag(kTagSources);
    ASSERT_FALSE(sources.empty());
    EXPECT_EQ(sources.back().text, "{\"t\":\"sources\",\"list\":[{\"ch\":3,\"name\":\"\"}]}");
}

TEST_F(LinkMatrix, PriorityEditFromAnotherPageIsAppliedByTheHolder)
{
    RecordingOstrel& source = Instance(1, 3);
    RecordingOstrel& masker = Instance(2, 3);
    masker.OpenEditor();
    masker.Message(kTagMatrixEdit, R"({"ch":3,"pri":1,"v":2.6})");
    EXPECT_EQ(Slot(3).priorityRequest.load(), 3);
    EXPECT_EQ(Slot(3).priorityRequestSeq.load(), 1);
    EXPECT_DOUBLE_EQ(source.Plain(kParamPriority), 4.0);

    source.Ticks(1);
    EXPECT_DOUBLE_EQ(source.Plain(kParamPriority), 3.0);
    EXPECT_EQ(source.Engine().settings().priority, 3);
    EXPECT_EQ(source.host, (Strings{"begin 26", "edit 26 0.285714", "end 26"}));
    EXPECT_EQ(source.Link().PriorityRequestSeen(), 1);
    source.Ticks(5);
    EXPECT_EQ(source.host.size(), 3u) << "applied once";
    EXPECT_TRUE(masker.host.empty());
}

TEST_F(LinkMatrix, DepthRequestOfMinusOneMovesTheCounterOnly)
{
    RecordingOstrel& masker = Instance(2, 5);
    const int slot = masker.Engine().handover().idleSide().link.slotIndex.load();
    ASSERT_GE(slot, 0);
    masker.SetPlain(kParamDepth, 25.0);
    masker.host.clear();
    RecordingOstrel& editor = Instance(0, 1);
    const std::string ch = std::to_string(slot + 1);

    editor.Message(kTagMatrixEdit, R"({"ch":)" + ch + R"(,"depth":1,"v":-1})");
    masker.Ticks(1);
    EXPECT_EQ(masker.Link().DepthRequestSeen(), 1);
    EXPECT_DOUBLE_EQ(masker.Plain(kParamDepth), 25.0);
    EXPECT_TRUE(masker.host.empty());

    editor.Message(kTagMatrixEdit, R"({"ch":)" + ch + R"(,"depth":1,"v":40})");
    masker.Ticks(1);
    EXPECT_DOUBLE_EQ(masker.Plain(kParamDepth), 40.0);
    EXPECT_EQ(masker.host, (Strings{"begin 2", "edit 2 0.400000", "end 2"}));
    masker.Ticks(1);
    EXPECT_FLOAT_EQ(sharedRegistry().slots[slot].depthPercent.load(), 40.0f);
}

TEST_F(LinkMatrix, RequestWhileThePageHoldsTheControlStaysInItsGesture)
{
    RecordingOstrel& masker = Instance(2, 5);
    const int slot = masker.Engine().handover().idleSide().link.slotIndex.load();
    masker.OpenEditor();
    masker.Ticks(1); // the page's first refresh
    masker.Message(kTagParameter, R"({"paramIdx":2,"gesture":"begin"})");
    masker.host.clear();
    masker.web->scripts.clear();
    masker.Message(kTagMatrixEdit,
                   R"({"ch":)" + std::to_string(slot + 1) + R"(,"depth":1,"v":70})");
    masker.Ticks(1);
    EXPECT_EQ(masker.host, Strings{"edit 2 0.700000"});
    const auto echoes = masker.web->ScriptsStartingWith("SPVFD(2, ");
    ASSERT_EQ(echoes.size(), 1u);
    EXPECT_EQ(echoes[0], "SPVFD(2, 0.700000)");
}

// A drag on a depth slider in some editor's matrix, as the holder's host
// sees it: one gesture, however the holder's ticks fall between the
// requests. Steps: a gesture word and a value sent, or "tick N".
struct DragCase
{
    const char* label;
    std::vector<std::pair<std::string, double>> steps;
    Strings heard;
};

class MatrixDrag : public LinkMatrix, public ::testing::WithParamInterface<DragCase>
{
};

TEST_P(MatrixDrag, OneDragIsOneGestureAtTheHolder)
{
    const DragCase& c = GetParam();
    RecordingOstrel& masker = Instance(2, 5);
    const std::string ch =
        std::to_string(masker.Engine().handover().idleSide().link.slotIndex.load() + 1);
    RecordingOstrel& editor = Instance(0, 1);
    for (const auto& [word, value] : c.steps)
    {
        if (word == "tick")
        {
            masker.Ticks(static_cast<int>(value));
            continue;
        }
        std::string text = R"({"ch":)" + ch + R"(,"depth":1,"v":)" + std::to_string(value);
        text += word.empty() ? "}" : R"(,"gesture":")" + word + R"("})";
        editor.Message(kTagMatrixEdit, text);
    }
    masker.Ticks(1);
    EXPECT_EQ(masker.host, c.heard);
    EXPECT_FALSE(masker.Gestures().Held(ostrel::GestureHolder::Peer, kParamDepth));
    EXPECT_TRUE(editor.host.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, MatrixDrag,
    ::testing::Values(
        DragCase{"every_step_seen",
                 {{"begin", 40}, {"tick", 1}, {"drag", 45}, {"tick", 1}, {"end", 50}},
                 {"begin 2", "edit 2 0.400000", "edit 2 0.450000", "edit 2 0.500000", "end 2"}},
        DragCase{"steps_between_two_ticks_coalesce",
                 {{"begin", 40}, {"drag", 45}, {"tick", 1}, {"drag", 48}, {"end", 50}},
                 {"begin 2", "edit 2 0.450000", "edit 2 0.500000", "end 2"}},
        DragCase{"whole_drag_between_two_ticks",
                 {{"begin", 40}, {"drag", 45}, {"end", 50}},
                 {"begin 2", "edit 2 0.500000", "end 2"}},
        // The holder's editor is closed: the countdown runs without it.
        DragCase{"end_never_arrives",
                 {{"begin", 40}, {"tick", 1}, {"drag", 45}, {"tick", 481}},
                 {"begin 2", "edit 2 0.400000", "edit 2 0.450000", "end 2"}},
        DragCase{"request_outside_a_drag", {{"", 30}}, {"begin 2", "edit 2 0.300000", "end 2"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LinkMatrix, EditsOutsideTheChannelsOrWithoutAKeyChangeNothing)
{
    RecordingOstrel& editor = Instance(0, 1);
    editor.Message(kTagMatrixEdit, R"({"ch":65,"depth":1,"v":10})");
    editor.Message(kTagMatrixEdit, R"({"ch":0,"pri":1,"v":2})");
    editor.Message(kTagMatrixEdit, R"({"ch":3,"v":2})");
    for (const PeerSlot& s : sharedRegistry().slots)
    {
        EXPECT_EQ(s.depthRequestSeq.load(), 0);
        EXPECT_EQ(s.priorityRequestSeq.load(), 0);
        EXPECT_EQ(s.mute.load(), 0);
    }
}

TEST_F(LinkMatrix, FirstKeyInTheOrderDepthPriMuteWins)
{
    RecordingOstrel& editor = Instance(0, 1);
    editor.Message(kTagMatrixEdit, R"({"ch":7,"mute":1,"pri":1,"v":1})");
    EXPECT_EQ(Slot(7).priorityRequestSeq.load(), 1);
    EXPECT_EQ(Slot(7).mute.load(), 0);
    editor.Message(kTagMatrixEdit, R"({"ch":7,"pri":1,"depth":1,"v":1})");
    EXPECT_EQ(Slot(7).depthRequestSeq.load(), 1);
    EXPECT_EQ(Slot(7).priorityRequestSeq.load(), 1);
}

TEST_F(LinkMatrix, MuteIsWrittenDirectly)
{
    RecordingOstrel& editor = Instance(0, 1);
    editor.Message(kTagMatrixEdit, R"({"ch":64,"mute":1,"v":1})");
    EXPECT_EQ(Slot(64).mute.load(), 1);
    editor.Message(kTagMatrixEdit, R"({"ch":64,"mute":1,"v":0.5})");
    EXPECT_EQ(Slot(64).mute.load(), 0);
    editor.Message(kTagMatrixEdit, R"({"ch":64,"mute":1,"v":0.51})");
    EXPECT_EQ(Slot(64).mute.load(), 1);
}

TEST_F(LinkMatrix, SoloSetsAndEndsTheSoloedSlot)
{
    RecordingOstrel& editor = Instance(0, 1);
    PeerRegistryHeader& header = sharedRegistry().header;
    editor.Message(kTagSolo, R"({"ch":63})");
    EXPECT_EQ(header.soloIndex.load(), 62);
    editor.Message(kTagSolo, R"({"ch":0})");
    EXPECT_EQ(header.soloIndex.load(), -1);
    editor.Message(kTagSolo, R"({"ch":200})");
    EXPECT_EQ(header.soloIndex.load(), 199);
    editor.Message(kTagSolo, R"({"solo":1})");
    EXPECT_EQ(header.soloIndex.load(), -1);

    editor.OpenEditor();
    editor.Message(kTagSolo, R"({"ch": 5})");
    editor.Ticks(8);
    EXPECT_EQ(LastMatrix(editor)["diag"]["solo"], 5);
}

TEST_F(LinkMatrix, TrackNameIsPublishedEveryEighthTick)
{
    RecordingOstrel& source = Instance(1, 12);
    source.NameTrack("Lead \"Vox\" <L>");
    source.OpenEditor();
    source.Ticks(16);
    const auto sources = source.web->MessagesWithTag(kTagSources);
    ASSERT_FALSE(sources.empty());
    EXPECT_EQ(sources.back().text,
              "{\"t\":\"sources\",\"list\":[{\"ch\":12,\"name\":\"Lead \\\"Vox\\\" L\"}]}");
}

TEST_F(LinkMatrix, LargeMatrixReachesThePageWhole)
{
    // 48 live rows of other processes' instances with long names and loud
    // bands: about 13 kB of base64, more than one script's usual limit.
    PeerRegistry& registry = sharedRegistry();
    const int64_t now = monotonicMs();
    for (int s = 0; s < 48; ++s)
    {
        PeerSlot& slot = registry.slots[s];
        slot.ownerId.store(0x7000u + static_cast<uint32_t>(s));
        slot.role.store(s % 3 == 0 ? kPeerRoleSource : kPeerRoleMasker);
        slot.heartbeatMs.store(now);
        slot.target.store(s % 3 == 0 ? -1 : s - s % 3);
        for (int k = 0; k < kPeerBandCount; ++k)
            slot.bandLevels[k].store(12.345f);
        PeerLink writer;
        writer.instanceId = 0x7000u + static_cast<uint32_t>(s);
        writer.slotIndex.store(s);
        publishName(registry, writer, "A rather long track name \"31\"");
    }
    RecordingOstrel& viewer = Instance(0, 1);
    viewer.OpenEditor();
    viewer.Ticks(8);
    const auto matrices = viewer.web->MessagesWithTag(kTagMatrix);
    for (int s = 0; s < 48; ++s)
    {
        registry.slots[s].ownerId.store(0);
        registry.slots[s].role.store(0);
        registry.slots[s].heartbeatMs.store(0);
    }
    ASSERT_EQ(matrices.size(), 1u);
    EXPECT_GT(viewer.web->ScriptsStartingWith("SAMFD(9, ").front().size(), 8192u);
    const auto m = nlohmann::json::parse(matrices[0].text, nullptr, false);
    ASSERT_FALSE(m.is_discarded()) << "the page would receive a cut script";
    EXPECT_EQ(m["slots"].size(), 48u);
    EXPECT_EQ(m["slots"][47]["name"], "A rather long track name \"31\"");
    EXPECT_EQ(m["slots"][47]["e"][23], 12345);
}

} // namespace
