// The idle driver: gesture countdown, last-state restore and save, and what
// the open page receives at each tick.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "framework/byte_chunk.h"
#include "storage/atomic_file_store.h"
#include "storage/user_files.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using Strings = std::vector<std::string>;

using GestureCountdown = OstrelPageTest;

TEST_F(GestureCountdown, BeginWithoutEndIsClosed481TicksLater)
{
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Message(kTagParameter, R"({"paramIdx":4,"gesture":"begin"})");
    p.host.clear();
    p.Ticks(480);
    EXPECT_TRUE(p.host.empty());
    EXPECT_TRUE(p.Gestures().Held(ostrel::GestureHolder::Page, 4));
    p.Ticks(1);
    EXPECT_EQ(p.host, Strings{"end 4"});
    EXPECT_FALSE(p.Gestures().Held(ostrel::GestureHolder::Page, 4));
    EXPECT_EQ(p.Gestures().IdleTicks(ostrel::GestureHolder::Page, 4), 0);
    p.Ticks(600);
    EXPECT_EQ(p.host, Strings{"end 4"});
}

TEST_F(GestureCountdown, ClosingTheEditorEndsOpenGesturesExactlyOnce)
{
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Message(kTagParameter, R"({"paramIdx":4,"gesture":"begin"})");
    p.Message(kTagParameter, R"({"paramIdx":7,"value":1,"gesture":"begin"})");
    p.host.clear();
    p.CloseEditor();
    EXPECT_EQ(p.host, (Strings{"end 4", "end 7"}));
    p.Ticks(1000);
    p.EditorClosed();
    EXPECT_EQ(p.host, (Strings{"end 4", "end 7"}));
}

class LastState : public OstrelPageTest
{
protected:
    std::string LastStateText() const { return ReadWholeFile(DataFile(kLastStateFileName)); }
    void WriteLastState(const std::string& text) const
    {
        CreateDataFolder();
        WriteFileAtomically(DataFile(kLastStateFileName), text);
    }
};

TEST_F(LastState, ThreeNumbersApplyOnlyDepth)
{
    WriteLastState("[0.5,0.25,0.8]");
    RecordingOstrel& p = NewInstance();
    p.SetPlain(kParamRole, 2);
    p.SetPlain(kParamChannel, 9);
    p.SetPlain(kParamSelectivity, 30.0);
    auto& web = p.OpenEditor();
    web.scripts.clear();
    p.host.clear();
    p.Ticks(1);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 80.0);
    EXPECT_FLOAT_EQ(p.Engine().settings().depth().scaleDb, -48.0f * 0.8f);
    EXPECT_DOUBLE_EQ(p.Plain(kParamRole), 2.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamChannel), 9.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamSelectivity), 30.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamPriority), 4.0);
    EXPECT_EQ(p.host, (Strings{"begin 2", "edit 2 0.800000", "end 2"}))
        << "the host hears of every value the last state changes";
    // The restored value, then the refresh with all of them.
    const auto values = web.ScriptsStartingWith("SPVFD(");
    ASSERT_EQ(values.size(), static_cast<size_t>(kNumParams) + 1);
    EXPECT_EQ(values[0], "SPVFD(2, 0.800000)");
    EXPECT_EQ(values[3], "SPVFD(2, 0.800000)");
    EXPECT_FALSE(p.LastState().Dirty()) << "a restore is not a change to save";
}

TEST_F(LastState, OutOfRangeNumbersAreClampedAndAMalformedTailStopsTheWalk)
{
    WriteLastState("[ 0, 0,\n1.7, 0.5 ,-3, x 0.9]");
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Ticks(1);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 100.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamBypass), 0.0) << "never restored";
    EXPECT_DOUBLE_EQ(p.Plain(kParamSelectivity), 0.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamListen), 0.0);
    EXPECT_DOUBLE_EQ(p.Plain(kParamLowGuard), 20.0);
}

TEST_F(LastState, TwoByteFileIsNotApplied)
{
    WriteLastState("[]");
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Ticks(1);
    EXPECT_TRUE(p.LastState().RestoreTried());
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 0.0);
}

// A file past the size limit is refused as a whole, even with good numbers
// at its start; one at the limit is read.
TEST_F(LastState, IsAppliedOnlyUpToTheSizeLimit)
{
    for (const size_t size : {kLastStateFileMaxBytes, kLastStateFileMaxBytes + 1})
    {
        std::string text = "[0,0,0.8";
        text.resize(size - 1, ' ');
        WriteLastState(text + "]");
        RecordingOstrel& p = NewInstance();
        p.OpenEditor();
        p.Ticks(1);
        EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), size <= kLastStateFileMaxBytes ? 80.0 : 0.0)
            << size << " bytes";
    }
}

TEST_F(LastState, HostStateRestorePreventsIt)
{
    WriteLastState("[0,0,0.8]");
    RecordingOstrel& source = NewInstance();
    source.SetPlain(kParamDepth, 33.0);
    plugfw::IByteChunk chunk;
    ASSERT_TRUE(source.SaveState(chunk));

    RecordingOstrel& p = NewInstance();
    p.LoadState(chunk, 0);
    EXPECT_TRUE(p.LastState().HostRestored());
    p.OpenEditor();
    p.Ticks(3);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 33.0);
}

TEST_F(LastState, AppliedOnlyAtTheFirstOpenOfAnInstance)
{
    WriteLastState("[0,0,0.8]");
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Ticks(1);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 80.0);
    p.SetPlain(kParamDepth, 10.0);
    p.CloseEditor();
    WriteLastState("[0,0,0.8]");
    p.OpenEditor();
    p.Ticks(1);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 10.0);
}

// The user's last settings are what the user set in an editor: values the
// host restored or automated never overwrite them, however often the editor
// opens.
TEST_F(LastState, HostSetValuesNeverBecomeTheUsersLastSettings)
{
    const std::string users = "[0.5,0.25,0.8]";
    WriteLastState(users);
    RecordingOstrel& project = NewInstance();
    project.SetPlain(kParamDepth, 33.0);
    project.SetPlain(kParamPriority, 7.0);
    plugfw::IByteChunk chunk;
    ASSERT_TRUE(project.SaveState(chunk));

    RecordingOstrel& p = NewInstance();
    ASSERT_GT(p.LoadState(chunk, 0), 0); // the host restores its project
    p.OpenEditor();
    p.Ticks(60);
    p.SetPlain(kParamSelectivity, 50.0); // host automation, editor open
    p.Ticks(60);
    p.CloseEditor();
    p.SetPlain(kParamBell1Freq, 500.0); // and with the editor closed
    p.OpenEditor();
    p.Ticks(60);
    EXPECT_EQ(LastStateText(), users);
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 33.0) << "the project's value stays";

    // The user's own edit is what gets saved, with the settings it sits in.
    p.Message(kTagParameter, R"({"paramIdx":4,"value":20})");
    p.Ticks(20);
    const std::vector<double> saved = ParseLastStateText(LastStateText());
    ASSERT_EQ(saved.size(), static_cast<size_t>(kNumParams));
    EXPECT_DOUBLE_EQ(saved[kParamSelectivity], 0.2);
    EXPECT_DOUBLE_EQ(saved[kParamDepth], 0.33);
}

// Dismissed once, the first-run guide is never offered again: not on the
// next open of the same editor, nor in another instance.
TEST_F(LastState, TheFirstRunGuideIsOfferedUntilDismissed)
{
    RecordingOstrel& p = NewInstance();
    const auto onboarded = [](RecordingOstrel& i)
    {
        const auto list = i.web->MessagesWithTag(kTagOnboarded);
        return list.empty() ? std::string("none") : list.back().text;
    };
    const std::string no = "{\"t\":\"onboarded\",\"onboarded\":0}";
    const std::string yes = "{\"t\":\"onboarded\",\"onboarded\":1}";
    p.OpenEditor();
    p.Ticks(2);
    EXPECT_EQ(onboarded(p), no);
    p.ResetProcessing(); // the host starts processing while the guide shows
    p.Ticks(2);
    // A second read of the files for the same page, as the timer thread
    // makes when it runs between the two requests of a page load.
    p.ReadFilesUnasked();
    p.Message(kTagSetOnboarded, "");
    p.Ticks(2);
    p.CloseEditor();
    p.OpenEditor();
    p.IdleTick(); // the timer's tick before its file work
    p.Ticks(3);
    EXPECT_EQ(onboarded(p), yes);
    EXPECT_EQ(p.web->MessagesWithTag(kTagOnboarded).size(), 1u);
    p.CloseEditor();
    p.ResetProcessing(); // while closed
    p.Ticks(5);
    p.OpenEditor();
    p.Ticks(3);
    EXPECT_EQ(onboarded(p), yes);
    RecordingOstrel& other = NewInstance();
    other.OpenEditor();
    other.Ticks(3);
    EXPECT_EQ(onboarded(other), yes);
}

TEST_F(LastState, NothingIsWrittenWhileTheEditorIsClosed)
{
    RecordingOstrel& p = NewInstance();
    // An edit in another editor's link matrix, say.
    p.SetParamFromEditor(kParamDepth, 0.42);
    EXPECT_TRUE(p.LastState().Dirty());
    p.Ticks(100);
    EXPECT_FALSE(std::filesystem::exists(DataFile(kLastStateFileName)));

    // Saved at the first opportunity after the editor opens.
    p.OpenEditor();
    p.Ticks(20);
    EXPECT_TRUE(std::filesystem::exists(DataFile(kLastStateFileName)));
    EXPECT_EQ(ParseLastStateText(LastStateText())[2], 0.42);
}

TEST_F(LastState, WrittenAtMostOncePerTwentyTicks)
{
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Ticks(1);
    p.Message(kTagParameter, R"({"paramIdx":2,"value":10})");
    p.Ticks(19);
    EXPECT_FALSE(std::filesystem::exists(DataFile(kLastStateFileName)));
    p.Ticks(1);
    EXPECT_EQ(ParseLastStateText(LastStateText())[2], 0.1);

    p.Message(kTagParameter, R"({"paramIdx":2,"value":20})");
    p.Ticks(19);
    EXPECT_EQ(ParseLastStateText(LastStateText())[2], 0.1);
    p.Ticks(1);
    EXPECT_EQ(ParseLastStateText(LastStateText())[2], 0.2);
}

TEST_F(LastState, AllParametersAtZeroGiveTheExactText)
{
    RecordingOstrel& p = NewInstance();
    p.OpenEditor();
    p.Ticks(1);
    for (int i = 0; i < kNumParams; ++i)
        p.SetParamFromEditor(i, 0.0);
    p.Ticks(40);
    std::string expected = "[";
    for (int i = 0; i < kNumParams; ++i)
        expected += i > 0 ? ",0.000000" : "0.000000";
    expected += "]";
    EXPECT_EQ(LastStateText(), expected);
    EXPECT_EQ(LastStateText().size(), 2u + 27u * 8u + 26u);
}

class PageFeed : public OstrelPageTest
{
};

TEST_F(PageFeed, MetersWhenTheyChangeAtMostEveryFifthTickSourcesAndMatrixEveryEighthWhenChanged)
{
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    web.scripts.clear();
    // The meters move on ticks 1 to 6 and from 15 on, and stand still between.
    std::vector<int> meterTicks;
    std::vector<int> otherTags;
    MeterReadings readings = p.Engine().meters();
    for (int t = 1; t <= 20; ++t)
    {
        if (t <= 6 || t >= 15)
            readings.dipDb[5] = -0.5f * static_cast<float>(t);
        p.plantedMeters = readings;
        const size_t before = web.Messages().size();
        p.Ticks(1);
        const auto messages = web.Messages();
        for (size_t i = before; i < messages.size(); ++i)
        {
            if (messages[i].tag == kTagMeters)
                meterTicks.push_back(t);
            else
                otherTags.push_back(messages[i].tag);
        }
    }
    // Every fifth tick from the first, unless nothing changed since the last report.
    EXPECT_EQ(meterTicks, (std::vector<int>{1, 6, 16}));
    // The peer list and matrix at the 8th tick; at the 16th they were the same.
    EXPECT_EQ(otherTags, (std::vector<int>{kTagOnboarded, kTagSettings, kTagSources, kTagMatrix}));
    EXPECT_EQ(web.MessagesWithTag(kTagMeters)[0].text.rfind(
                  "{\"t\":\"meters\",\"role\":0,\"linked\":0,\"peers\":0,\"null\":-120.0,", 0),
              0u);
}

TEST_F(PageFeed, AReopenedPageGetsTheMetersAgain)
{
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    p.Ticks(4);
    EXPECT_EQ(web.MessagesWithTag(kTagMeters).size(), 1u);
    p.CloseEditor();
    auto& again = p.OpenEditor();
    p.Ticks(1);
    EXPECT_EQ(again.MessagesWithTag(kTagMeters).size(), 1u);
}

TEST_F(PageFeed, ThePageLearnsWhenTheHostBypassesAndWhenAudioStops)
{
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    auto flags = [&web]
    {
        const std::string t = web.MessagesWithTag(kTagMeters).back().text;
        return t.substr(t.find(",\"hostBypass\":"));
    };
    p.Ticks(1);
    EXPECT_EQ(flags(), ",\"hostBypass\":0,\"stale\":1}") << "no audio yet";
    // Audio arrives: the engine's block counter moves every tick.
    auto playTicks = [&p](int n)
    {
        for (int i = 0; i < n; ++i)
        {
            p.Engine().handover().idleSide().link.blockCounter.fetch_add(1);
            p.Ticks(1);
        }
    };
    playTicks(5);
    EXPECT_EQ(flags(), ",\"hostBypass\":0,\"stale\":0}");
    p.SetBypassed(true);
    playTicks(5);
    EXPECT_EQ(flags(), ",\"hostBypass\":1,\"stale\":0}");
    p.SetBypassed(false);
    playTicks(5);
    EXPECT_EQ(flags(), ",\"hostBypass\":0,\"stale\":0}");
    // The audio stops: a quarter of a second later the meters are stale.
    const size_t before = web.MessagesWithTag(kTagMeters).size();
    p.Ticks(5);
    EXPECT_EQ(web.MessagesWithTag(kTagMeters).size(), before) << "nothing moved, nothing sent";
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    p.Ticks(5);
    EXPECT_EQ(flags(), ",\"hostBypass\":0,\"stale\":1}");
}

TEST_F(PageFeed, NothingIsSentWithTheEditorClosed)
{
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    p.EditorClosed(); // the recorder stays attached
    web.scripts.clear();
    p.Ticks(32);
    EXPECT_TRUE(web.scripts.empty());
}

TEST_F(PageFeed, MetersFollowTheEngine)
{
    RecordingOstrel& p = NewInstance();
    p.SetPlain(kParamRole, 3);
    MeterReadings readings = p.Engine().meters();
    readings.dipDb[0] = -3.44f;
    readings.src[23] = 0.5f;
    readings.nullDb = -20.06f;
    readings.touched = 2;
    readings.linked = true;
    readings.bellDipDb[1] = -1.5f;
    p.plantedMeters = readings;
    auto& web = p.OpenEditor();
    web.scripts.clear();
    p.Ticks(1);
    const auto meters = web.MessagesWithTag(kTagMeters);
    ASSERT_EQ(meters.size(), 1u);
    const std::string& t = meters[0].text;
    EXPECT_EQ(t.rfind("{\"t\":\"meters\",\"role\":3,\"linked\":1,\"peers\":", 0), 0u) << t;
    EXPECT_NE(t.find("\"null\":-20.1,\"touched\":2,\"dip\":[-3.4,0.0,"), std::string::npos) << t;
    EXPECT_NE(t.find(",-6.0],\"mask\":["), std::string::npos) << t;
    EXPECT_NE(t.find("\"bellDip\":[0.0,-1.5,0.0,0.0],"), std::string::npos) << t;
}

} // namespace
