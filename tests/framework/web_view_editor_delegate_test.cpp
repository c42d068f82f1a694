// The page protocol at the framework level: posted JSON objects reach the
// right operation, malformed ones reach none, and scripts reach the web view.
#include "framework/iparam.h"
#include "framework/recording_web_view.h"
#include "framework/web_view_editor_delegate.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace
{

using ostrel_test::RecordingWebView;

constexpr int kParams = 27;

// Records every operation that the dispatch reaches, as a short text.
class RecordingDelegate : public plugfw::WebViewEditorDelegate
{
public:
    RecordingDelegate() : WebViewEditorDelegate(kParams)
    {
        GetParam(0)->DefineEnum("Role", 0, 4, "", 0, "", {"Off", "Source", "Masker", "Self"});
        GetParam(2)->DefineDouble("Depth", 0.0, 0.0, 100.0, 0.1, "%");
        GetParam(6)->DefineDouble("Low Guard", 20.0, 20.0, 500.0, 1.0, "Hz", 0, "",
                                  plugfw::ShapePowCurve(3.0));
        GetParam(3)->DefineBool("Bypass", 0);
        for (int i = 0; i < kParams; ++i)
            if (GetParam(i)->GetType() == plugfw::IParam::kTypeNone)
                GetParam(i)->DefineInt("P", 1, 1, 64);
        auto backend = std::make_unique<RecordingWebView>();
        web = backend.get();
        AttachWebViewBackend(std::move(backend));
    }

    void SetParamFromEditor(int i, double v) override
    {
        calls.push_back("set " + std::to_string(i) + " " + std::to_string(v));
    }
    void BeginHostEdit(int i) override { calls.push_back("begin " + std::to_string(i)); }
    void EndHostEdit(int i) override { calls.push_back("end " + std::to_string(i)); }
    bool OnEditorMessage(int msgTag, int ctrlTag, int size, const void* data) override
    {
        std::string text = "msg " + std::to_string(msgTag) + " " + std::to_string(ctrlTag) + " " +
                           std::to_string(size);
        if (size > 0)
        {
            text += ' ';
            text.append(static_cast<const char*>(data), static_cast<size_t>(size));
        }
        else if (data != nullptr)
            text += " with a pointer";
        calls.push_back(text);
        return true;
    }
    bool KeyDown(const plugfw::KeyPress& k) override
    {
        calls.push_back("down " + Describe(k));
        return true;
    }
    bool KeyUp(const plugfw::KeyPress& k) override
    {
        calls.push_back("up " + Describe(k));
        return true;
    }
    void EditorOpened() override
    {
        calls.push_back("opened");
        SendAllParamValuesToPage();
    }

    static std::string Describe(const plugfw::KeyPress& k)
    {
        return std::to_string(k.keyCode) + " '" + k.utf8 + "' " + (k.shift ? "S" : "-") +
               (k.control ? "C" : "-") + (k.alt ? "A" : "-");
    }

    std::vector<std::string> calls;
    RecordingWebView* web = nullptr;
};

struct DispatchCase
{
    const char* json;
    std::vector<std::string> calls;
};

TEST(PageMessageDispatch, EachFrameworkMessageReachesItsOperation)
{
    const DispatchCase cases[] = {
        {R"({"msg":"SPVFUI","paramIdx":2,"value":0.5})", {"set 2 0.500000"}},
        {R"({"msg":"SPVFUI","paramIdx":26,"value":1})", {"set 26 1.000000"}},
        {R"({"value":0.25,"paramIdx":0,"msg":"SPVFUI"})", {"set 0 0.250000"}},
        {R"({"msg":"SPVFUI","paramIdx":4,"value":7.5})", {"set 4 1.000000"}},
        {R"({"msg":"BPCFUI","paramIdx":4})", {"begin 4"}},
        {R"({"msg":"EPCFUI","paramIdx":4})", {"end 4"}},
        {R"({"msg":"SAMFUI","msgTag":22,"ctrlTag":-1,"data":"eyJjaCI6M30="})",
         {"msg 22 -1 8 {\"ch\":3}"}},
        {R"({"msg":"SAMFUI","msgTag":12,"ctrlTag":0})", {"msg 12 0 0"}},
        {R"({"msg":"SKPFUI","keyCode":97,"utf8":"1","S":false,"C":false,"A":false,"isUp":false})",
         {"down 49 '1' ---"}},
        {R"({"msg":"SKPFUI","keyCode":65,"utf8":"A","S":true,"C":true,"A":true,"isUp":true})",
         {"up 65 'A' SCA"}},
        {R"({"msg":"SKPFUI","keyCode":37.9,"utf8":"ArrowLeft","S":false,"C":false,"A":false,"isUp":false})",
         {"down 37 'Arro' ---"}},
        {R"({"msg":"SKPFUI","keyCode":true,"utf8":"","S":false,"C":false,"A":false,"isUp":false})",
         {"down 0 '' ---"}},
        {R"({"msg":"SKPFUI","keyCode":186,"utf8":"a\u00e9\u20ac","S":false,"C":false,"A":false,"isUp":false})",
         {"down 0 'a\xC3\xA9' ---"}}, // the euro sign would be cut in half
        {R"({"msg":"NOPE","paramIdx":1})", {}},
    };
    for (const DispatchCase& c : cases)
    {
        RecordingDelegate d;
        d.HandlePageMessage(c.json);
        EXPECT_EQ(d.calls, c.calls) << c.json;
    }
}

TEST(PageMessageDispatch, ArbitraryMessageByteCountsFollowThePadding)
{
    struct Case
    {
        const char* data; // nullptr: member absent
        std::string call;
    };
    const Case cases[] = {
        {"\"QQ==\"", "msg 5 7 1 A"},
        {"\"QUI=\"", "msg 5 7 2 AB"},
        {"\"QUJD\"", "msg 5 7 3 ABC"},
        {nullptr, "msg 5 7 0"},
        {"\"\"", "msg 5 7 0"},
        {"\"=\"", "msg 5 7 0"},  // a lone "=" announces -1 bytes: none
        {"\"==\"", "msg 5 7 0"}, // likewise
        {"42", "msg 5 7 0"},     // not a string
        {"null", "msg 5 7 0"},
        {"\"QU!D\"", std::string("msg 5 7 3 A\0\0", 13)}, // stops early, keeps the size
    };
    for (const Case& c : cases)
    {
        RecordingDelegate d;
        std::string json = R"({"msg":"SAMFUI","msgTag":5,"ctrlTag":7)";
        if (c.data != nullptr)
            json += std::string(",\"data\":") + c.data;
        json += "}";
        d.HandlePageMessage(json);
        ASSERT_EQ(d.calls.size(), 1u) << json;
        EXPECT_EQ(d.calls[0].substr(0, c.call.size()), c.call) << json;
        EXPECT_EQ(d.calls[0].find("with a pointer"), std::string::npos) << json;
    }
}

TEST(PageMessageDispatch, MalformedMessagesChangeNothing)
{
    const char* const malformed[] = {
        "",
        "not json",
        "{",
        "[1,2,3]",
        "\"SPVFUI\"",
        "42",
        "null",
        "{}",
        R"({"msg":5})",
        R"({"msg":null})",
        R"({"MSG":"SPVFUI","paramIdx":1,"value":0.5})",
        R"({"msg":"SPVFUI"})",
        R"({"msg":"SPVFUI","paramIdx":2})",
        R"({"msg":"SPVFUI","value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":"2","value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":2,"value":"0.5"})",
        R"({"msg":"SPVFUI","paramIdx":2,"value":null})",
        R"({"msg":"SPVFUI","paramIdx":27,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":-1,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":4294967298,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":18446744073709551615,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":1e300,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":true,"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":[2],"value":0.5})",
        R"({"msg":"SPVFUI","paramIdx":2,"value":1e999})",
        R"({"msg":"BPCFUI"})",
        R"({"msg":"BPCFUI","paramIdx":27})",
        R"({"msg":"EPCFUI","paramIdx":{}})",
        R"({"msg":"SAMFUI","ctrlTag":0,"data":"QQ=="})",
        R"({"msg":"SAMFUI","msgTag":1,"data":"QQ=="})",
        R"({"msg":"SAMFUI","msgTag":"1","ctrlTag":0})",
        R"({"msg":"SAMFUI","msgTag":1,"ctrlTag":3000000000})",
        R"({"msg":"SMMFUI","statusByte":144,"dataByte1":60})",
        R"({"msg":"SMMFUI","statusByte":"x","dataByte1":60,"dataByte2":1})",
        R"({"msg":"SKPFUI","keyCode":65,"utf8":"A","S":false,"C":false,"A":false})",
        R"({"msg":"SKPFUI","keyCode":65,"utf8":"A","S":0,"C":false,"A":false,"isUp":false})",
        R"({"msg":"SKPFUI","keyCode":65,"utf8":5,"S":false,"C":false,"A":false,"isUp":false})",
        R"({"msg":"SKPFUI","keyCode":"65","utf8":"A","S":false,"C":false,"A":false,"isUp":false})",
        R"({"msg":"SKPFUI","keyCode":1e30,"utf8":"A","S":false,"C":false,"A":false,"isUp":false})",
        R"({"msg":"SPVFUI","paramIdx":2,"value":0.5} trailing)",
        "{\"msg\":\"SPVFUI\",\"paramIdx\":2,\"value\":0.5,\"x\":\"\xff\xfe\"}",
    };
    for (const char* json : malformed)
    {
        RecordingDelegate d;
        d.HandlePageMessage(json);
        EXPECT_TRUE(d.calls.empty()) << json;
        EXPECT_TRUE(d.web->scripts.empty()) << json;
    }
}

TEST(PageMessageDispatch, DeeplyNestedInputIsHarmless)
{
    RecordingDelegate d;
    d.HandlePageMessage(std::string(100000, '[') + std::string(100000, ']'));
    d.HandlePageMessage("{\"msg\":" + std::string(50000, '[') + "1" + std::string(50000, ']') +
                        "}");
    EXPECT_TRUE(d.calls.empty());
}

// Nothing here takes MIDI: a well-formed MIDI message from the page is
// refused like an unknown one, however many arrive.
TEST(PageMessageDispatch, MidiMessagesFromThePageAreRefused)
{
    RecordingDelegate d;
    for (int i = 0; i < 40; ++i)
        d.HandlePageMessage(R"({"msg":"SMMFUI","statusByte":144,"dataByte1":60,"dataByte2":)" +
                            std::to_string(i) + "}");
    EXPECT_TRUE(d.calls.empty());
    EXPECT_TRUE(d.web->scripts.empty());
}

TEST(PageScripts, ParamsMessageComesFirstWithTagMinusOneThenTheValues)
{
    RecordingDelegate d;
    d.GetParam(2)->Set(50.0);
    d.ContentLoaded();
    ASSERT_EQ(d.web->scripts.size(), 1u + kParams);
    ostrel_test::PageMessage first;
    ASSERT_TRUE(RecordingWebView::Parse(d.web->scripts[0], first));
    EXPECT_EQ(first.tag, -1);
    EXPECT_EQ(first.lengthArgument, static_cast<int>(first.base64.size()) + 1);
    EXPECT_EQ(d.calls, std::vector<std::string>{"opened"});
    EXPECT_EQ(d.web->scripts[1], "SPVFD(0, 0.000000)");
    EXPECT_EQ(d.web->scripts[3], "SPVFD(2, 0.500000)");

    const auto j = nlohmann::json::parse(first.text);
    EXPECT_EQ(j["id"], "params");
    ASSERT_EQ(j["params"].size(), static_cast<size_t>(kParams));
    // As the JSON library writes it: members sorted, no spaces, shortest numbers.
    EXPECT_EQ(first.text.rfind("{\"id\":\"params\",\"params\":[{\"default\":0.0,"
                               "\"display_type\":0,\"id\":0,\"max\":3.0,\"min\":0.0,"
                               "\"name\":\"Role\",\"rate\":\"control\",\"step\":1.0,"
                               "\"type\":\"enum\",\"unit\":\"\"},",
                               0),
              0u)
        << first.text;
    EXPECT_NE(first.text.find("{\"default\":20.0,\"display_type\":6,\"id\":6,\"max\":500.0,"
                              "\"min\":20.0,\"name\":\"Low Guard\",\"rate\":\"control\","
                              "\"step\":1.0,\"type\":\"float\",\"unit\":\"Hz\"}"),
              std::string::npos);
    EXPECT_NE(first.text.find("\"type\":\"bool\""), std::string::npos);
}

TEST(PageScripts, ValuesAreNormalisedBeforeTheyAreSent)
{
    RecordingDelegate d;
    d.SendParamValueToPage(2, 25.0, false);
    d.SendParamValueToPage(6, 20.0 + 0.125 * 480.0, false);
    d.SendParamValueToPage(2, 0.75, true);
    d.SendParamValueToPage(27, 0.5, true);
    d.SendParamValueToPage(-1, 0.5, true);
    EXPECT_EQ(d.web->scripts, (std::vector<std::string>{"SPVFD(2, 0.250000)", "SPVFD(6, 0.500000)",
                                                        "SPVFD(2, 0.750000)"}));
}

TEST(PageScripts, ArbitraryMessagesCarryBase64AndTheirLength)
{
    RecordingDelegate d;
    d.SendArbitraryMsgToPage(0, 3, "abc");
    d.SendArbitraryMsgToPage(0, 4, "abcd");
    EXPECT_EQ(d.web->scripts,
              (std::vector<std::string>{"SAMFD(0, 5, 'YWJj')", "SAMFD(0, 9, 'YWJjZA==')"}));
}

TEST(PageScripts, ScriptsWithoutAWebViewAreDropped)
{
    RecordingDelegate d;
    auto backend = d.DetachWebViewBackend();
    d.SendArbitraryMsgToPage(0, 3, "abc");
    d.SendParamValueToPage(1, 0.5, true);
    d.SendControlValueToPage(1, 0.5);
    d.SendControlMsgToPage(1, 2, 3, "abc");
    d.SendMidiMsgToPage(plugfw::MidiMsg{});
    d.ContentLoaded();
    EXPECT_TRUE(static_cast<RecordingWebView*>(backend.get())->scripts.empty());
    EXPECT_FALSE(d.HasWebView());
}

TEST(PageScripts, ControlScriptsAreCutToTheScriptLimit)
{
    RecordingDelegate d;
    const std::string big(6700, 'x');
    d.SendControlMsgToPage(3, 4, static_cast<int>(big.size()), big.data());
    d.SendControlValueToPage(9, 0.125);
    d.SendMidiMsgToPage(plugfw::MidiMsg{0, 0xB0, 7, 100});
    ASSERT_EQ(d.web->scripts.size(), 3u);
    EXPECT_EQ(d.web->scripts[0].size(), 8192u);
    EXPECT_EQ(d.web->scripts[1], "SCVFD(9, 0.125000)");
    EXPECT_EQ(d.web->scripts[2], "SMMFD(176, 7, 100)");
}

TEST(PageScripts, WebViewEventsReachTheDelegate)
{
    RecordingDelegate d;
    d.OnWebMessage(R"({"msg":"BPCFUI","paramIdx":3})");
    d.OnWebContentLoaded();
    ASSERT_EQ(d.calls.size(), 2u);
    EXPECT_EQ(d.calls[0], "begin 3");
    EXPECT_EQ(d.calls[1], "opened");
    EXPECT_TRUE(d.OnCanNavigateToURL("https://example.org"));
    EXPECT_FALSE(d.OnCanDownloadMIMEType("application/zip"));
}

} // namespace

// A timer tick's scripts reach the page as one, in their order; whatever
// else the plug-in asks of the web view goes after what was held before it.
TEST(PageScripts, HeldScriptsGoAsOneInOrderAndBeforeAnyOtherCall)
{
    RecordingDelegate d;
    RecordingWebView* view = d.web;
    d.EvaluateScript("a()");
    EXPECT_EQ(view->scripts, std::vector<std::string>{"a()"}) << "not held: sent at once";
    view->scripts.clear();

    d.HoldScripts();
    d.EvaluateScript("b()");
    d.EvaluateScript(std::string("c()"));
    EXPECT_TRUE(view->scripts.empty());
    d.SetWebViewBounds(0, 0, 10, 10);
    EXPECT_EQ(view->scripts, std::vector<std::string>{"b();\nc()"}) << "sent before the bounds";
    d.EvaluateScript("d()");
    d.FocusWebView();
    EXPECT_EQ(view->focusCount, 1);
    EXPECT_EQ(view->scripts.back(), "d()") << "sent before the focus";
    d.EvaluateScript("e()");
    d.SendHeldScripts();
    EXPECT_EQ(view->scripts.back(), "e()");
    const size_t sent = view->scripts.size();
    d.SendHeldScripts();
    EXPECT_EQ(view->scripts.size(), sent) << "nothing held, nothing sent";
    d.EvaluateScript("f()");
    EXPECT_EQ(view->scripts.back(), "f()") << "no longer held";

    d.HoldScripts();
    d.EvaluateScript("g()");
    auto backend = d.DetachWebViewBackend();
    EXPECT_EQ(view->scripts.back(), "g()") << "a closing editor still gets what was held";
    d.EvaluateScript("h()");
    d.SendHeldScripts();
    EXPECT_EQ(view->scripts.back(), "g()") << "without a web view scripts are dropped";
}
