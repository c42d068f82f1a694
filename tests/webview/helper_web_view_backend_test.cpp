// The plug-in's side of the helper link, against a helper played by the test
// through the other end of a socket pair.
#include "webview/helper_web_view_backend.h"

#include "framework/base64.h"
#include "framework/web_view_editor_delegate.h"
#include "webview/frame_codec.h"
#include "webview/helper_connection.h"
#include "webview/helper_protocol.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

namespace proto = plugfw::helper_protocol;
using plugfw::Frame;
using plugfw::FrameDecoder;

// The editor side as the plug-in has it, with what reaches it written down.
class RecordingEditor : public plugfw::WebViewEditorDelegate
{
public:
    RecordingEditor() : WebViewEditorDelegate(0) {}

    bool OnEditorMessage(int msgTag, int ctrlTag, int dataSize, const void* data) override
    {
        messages.push_back(
            std::to_string(msgTag) + " " + std::to_string(ctrlTag) + " " +
            std::string(static_cast<const char*>(data), static_cast<size_t>(dataSize)));
        if (closeOnMessage)
            DetachWebViewBackend();
        return true;
    }
    bool KeyDown(const plugfw::KeyPress& key) override
    {
        keys.push_back(key.keyCode);
        return true;
    }
    void EditorOpened() override { ++opened; }
    void OnWebViewReady() override { ++ready; }
    bool OnCanNavigateToURL(std::string_view url) override
    {
        asked.emplace_back(url);
        return true;
    }
    bool OnCanDownloadMIMEType(std::string_view type) override
    {
        asked.emplace_back(type);
        return false;
    }

    std::vector<std::string> messages;
    std::vector<int> keys;
    std::vector<std::string> asked;
    int opened = 0;
    int ready = 0;
    bool closeOnMessage = false;
};

class HelperBackend : public ::testing::Test
{
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        peer = fds[1];
        auto connection = plugfw::HelperConnectionOverSocket(fds[0], -1);
        ASSERT_NE(connection, nullptr);
        auto owned = std::make_unique<plugfw::HelperWebViewBackend>(editor, std::move(connection));
        backend = owned.get();
        editor.AttachWebViewBackend(std::move(owned));
    }
    void TearDown() override
    {
        editor.DetachWebViewBackend();
        if (peer >= 0)
            close(peer);
    }

    // What the helper would send.
    void HelperSends(char kind, const std::string& text)
    {
        std::string bytes;
        ASSERT_TRUE(plugfw::AppendFrame(bytes, kind, text));
        HelperSendsBytes(bytes);
    }
    void HelperSendsBytes(const std::string& bytes)
    {
        ASSERT_EQ(write(peer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Every frame the plug-in has written so far.
    std::vector<Frame> HelperReceives()
    {
        char buffer[65536];
        for (;;)
        {
            const ssize_t n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                break;
            decoder.Feed(buffer, static_cast<size_t>(n));
        }
        std::vector<Frame> frames;
        Frame f;
        while (decoder.Next(f) == FrameDecoder::Result::kFrame)
            frames.push_back(f);
        return frames;
    }
    void HelperCloses()
    {
        close(peer);
        peer = -1;
    }

    RecordingEditor editor;
    plugfw::HelperWebViewBackend* backend = nullptr;
    int peer = -1;
    FrameDecoder decoder;
};

TEST_F(HelperBackend, ScriptsBoundsScaleFocusAndPageAreFramedInOrder)
{
    editor.EvaluateScript("SPVFD(2, 0.500000)");
    editor.SetWebViewBounds(0, 0, 1084, 543);
    editor.SetWebViewScale(1.5f);
    editor.FocusWebView();
    editor.LoadFile("/b/Contents/Resources/web/index.html");
    backend->AddDocumentStartScript("function PluginSendMsg(m) {}");

    const auto frames = HelperReceives();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0].kind, proto::kRunScript);
    EXPECT_EQ(frames[0].text, "SPVFD(2, 0.500000)");
    EXPECT_EQ(frames[1].kind, proto::kBounds);
    EXPECT_EQ(frames[1].text, "0 0 1084 543");
    EXPECT_EQ(frames[2].kind, proto::kScale);
    EXPECT_EQ(frames[2].text, "1.500");
    EXPECT_EQ(frames[3].kind, proto::kFocus);
    EXPECT_EQ(frames[4].kind, proto::kLoadFile);
    EXPECT_EQ(frames[4].text, "/b/Contents/Resources/web/index.html");
    EXPECT_EQ(frames[5].kind, proto::kDocumentStartScript);
}

TEST_F(HelperBackend, NonsenseBoundsAndScalesAreNotSent)
{
    editor.SetWebViewBounds(0, 0, -1, 10);
    editor.SetWebViewScale(0.0f);
    editor.SetWebViewScale(-1.0f);
    EXPECT_TRUE(HelperReceives().empty());
}

TEST_F(HelperBackend, PageMessagesReachTheEditorAtThePoll)
{
    // {"a":1} in base64 is eyJhIjoxfQ==
    HelperSends(proto::kPageMessage,
                R"({"msg":"SAMFUI","msgTag":12,"ctrlTag":0,"data":"eyJhIjoxfQ=="})");
    HelperSends(proto::kPageMessage, R"({"msg":"SKPFUI","keyCode":97,"utf8":"1","S":false,)"
                                     R"("C":false,"A":false,"isUp":false})");
    EXPECT_TRUE(editor.messages.empty()) << "nothing is delivered outside the poll";

    editor.PollWebView();
    ASSERT_EQ(editor.messages.size(), 1u);
    EXPECT_EQ(editor.messages[0], "12 0 {\"a\":1}");
    ASSERT_EQ(editor.keys.size(), 1u);
    EXPECT_EQ(editor.keys[0], 49); // numeric keypad 1
}

TEST_F(HelperBackend, ContentLoadedSendsTheParamsMessageFirst)
{
    HelperSends(proto::kReady, "");
    HelperSends(proto::kContentLoaded, "");
    editor.PollWebView();
    EXPECT_EQ(editor.ready, 1);
    EXPECT_EQ(editor.opened, 1);

    const auto frames = HelperReceives();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].kind, proto::kRunScript);
    const std::string prefix = "SAMFD(-1, ";
    ASSERT_EQ(frames[0].text.rfind(prefix, 0), 0u) << frames[0].text;
    // The payload decodes to the (here empty) parameter list.
    const size_t quote = frames[0].text.find('\'');
    const size_t end = frames[0].text.rfind('\'');
    ASSERT_NE(quote, std::string::npos);
    std::vector<uint8_t> bytes(256);
    bytes.resize(plugfw::Base64Decode(frames[0].text.substr(quote + 1, end - quote - 1),
                                      bytes.data(), bytes.size()));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), R"({"id":"params","params":[]})");
}

TEST_F(HelperBackend, FramesSplitAcrossPollsArriveWhole)
{
    std::string bytes;
    plugfw::AppendFrame(bytes, proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":8,"ctrlTag":1})");
    plugfw::AppendFrame(bytes, proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":9,"ctrlTag":2})");
    const size_t cut = 7;
    HelperSendsBytes(bytes.substr(0, cut));
    editor.PollWebView();
    EXPECT_TRUE(editor.messages.empty());
    HelperSendsBytes(bytes.substr(cut));
    editor.PollWebView();
    ASSERT_EQ(editor.messages.size(), 2u);
    EXPECT_EQ(editor.messages[0], "8 1 ");
    EXPECT_EQ(editor.messages[1], "9 2 ");
}

TEST_F(HelperBackend, QuestionsAreAnsweredByTheirNumber)
{
    HelperSends(proto::kNavigationQuestion, proto::QuestionText(5, "ostrel://page/index.html"));
    HelperSends(proto::kDownloadQuestion, proto::QuestionText(6, "application/zip"));
    HelperSends(proto::kNavigationQuestion, "garbled");
    editor.PollWebView();
    ASSERT_EQ(editor.asked.size(), 2u);
    EXPECT_EQ(editor.asked[0], "ostrel://page/index.html");
    EXPECT_EQ(editor.asked[1], "application/zip");

    const auto frames = HelperReceives();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, proto::kAnswer);
    EXPECT_EQ(frames[0].text, "5 1");
    EXPECT_EQ(frames[1].kind, proto::kAnswer);
    EXPECT_EQ(frames[1].text, "6 0");
}

TEST_F(HelperBackend, UnknownReportsAreIgnored)
{
    HelperSends('?', "from a newer helper");
    HelperSends(proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":3,"ctrlTag":0})");
    editor.PollWebView();
    ASSERT_EQ(editor.messages.size(), 1u);
    EXPECT_TRUE(backend->HelperAlive());
}

TEST_F(HelperBackend, DeadHelperLeavesEverythingQuiet)
{
    HelperSends(proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":4,"ctrlTag":0})");
    HelperCloses();
    editor.PollWebView();
    // What arrived before the end is still delivered; then silence.
    ASSERT_EQ(editor.messages.size(), 1u);
    EXPECT_FALSE(backend->HelperAlive());
    editor.EvaluateScript("SPVFD(0, 1.000000)");
    editor.FocusWebView();
    editor.PollWebView();
    EXPECT_EQ(editor.messages.size(), 1u);
    EXPECT_EQ(backend->PendingOutput(), 0u);
}

TEST_F(HelperBackend, CorruptLengthEndsTheLink)
{
    HelperSendsBytes(std::string("\xFF\xFF\xFF\xFF", 4) + "M{}");
    HelperSends(proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":4,"ctrlTag":0})");
    editor.PollWebView();
    EXPECT_TRUE(editor.messages.empty());
    EXPECT_FALSE(backend->HelperAlive());
}

TEST_F(HelperBackend, ClosingTheEditorFromAMessageStopsDelivery)
{
    editor.closeOnMessage = true;
    HelperSends(proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":1,"ctrlTag":0})");
    HelperSends(proto::kPageMessage, R"({"msg":"SAMFUI","msgTag":2,"ctrlTag":0})");
    editor.PollWebView();
    EXPECT_EQ(editor.messages.size(), 1u);
    EXPECT_FALSE(editor.HasWebView());
    // The close was still said to the helper.
    const auto frames = HelperReceives();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().kind, proto::kClose);
}

TEST_F(HelperBackend, DetachingSaysCloseToTheHelper)
{
    editor.DetachWebViewBackend();
    const auto frames = HelperReceives();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, proto::kClose);
    // The stream then ends.
    char byte;
    EXPECT_EQ(recv(peer, &byte, 1, 0), 0);
}

TEST_F(HelperBackend, HelperThatStopsReadingNeverBlocksThePlugin)
{
    // The helper reads nothing: the socket fills, frames queue up to the
    // limit and later ones are dropped, all without blocking.
    const std::string script(8000, 'x');
    for (int i = 0; i < 3000; ++i)
        editor.EvaluateScript(script);
    EXPECT_TRUE(backend->HelperAlive());
    EXPECT_LE(backend->PendingOutput(), plugfw::HelperWebViewBackend::kMaxPendingOutput);
    EXPECT_GT(backend->PendingOutput(), 0u);

    // Once it reads again, the queue drains at the polls and whole frames
    // arrive.
    size_t received = 0;
    for (int i = 0; i < 2000 && (backend->PendingOutput() > 0 || i == 0); ++i)
    {
        for (const Frame& f : HelperReceives())
        {
            ASSERT_EQ(f.text.size(), script.size());
            ++received;
        }
        editor.PollWebView();
    }
    for (const Frame& f : HelperReceives())
    {
        ASSERT_EQ(f.text.size(), script.size());
        ++received;
    }
    EXPECT_EQ(backend->PendingOutput(), 0u);
    EXPECT_GT(received, 1000u);
    EXPECT_LT(received, 3000u);
}

} // namespace
