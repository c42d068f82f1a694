// What the page receives when it loads and at the refresh after it, and the
// host's keys forwarded to it.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using Strings = std::vector<std::string>;

using PageLoad = OstrelPageTest;

TEST_F(PageLoad, ParamsMessageComesFirstThenEveryValue)
{
    RecordingOstrel& p = NewInstance();
    p.SetPlain(kParamDepth, 50.0);
    for (int load = 0; load < 2; ++load)
    {
        auto& web = p.OpenEditor();
        ASSERT_EQ(web.scripts.size(), 1u + kNumParams) << "load " << load;
        ostrel_test::PageMessage first;
        ASSERT_TRUE(ostrel_test::RecordingWebView::Parse(web.scripts[0], first));
        EXPECT_EQ(first.tag, kTagParams);
        const auto params = nlohmann::json::parse(first.text);
        EXPECT_EQ(params["id"], "params");
        ASSERT_EQ(params["params"].size(), static_cast<size_t>(kNumParams));
        EXPECT_EQ(params["params"][2]["name"], "Depth");
        EXPECT_EQ(params["params"][25]["name"], "High Guard");
        EXPECT_EQ(params["params"][25]["display_type"], 6);
        EXPECT_EQ(web.scripts[3], "SPVFD(2, 0.500000)");
        EXPECT_TRUE(p.Page().IsOpen());
        EXPECT_TRUE(p.Page().RefreshDue());
        p.CloseEditor();
        EXPECT_FALSE(p.Page().IsOpen());
    }
}

TEST_F(PageLoad, RefreshAtTheNextTickSendsValuesPresetsAndFlag)
{
    CreateDataFolder();
    WriteFileAtomically(DataFile(kPresetsFileName), "[{\"n\":\"x\"}]");
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    web.scripts.clear();
    p.Ticks(1);
    ASSERT_GE(web.scripts.size(), static_cast<size_t>(kNumParams + 3));
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(web.scripts[static_cast<size_t>(i)].rfind("SPVFD(" + std::to_string(i) + ", ", 0),
                  0u);
    const auto messages = web.Messages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].tag, kTagPresets);
    EXPECT_EQ(messages[0].text, "{\"t\":\"presets\",\"json\":[{\"n\":\"x\"}]}");
    EXPECT_EQ(messages[1].tag, kTagOnboarded);
    EXPECT_EQ(messages[1].text, "{\"t\":\"onboarded\",\"onboarded\":0}");
    EXPECT_EQ(messages[2].tag, kTagSettings);
    EXPECT_EQ(messages[2].text, "{\"t\":\"settings\",\"slot\":0,\"preset\":\"\",\"modified\":0}");
    EXPECT_EQ(messages[3].tag, kTagMeters);
    EXPECT_EQ(messages[4].tag, kTagSources) << "a new page gets the peers at once";
    EXPECT_EQ(messages[5].tag, kTagMatrix);

    web.scripts.clear();
    p.Ticks(1);
    EXPECT_TRUE(web.ScriptsStartingWith("SPVFD(").empty()) << "refresh only once";
    EXPECT_TRUE(web.MessagesWithTag(kTagSettings).empty()) << "settings only when they change";
}

TEST_F(PageLoad, EmptyPresetsFileSendsNoPresetsMessage)
{
    CreateDataFolder();
    WriteFileAtomically(DataFile(kPresetsFileName), "");
    WriteFileAtomically(DataFile(kOnboardedFileName), "");
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    p.Ticks(1);
    EXPECT_TRUE(web.MessagesWithTag(kTagPresets).empty());
    ASSERT_EQ(web.MessagesWithTag(kTagOnboarded).size(), 1u);
    EXPECT_EQ(web.MessagesWithTag(kTagOnboarded)[0].text, "{\"t\":\"onboarded\",\"onboarded\":0}");
}

TEST_F(PageLoad, ProcessingResetAsksForAnotherRefresh)
{
    RecordingOstrel& p = NewInstance();
    auto& web = p.OpenEditor();
    p.Ticks(1);
    web.scripts.clear();
    p.ResetProcessing();
    p.Ticks(1);
    EXPECT_EQ(web.ScriptsStartingWith("SPVFD(").size(), static_cast<size_t>(kNumParams));
}

class KeyForwarding : public OstrelPageTest
{
protected:
    void SetUp() override
    {
        OstrelPageTest::SetUp();
        p = &NewInstance();
        p->OpenEditor();
        p->web->scripts.clear();
    }

    // A key as the page's injected key listener posts it.
    void PageKey(int keyCode, const char* utf8, bool isUp = false)
    {
        p->HandlePageMessage(std::string(R"({"msg":"SKPFUI","keyCode":)") +
                             std::to_string(keyCode) + R"(,"utf8":")" + utf8 +
                             R"(","S":false,"C":false,"A":false,"isUp":)" +
                             (isUp ? "true" : "false") + "}");
    }

    RecordingOstrel* p = nullptr;
};

TEST_F(KeyForwarding, KeysReachThePageHandlerWhileAskedFor)
{
    p->Message(kTagHostKeys, "1");
    PageKey(13, "Enter");
    PageKey(97, "1"); // numeric keypad 1
    PageKey(65, "a");
    PageKey(8, "Backspace");
    PageKey(46, "Delete");
    PageKey(27, "Escape");
    PageKey(65, "a", true); // key up: handled, nothing sent
    EXPECT_EQ(p->web->scripts,
              (Strings{"window.__hk&&window.__hk(0,1)", "window.__hk&&window.__hk(49,0)",
                       "window.__hk&&window.__hk(97,0)", "window.__hk&&window.__hk(0,2)",
                       "window.__hk&&window.__hk(0,2)", "window.__hk&&window.__hk(0,3)"}));
}

TEST_F(KeyForwarding, NumericKeypadArrivesAsItsDigit)
{
    p->Message(kTagHostKeys, "1");
    plugfw::KeyPress key;
    key.keyCode = 49;
    key.utf8[0] = '1';
    EXPECT_TRUE(p->KeyDown(key));
    EXPECT_EQ(p->web->scripts, Strings{"window.__hk&&window.__hk(49,0)"});
}

TEST_F(KeyForwarding, WithoutForwardingKeysAreNotHandled)
{
    plugfw::KeyPress enter;
    enter.keyCode = 13;
    EXPECT_FALSE(p->KeyDown(enter));
    p->Message(kTagHostKeys, "1");
    EXPECT_TRUE(p->KeyDown(enter));
    p->Message(kTagHostKeys, "0");
    EXPECT_FALSE(p->KeyDown(enter));
    EXPECT_EQ(p->web->scripts, Strings{"window.__hk&&window.__hk(0,1)"});
}

TEST_F(KeyForwarding, OpeningOrClosingTheEditorStopsForwarding)
{
    p->Message(kTagHostKeys, "1");
    p->CloseEditor();
    EXPECT_FALSE(p->Page().KeysForwarded());
    p->OpenEditor();
    p->Message(kTagHostKeys, "1");
    p->ContentLoaded();
    EXPECT_FALSE(p->Page().KeysForwarded());
}

TEST_F(KeyForwarding, ByteAboveAsciiIsSentUnsigned)
{
    p->Message(kTagHostKeys, "1");
    plugfw::KeyPress key;
    key.keyCode = 0;
    key.utf8[0] = static_cast<char>(0xC3);
    key.utf8[1] = static_cast<char>(0xA9);
    p->KeyDown(key);
    EXPECT_EQ(p->web->scripts, Strings{"window.__hk&&window.__hk(195,0)"});
}

} // namespace
