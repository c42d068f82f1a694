// The page's product messages at the plug-in: parameter gestures, files,
// focus, host keys, links, and malformed messages that must change nothing.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "editor_messages/web_link.h"
#include "storage/atomic_file_store.h"
#include "storage/user_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using Strings = std::vector<std::string>;

class EditorMessages : public OstrelPageTest
{
protected:
    void SetUp() override
    {
        OstrelPageTest::SetUp();
        plugin = &NewInstance();
        plugin->OpenEditor();
        plugin->web->scripts.clear();
        plugin->host.clear();
    }

    Strings Echoes() const { return plugin->web->ScriptsStartingWith("SPVFD("); }

    RecordingOstrel* plugin = nullptr;
};

TEST_F(EditorMessages, GestureBeginValueValueEndIsOneHostGestureWithTwoEdits)
{
    plugin->Message(kTagParameter, R"({"paramIdx":2,"value":50,"gesture":"begin"})");
    EXPECT_TRUE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 2));
    plugin->Message(kTagParameter, R"({"paramIdx":2,"value":60})");
    plugin->Message(kTagParameter, R"({"paramIdx":2,"gesture":"end"})");
    EXPECT_EQ(plugin->host, (Strings{"begin 2", "edit 2 0.500000", "edit 2 0.600000", "end 2"}));
    EXPECT_EQ(Echoes(), (Strings{"SPVFD(2, 0.500000)", "SPVFD(2, 0.600000)"}));
    EXPECT_FALSE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 2));
    EXPECT_DOUBLE_EQ(plugin->Plain(kParamDepth), 60.0);
}

TEST_F(EditorMessages, ValueWithoutGestureIsACompleteOneStepEdit)
{
    plugin->Message(kTagParameter, R"({"paramIdx":5,"value":1})");
    EXPECT_EQ(plugin->host, (Strings{"begin 5", "edit 5 1.000000", "end 5"}));
    EXPECT_EQ(Echoes(), Strings{"SPVFD(5, 1.000000)"});
    EXPECT_FALSE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 5));
    EXPECT_EQ(plugin->Engine().settings().listen, 1);
}

TEST_F(EditorMessages, ValuesArePlainAndClampedToTheParameter)
{
    plugin->Message(kTagParameter, R"({"paramIdx":6,"value":80})");   // Low Guard, cube curve
    plugin->Message(kTagParameter, R"({"paramIdx":26,"value":2.6})"); // Priority snaps to 3
    plugin->Message(kTagParameter, R"({"paramIdx":1,"value":1000})"); // Channel stops at 64
    EXPECT_DOUBLE_EQ(plugin->Plain(kParamLowGuard), 80.0);
    EXPECT_DOUBLE_EQ(plugin->Plain(kParamPriority), 3.0);
    EXPECT_DOUBLE_EQ(plugin->Plain(kParamChannel), 64.0);
    EXPECT_EQ(Echoes(),
              (Strings{"SPVFD(6, 0.500000)", "SPVFD(26, 0.285714)", "SPVFD(1, 1.000000)"}));
}

TEST_F(EditorMessages, AnyOtherGestureWordBehavesLikeBegin)
{
    plugin->Message(kTagParameter, R"({"paramIdx":4,"gesture":"hold"})");
    plugin->Message(kTagParameter, R"({"paramIdx":4,"value":20,"gesture":"drag"})");
    EXPECT_EQ(plugin->host, (Strings{"begin 4", "edit 4 0.200000"}));
    EXPECT_TRUE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 4));
}

TEST_F(EditorMessages, EndWithoutOpenGestureOnlySetsTheValue)
{
    plugin->Message(kTagParameter, R"({"paramIdx":4,"value":30,"gesture":"end"})");
    plugin->Message(kTagParameter, R"({"paramIdx":4,"gesture":"end"})");
    EXPECT_EQ(plugin->host, Strings{"edit 4 0.300000"});
}

TEST_F(EditorMessages, EmptyGestureWithoutValueResendsTheCurrentValue)
{
    plugin->SetPlain(kParamDepth, 25.0);
    plugin->Message(kTagParameter, R"({"paramIdx":2})");
    EXPECT_EQ(plugin->host, (Strings{"begin 2", "edit 2 0.250000", "end 2"}));
    EXPECT_EQ(Echoes(), Strings{"SPVFD(2, 0.250000)"});
}

TEST_F(EditorMessages, ValueInsideAnOpenGestureRestartsItsCountdown)
{
    plugin->Message(kTagParameter, R"({"paramIdx":4,"gesture":"begin"})");
    plugin->Ticks(300);
    plugin->Message(kTagParameter, R"({"paramIdx":4,"value":12})");
    EXPECT_EQ(plugin->Gestures().IdleTicks(ostrel::GestureHolder::Page, 4), 0);
    plugin->Ticks(480);
    EXPECT_TRUE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 4));
    plugin->Ticks(1);
    EXPECT_FALSE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 4));
}

TEST_F(EditorMessages, PresetsAreStoredUnchangedAndSentBackOnTheNextRefresh)
{
    plugin->Message(kTagSavePresets, "[]");
    EXPECT_EQ(ReadWholeFile(DataFile(kPresetsFileName)), "[]");
    plugin->ContentLoaded(); // the page reloads
    plugin->web->scripts.clear();
    plugin->Ticks(1);
    const auto presets = plugin->web->MessagesWithTag(kTagPresets);
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0].text, "{\"t\":\"presets\",\"json\":[]}");

    const std::string page = "{\"names\":[\"A \\\"b\\\"\"],\"v\":[[1,2]]}\n";
    plugin->Message(kTagSavePresets, page);
    EXPECT_EQ(ReadWholeFile(DataFile(kPresetsFileName)), page);
}

// Two editors open in one process: each page always holds the collection as
// stored, so saving on one and then on the other keeps both presets.
TEST_F(EditorMessages, EveryOpenPageGetsTheCollectionAfterAnotherPageSaves)
{
    RecordingOstrel& other = NewInstance();
    other.OpenEditor();
    plugin->Ticks(1);
    other.Ticks(1);
    plugin->web->scripts.clear();
    other.web->scripts.clear();

    const std::string first = R"({"names":["Verse"],"v":[[1]]})";
    plugin->Message(kTagSavePresets, first);
    plugin->Ticks(1);
    other.Ticks(2);
    const auto seen = other.web->MessagesWithTag(kTagPresets);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, R"({"t":"presets","json":)" + first + "}");

    // The other page saves on top of what it was sent; the first page follows.
    const std::string both = R"({"names":["Verse","Chorus"],"v":[[1],[2]]})";
    other.Message(kTagSavePresets, both);
    other.Ticks(1);
    plugin->web->scripts.clear();
    plugin->Ticks(2);
    const auto back = plugin->web->MessagesWithTag(kTagPresets);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].text, R"({"t":"presets","json":)" + both + "}");
    EXPECT_EQ(ReadWholeFile(DataFile(kPresetsFileName)), both);

    // Nothing new written: no more presets messages.
    plugin->web->scripts.clear();
    plugin->Ticks(3);
    EXPECT_TRUE(plugin->web->MessagesWithTag(kTagPresets).empty());
}

TEST_F(EditorMessages, OnboardedFlagIsWrittenWhateverTheBytes)
{
    plugin->OnEditorMessage(kTagSetOnboarded, 0, 0, nullptr);
    plugin->IdleFileWork(); // as after the tick that carried the message
    EXPECT_EQ(ReadWholeFile(DataFile(kOnboardedFileName)), "1");
    plugin->Message(kTagSetOnboarded, "anything");
    EXPECT_EQ(ReadWholeFile(DataFile(kOnboardedFileName)), "1");
    plugin->ContentLoaded();
    plugin->web->scripts.clear();
    plugin->Ticks(1);
    const auto flag = plugin->web->MessagesWithTag(kTagOnboarded);
    ASSERT_EQ(flag.size(), 1u);
    EXPECT_EQ(flag[0].text, "{\"t\":\"onboarded\",\"onboarded\":1}");
}

TEST_F(EditorMessages, FocusMovesIntoTheWebView)
{
    plugin->Message(kTagFocus, "");
    plugin->OnEditorMessage(kTagFocus, 0, 0, nullptr);
    EXPECT_EQ(plugin->web->focusCount, 2);
}

TEST_F(EditorMessages, HostKeysFollowTheFirstByteAndTheKeyboardFollowsThem)
{
    plugin->Message(kTagHostKeys, "1");
    EXPECT_TRUE(plugin->Page().KeysForwarded());
    EXPECT_EQ(plugin->web->focusCount, 1);
    plugin->Message(kTagHostKeys, "0");
    EXPECT_FALSE(plugin->Page().KeysForwarded());
    EXPECT_EQ(plugin->web->releaseCount, 1);
    plugin->Message(kTagHostKeys, "1 and more");
    EXPECT_TRUE(plugin->Page().KeysForwarded());
    plugin->OnEditorMessage(kTagHostKeys, 0, 0, nullptr);
    EXPECT_FALSE(plugin->Page().KeysForwarded());
    plugin->Message(kTagHostKeys, "true");
    EXPECT_FALSE(plugin->Page().KeysForwarded());
    EXPECT_EQ(plugin->web->focusCount, 2);
    EXPECT_EQ(plugin->web->releaseCount, 3);
}

Strings gLinks;
void RecordLink(const std::string& url)
{
    gLinks.push_back(url);
}

TEST_F(EditorMessages, OnlyWebLinksAreOpened)
{
    gLinks.clear();
    setWebLinkOpenerForTesting(&RecordLink);
    plugin->Message(kTagOpenLink, R"({"url":"https://example.org/manual"})");
    plugin->Message(kTagOpenLink, R"({"url":"http://example.org/a\"b"})");
    plugin->Message(kTagOpenLink, R"({"url":"mailto:someone@example.org"})");
    plugin->Message(kTagOpenLink, R"({"url":"file:///etc/passwd"})");
    plugin->Message(kTagOpenLink, R"({"url":"HTTPS://EXAMPLE.ORG"})");
    plugin->Message(kTagOpenLink, R"({"url":""})");
    plugin->Message(kTagOpenLink, R"({"href":"https://example.org"})");
    plugin->OnEditorMessage(kTagOpenLink, 0, 0, nullptr);
    setWebLinkOpenerForTesting(nullptr);
    EXPECT_EQ(gLinks, (Strings{"https://example.org/manual", "http://example.org/a\"b"}));
}

TEST_F(EditorMessages, EveryMessageIsReportedHandled)
{
    for (int tag : {-1, 0, 1, 4, 6, 8, 10, 12, 19, 20, 21, 22, 23, 99})
        EXPECT_TRUE(plugin->OnEditorMessage(tag, 0, 0, nullptr)) << tag;
}

// Everything a message could change, to compare before and after.
struct Observable
{
    std::vector<double> values;
    std::vector<bool> gestures;
    Strings host;
    size_t scripts = 0;
    int solo = 0;
    std::vector<int32_t> requestSeqs;
    std::vector<int> mutes;
    bool keyForwarding = false;
    Strings files;

    bool operator==(const Observable&) const = default;
};

Observable Observe(const RecordingOstrel& p, const std::filesystem::path& folder)
{
    Observable o;
    for (int i = 0; i < kNumParams; ++i)
    {
        o.values.push_back(p.Plain(i));
        o.gestures.push_back(p.Gestures().Held(ostrel::GestureHolder::Page, i));
    }
    o.host = p.host;
    o.scripts = p.web->scripts.size();
    const PeerRegistry& r = sharedRegistry();
    o.solo = r.header.soloIndex.load();
    for (const PeerSlot& s : r.slots)
    {
        o.requestSeqs.push_back(s.depthRequestSeq.load());
        o.requestSeqs.push_back(s.priorityRequestSeq.load());
        o.mutes.push_back(s.mute.load());
    }
    o.keyForwarding = p.Page().KeysForwarded();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        o.files.push_back(entry.path().string());
    return o;
}

TEST_F(EditorMessages, MalformedMessagesChangeNothing)
{
    struct Case
    {
        int tag;
        const char* text; // nullptr: no bytes
    };
    const Case cases[] = {
        {kTagParameter, nullptr},
        {kTagParameter, R"({"paramIdx":27,"value":1})"},
        {kTagParameter, R"({"paramIdx":-1,"value":1})"},
        {kTagParameter, R"({"paramIdx":4294967298,"value":1})"},
        {kTagParameter, R"({"value":1,"gesture":"begin"})"},
        {kTagParameter, R"({"paramIdx" :2,"value":1})"},
        {kTagParameter, R"({"paramidx":2})"},
        {kTagParameter, "garbage"},
        {kTagSavePresets, nullptr},
        {kTagSolo, nullptr},
        {kTagMatrixEdit, nullptr},
        {kTagMatrixEdit, R"({"ch":65,"v":50,"depth":1})"},
        {kTagMatrixEdit, R"({"ch":0,"v":1,"mute":1})"},
        {kTagMatrixEdit, R"({"ch":-3,"v":1,"pri":1})"},
        {kTagMatrixEdit, R"({"v":1,"depth":1})"},
        {kTagMatrixEdit, R"({"ch":3,"v":1})"},
        {kTagMatrixEdit, R"({"ch":3,"v":1,"Depth":1,"priority":2})"},
        {kTagOpenLink, nullptr},
        {4, "{}"},
        {6, "{}"},
        {19, "{}"},
        {99, R"({"paramIdx":2,"value":50})"},
        {-7, R"({"ch":3,"v":1,"mute":1})"},
    };
    sharedRegistry().header.soloIndex.store(5);
    gLinks.clear();
    setWebLinkOpenerForTesting(&RecordLink);
    for (const Case& c : cases)
    {
        const Observable before = Observe(*plugin, configHome);
        if (c.text == nullptr)
            plugin->OnEditorMessage(c.tag, 0, 0, nullptr);
        else
            plugin->Message(c.tag, c.text);
        EXPECT_TRUE(Observe(*plugin, configHome) == before)
            << "tag " << c.tag << ": " << (c.text ? c.text : "(no bytes)");
    }
    setWebLinkOpenerForTesting(nullptr);
    EXPECT_TRUE(gLinks.empty());
}

} // namespace
