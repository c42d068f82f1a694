// Starting, talking to and collecting real helper processes: small shell
// scripts stand in for the browser.
#include "webview/frame_codec.h"
#include "webview/helper_connection.h"
#include "webview/helper_protocol.h"
#include "webview/helper_web_view.h"
#include "webview/helper_web_view_backend.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace
{

namespace fs = std::filesystem;
namespace proto = plugfw::helper_protocol;

class CountingView : public plugfw::IWebView
{
public:
    void OnWebViewReady() override { ++ready; }
    void OnWebMessage(std::string_view json) override { messages.emplace_back(json); }
    int ready = 0;
    std::vector<std::string> messages;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 8000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end)
    {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class HelperProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("ostrel-helper-process-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        // Earlier tests' helpers are gone before counting this one's.
        WaitFor(
            []
            {
                plugfw::ReapClosedWebViewHelpers();
                return plugfw::PendingWebViewHelpers() == 0;
            });
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path Script(const std::string& name, const std::string& body)
    {
        const fs::path p = folder / name;
        std::ofstream(p) << "#!/bin/sh\n" << body;
        fs::permissions(p, fs::perms::owner_all);
        return p;
    }

    fs::path folder;
};

TEST_F(HelperProcess, MissingOrNonExecutableHelperFailsQuietly)
{
    EXPECT_EQ(plugfw::StartWebViewHelper((folder / "ostrel-webview").string(), 0x400001), nullptr);
    std::ofstream(folder / "plain") << "not a program";
    EXPECT_EQ(plugfw::StartWebViewHelper((folder / "plain").string(), 0x400001), nullptr);
    EXPECT_EQ(plugfw::StartWebViewHelper("", 0x400001), nullptr);

    CountingView view;
    plugfw::EditorWebViewSettings settings;
    settings.helperPath = (folder / "ostrel-webview").string();
    settings.moduleFolder = folder.string();
    settings.parentWindow = 0x400001;
    settings.width = 1084;
    settings.height = 543;
    EXPECT_FALSE(plugfw::OpenHelperWebView(view, settings));
    EXPECT_FALSE(view.HasWebView());
    view.EvaluateScript("SPVFD(0, 0.000000)"); // dropped, nothing breaks
    view.PollWebView();
    EXPECT_EQ(plugfw::PendingWebViewHelpers(), 0);
}

TEST(HelperModuleFolder, IsTheFolderOfTheFileHoldingTheCode)
{
    // Linked statically here, so the "module" is this test program.
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string folder = plugfw::WebViewModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/') << folder;
    EXPECT_TRUE(fs::equivalent(folder, self.parent_path())) << folder;
}

TEST_F(HelperProcess, NoParentWindowStartsNothing)
{
    const fs::path started = folder / "started";
    const fs::path helper = Script("helper", "touch '" + started.string() + "'\n");
    CountingView view;
    plugfw::EditorWebViewSettings settings;
    settings.helperPath = helper.string();
    settings.moduleFolder = folder.string();
    settings.parentWindow = 0;
    EXPECT_FALSE(plugfw::OpenHelperWebView(view, settings));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(started));
}

TEST_F(HelperProcess, HelperGetsItsArgumentsTheSocketAndNothingElse)
{
    // A descriptor of the host without close-on-exec must not reach the helper.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ASSERT_EQ(dup2(leaked, 200), 200);
    close(leaked);

    const fs::path args = folder / "args";
    const fs::path fds = folder / "fds";
    const fs::path received = folder / "received";
    const fs::path helper = Script("helper", "echo \"$1 $2 $3\" > '" + args.string() + "'\n" +
                                                 "ls /proc/$$/fd > '" + fds.string() + "'\n" +
                                                 // A ready frame: length 1, kind R.
                                                 "printf '\\001\\000\\000\\000R' >&3\n" +
                                                 "cat <&3 > '" + received.string() + "'\n");

    // A page in the bundle's place beside the "module" folder.
    fs::create_directories(folder / "Resources" / "web");
    std::ofstream(folder / "Resources" / "web" / "index.html") << "<html></html>";
    fs::create_directories(folder / "module");

    CountingView view;
    plugfw::EditorWebViewSettings settings;
    settings.helperPath = helper.string();
    settings.moduleFolder = (folder / "module").string();
    settings.parentWindow = 0x2a00007;
    settings.width = 1084;
    settings.height = 543;
    settings.scale = 1.25f;
    ASSERT_TRUE(plugfw::OpenHelperWebView(view, settings));
    close(200);
    ASSERT_TRUE(view.HasWebView());
    ASSERT_TRUE(WaitFor(
        [&]
        {
            view.PollWebView();
            return view.ready == 1;
        }));
    view.EvaluateScript("SPVFD(1, 0.250000)");
    view.DetachWebViewBackend(); // says close, ends the stream

    // The helper sees the end of its stream, exits and is collected.
    ASSERT_TRUE(WaitFor(
        []
        {
            plugfw::ReapClosedWebViewHelpers();
            return plugfw::PendingWebViewHelpers() == 0;
        }));

    EXPECT_EQ(ReadFile(args),
              "3 " + std::to_string(0x2a00007) + " " + std::to_string(getpid()) + "\n");
    std::istringstream fdList(ReadFile(fds));
    std::vector<int> open;
    for (int fd; fdList >> fd;)
        open.push_back(fd);
    EXPECT_NE(std::find(open.begin(), open.end(), 3), open.end());
    EXPECT_EQ(std::find(open.begin(), open.end(), 200), open.end());

    // Everything the plug-in sent, in order: the three document-start
    // scripts, scale, bounds, the page found above the module folder, the
    // script, close.
    plugfw::FrameDecoder decoder;
    const std::string bytes = ReadFile(received);
    decoder.Feed(bytes.data(), bytes.size());
    std::vector<plugfw::Frame> frames;
    plugfw::Frame f;
    while (decoder.Next(f) == plugfw::FrameDecoder::Result::kFrame)
        frames.push_back(f);
    ASSERT_EQ(frames.size(), 8u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frames[static_cast<size_t>(i)].kind, proto::kDocumentStartScript);
    EXPECT_EQ(frames[0].text, "function PluginSendMsg(m) {window.chrome.webview.postMessage(m)};");
    EXPECT_NE(frames[1].text.find("'keydown'"), std::string::npos);
    EXPECT_NE(frames[2].text.find("'keyup'"), std::string::npos);
    EXPECT_EQ(frames[3].kind, proto::kScale);
    EXPECT_EQ(frames[3].text, "1.250");
    EXPECT_EQ(frames[4].kind, proto::kBounds);
    EXPECT_EQ(frames[4].text, "0 0 1084 543");
    EXPECT_EQ(frames[5].kind, proto::kLoadFile);
    EXPECT_EQ(frames[5].text, (folder / "Resources" / "web" / "index.html").string());
    EXPECT_EQ(frames[6].kind, proto::kRunScript);
    EXPECT_EQ(frames[6].text, "SPVFD(1, 0.250000)");
    EXPECT_EQ(frames[7].kind, proto::kClose);
}

TEST_F(HelperProcess, HelperThatDiesAtOnceLeavesTheEditorQuiet)
{
    // No display, a missing library: the helper ends before saying anything.
    const fs::path helper = Script("helper", "exit 1\n");
    CountingView view;
    plugfw::EditorWebViewSettings settings;
    settings.helperPath = helper.string();
    settings.moduleFolder = folder.string();
    settings.parentWindow = 0x400001;
    ASSERT_TRUE(plugfw::OpenHelperWebView(view, settings));
    auto* backend =
        dynamic_cast<plugfw::HelperWebViewBackend*>(view.DetachWebViewBackend().release());
    ASSERT_NE(backend, nullptr);
    view.AttachWebViewBackend(std::unique_ptr<plugfw::WebViewBackend>(backend));
    ASSERT_TRUE(WaitFor(
        [&]
        {
            view.PollWebView();
            return !backend->HelperAlive();
        }));
    view.EvaluateScript("SPVFD(0, 0.000000)");
    view.PollWebView();
    EXPECT_EQ(view.ready, 0);
    EXPECT_TRUE(view.messages.empty());
    view.DetachWebViewBackend();
    EXPECT_TRUE(WaitFor(
        []
        {
            plugfw::ReapClosedWebViewHelpers();
            return plugfw::PendingWebViewHelpers() == 0;
        }));
}

TEST_F(HelperProcess, HelperThatIgnoresCloseIsKilled)
{
    const fs::path pidFile = folder / "pid";
    const fs::path helper = Script("helper", "trap '' TERM HUP\necho $$ > '" + pidFile.string() +
                                                 "'\nexec 3<&-\nwhile :; do sleep 0.05; done\n");
    auto connection = plugfw::StartWebViewHelper(helper.string(), 0x400001);
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(pidFile) && !ReadFile(pidFile).empty(); }));
    connection.reset();
    EXPECT_EQ(plugfw::PendingWebViewHelpers(), 1);
    // Collected within the grace period and a little more, without waiting
    // in any call.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor(
        []
        {
            const auto before = std::chrono::steady_clock::now();
            plugfw::ReapClosedWebViewHelpers();
            EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
            return plugfw::PendingWebViewHelpers() == 0;
        },
        10000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

} // namespace
