// The real browser helper inside a real X11 window: it embeds, loads a page
// from the private scheme with the document-start scripts in place, and the
// page's messages arrive. Runs only where a display and the built helper
// exist (for instance under xvfb-run); skipped otherwise.
#include "missing_dependency.h"
#include "webview/helper_connection.h"
#include "webview/helper_web_view.h"
#include "webview/helper_web_view_backend.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

extern char** environ;

namespace
{

namespace fs = std::filesystem;

// The few Xlib calls the test needs, loaded at run time so that the test
// program does not depend on X11 where it is skipped.
struct Xlib
{
    using Display = void;
    using Window = unsigned long;

    void* library = nullptr;
    Display* (*OpenDisplay)(const char*) = nullptr;
    Window (*DefaultRootWindow)(Display*) = nullptr;
    Window (*CreateSimpleWindow)(Display*, Window, int, int, unsigned, unsigned, unsigned,
                                 unsigned long, unsigned long) = nullptr;
    int (*MapWindow)(Display*, Window) = nullptr;
    int (*Sync)(Display*, int) = nullptr;
    int (*QueryTree)(Display*, Window, Window*, Window*, Window**, unsigned*) = nullptr;
    int (*GetGeometry)(Display*, Window, Window*, int*, int*, unsigned*, unsigned*, unsigned*,
                       unsigned*) = nullptr;
    int (*Free)(void*) = nullptr;
    int (*DestroyWindow)(Display*, Window) = nullptr;
    int (*CloseDisplay)(Display*) = nullptr;

    bool Load()
    {
        library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return false;
        return Get(OpenDisplay, "XOpenDisplay") && Get(DefaultRootWindow, "XDefaultRootWindow") &&
               Get(CreateSimpleWindow, "XCreateSimpleWindow") && Get(MapWindow, "XMapWindow") &&
               Get(Sync, "XSync") && Get(QueryTree, "XQueryTree") &&
               Get(GetGeometry, "XGetGeometry") && Get(Free, "XFree") &&
               Get(DestroyWindow, "XDestroyWindow") && Get(CloseDisplay, "XCloseDisplay");
    }
    template <typename F> bool Get(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(library, name));
        return f != nullptr;
    }
};

class RecordingView : public plugfw::IWebView
{
public:
    void OnWebViewReady() override { ++ready; }
    void OnWebContentLoaded() override { ++loaded; }
    void OnWebMessage(std::string_view json) override { messages.emplace_back(json); }
    bool OnCanNavigateToURL(std::string_view url) override
    {
        navigations.emplace_back(url);
        return true;
    }
    bool Has(const std::string& message) const
    {
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }
    int ready = 0;
    int loaded = 0;
    std::vector<std::string> messages;
    std::vector<std::string> navigations;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end)
    {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

// The helper as the build puts it in the bundle beside this test program's
// build folder.
fs::path BuiltHelper()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return self.parent_path().parent_path() / "Ostrel.vst3" / "Contents" / "x86_64-linux" /
           plugfw::kWebViewHelperName;
}

constexpr const char* kPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><script src="sub/app.js"></script></head>
<body style="background:#2a6">
<script>
  window.echo = function (v) { PluginSendMsg({msg: 'echo', value: v}); };
  PluginSendMsg({msg: 'hello', text: 'caf\u00e9'});
  fetch('..%2fsecret.txt').then(function () { PluginSendMsg({msg: 'leak'}); },
                              function () { PluginSendMsg({msg: 'refused'}); });
</script></body></html>)";

TEST(HelperEndToEnd, EmbedsLoadsThePageAndCarriesMessagesBothWays)
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        OSTREL_SKIP_FOR_MISSING("no X display (run under xvfb-run to include this test)");
    const fs::path helper = BuiltHelper();
    if (helper.empty() || access(helper.c_str(), X_OK) != 0)
        OSTREL_SKIP_FOR_MISSING("helper not built: " << helper);
    Xlib x;
    if (!x.Load())
        OSTREL_SKIP_FOR_MISSING("libX11 not available");
    Xlib::Display* d = x.OpenDisplay(nullptr);
    if (d == nullptr)
        OSTREL_SKIP_FOR_MISSING("cannot open the display");

    const fs::path folder =
        fs::temp_directory_path() / ("ostrel-helper-e2e-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Resources" / "web" / "sub");
    fs::create_directories(folder / "module");
    std::ofstream(folder / "Resources" / "web" / "index.html") << kPage;
    std::ofstream(folder / "Resources" / "web" / "sub" / "app.js")
        << "PluginSendMsg({msg: 'script-file'});";
    std::ofstream(folder / "Resources" / "secret.txt") << "outside the page folder";

    const Xlib::Window parent =
        x.CreateSimpleWindow(d, x.DefaultRootWindow(d), 0, 0, 400, 300, 0, 0, 0x303030);
    x.MapWindow(d, parent);
    x.Sync(d, 0);

    RecordingView view;
    plugfw::EditorWebViewSettings settings;
    settings.helperPath = helper.string();
    settings.moduleFolder = (folder / "module").string();
    settings.parentWindow = parent;
    settings.width = 400;
    settings.height = 300;
    ASSERT_TRUE(plugfw::OpenHelperWebView(view, settings));

    const bool loaded = WaitFor(
        [&]
        {
            view.PollWebView();
            return view.loaded >= 1 && view.Has(R"({"msg":"refused"})");
        },
        30000);
    ASSERT_TRUE(loaded) << "ready " << view.ready << ", loaded " << view.loaded << ", messages "
                        << view.messages.size();
    EXPECT_EQ(view.ready, 1);
    ASSERT_FALSE(view.navigations.empty());
    EXPECT_EQ(view.navigations[0], "ostrel://page/index.html");
    // The sub-resource came from the page folder, text arrives as UTF-8, and
    // nothing outside the folder is served.
    EXPECT_TRUE(view.Has(R"({"msg":"script-file"})"));
    EXPECT_TRUE(view.Has("{\"msg\":\"hello\",\"text\":\"caf\xC3\xA9\"}"));
    EXPECT_FALSE(view.Has(R"({"msg":"leak"})"));

    view.EvaluateScript("echo(6 * 7)");
    EXPECT_TRUE(WaitFor(
        [&]
        {
            view.PollWebView();
            return view.Has(R"({"msg":"echo","value":42})");
        },
        10000));

    // The helper's window lives inside the parent and covers it.
    Xlib::Window root = 0;
    Xlib::Window parentOfParent = 0;
    Xlib::Window* children = nullptr;
    unsigned count = 0;
    x.QueryTree(d, parent, &root, &parentOfParent, &children, &count);
    ASSERT_EQ(count, 1u);
    int cx = 0;
    int cy = 0;
    unsigned cw = 0;
    unsigned ch = 0;
    unsigned border = 0;
    unsigned depth = 0;
    x.GetGeometry(d, children[0], &root, &cx, &cy, &cw, &ch, &border, &depth);
    x.Free(children);
    EXPECT_EQ(cw, 400u);
    EXPECT_EQ(ch, 300u);

    view.DetachWebViewBackend();
    EXPECT_TRUE(WaitFor(
        []
        {
            plugfw::ReapClosedWebViewHelpers();
            return plugfw::PendingWebViewHelpers() == 0;
        },
        10000));

    x.DestroyWindow(d, parent);
    x.CloseDisplay(d);
    fs::remove_all(folder);
}

// The host destroys its window right after opening the editor, before or
// after it closes the stream: the helper goes without a word from the
// toolkit (it destroys a plug whose window is gone by itself, and nothing of
// it may be touched after that).
TEST(HelperEndToEnd, AHostWindowGoneRightAfterOpeningLeavesTheToolkitQuiet)
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        OSTREL_SKIP_FOR_MISSING("no X display (run under xvfb-run to include this test)");
    const fs::path helper = BuiltHelper();
    if (helper.empty() || access(helper.c_str(), X_OK) != 0)
        OSTREL_SKIP_FOR_MISSING("helper not built: " << helper);
    Xlib x;
    if (!x.Load())
        OSTREL_SKIP_FOR_MISSING("libX11 not available");
    Xlib::Display* d = x.OpenDisplay(nullptr);
    if (d == nullptr)
        OSTREL_SKIP_FOR_MISSING("cannot open the display");

    // The window's moment of going is a race with the helper's start-up:
    // first a plain start and close measures how long the start-up takes
    // here, then the window goes at steps through that time.
    constexpr int kSteps = 8;
    auto startup = std::chrono::milliseconds(0);
    for (int attempt = 0; attempt <= kSteps; ++attempt)
    {
        const bool windowFirst = attempt > 0;
        const auto started = std::chrono::steady_clock::now();
        const Xlib::Window parent =
            x.CreateSimpleWindow(d, x.DefaultRootWindow(d), 0, 0, 400, 300, 0, 0, 0x303030);
        x.MapWindow(d, parent);
        x.Sync(d, 0);
        // The helper as the plug-in starts it, but with its error output here.
        int stream[2];
        int errors[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stream), 0);
        ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, stream[1], 3);
        posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
        const std::string parentText = std::to_string(parent);
        const std::string pidText = std::to_string(getpid());
        std::string program = helper.string();
        std::string fdText = "3";
        std::string parentArg = parentText;
        std::string pidArg = pidText;
        char* argv[] = {program.data(), fdText.data(), parentArg.data(), pidArg.data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(stream[1]);
        close(errors[1]);

        if (windowFirst)
        {
            // Right after opening, while the helper sets itself up.
            std::this_thread::sleep_for(startup * attempt / (kSteps - 2));
            x.DestroyWindow(d, parent);
            x.Sync(d, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            close(stream[0]);
        }
        else
        {
            // Ready (its first frame), then closed as a host closes.
            pollfd ready{stream[0], POLLIN, 0};
            ASSERT_EQ(poll(&ready, 1, 30000), 1) << "the helper never reported";
            startup = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            close(stream[0]);
            x.DestroyWindow(d, parent);
            x.Sync(d, 0);
        }
        int status = 0;
        const bool exited = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
        if (!exited)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(exited) << "the helper stayed";
        std::string output;
        char buffer[4096];
        for (ssize_t n; (n = read(errors[0], buffer, sizeof buffer)) > 0;)
            output.append(buffer, static_cast<size_t>(n));
        close(errors[0]);
        EXPECT_EQ(output.find("CRITICAL"), std::string::npos)
            << (windowFirst ? "window first: " : "stream first: ") << output;
    }
    x.CloseDisplay(d);
}

} // namespace
