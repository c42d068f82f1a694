// ostrel-webview: the editor page's browser, a process of its own so that no
// toolkit is loaded into the host. Started by the plug-in as
//   ostrel-webview <socket fd> <parent X11 window id> <plug-in process id>
// it lives inside the parent window until the plug-in closes the stream,
// asks it to close, the parent window disappears or the plug-in's process
// dies.
#include "webview/helper/page_window.h"
#include "webview/helper/plugin_channel.h"

#include <fcntl.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

template <typename T> bool ParseArgument(const char* text, T& value)
{
    const char* end = text + std::strlen(text);
    const auto [last, error] = std::from_chars(text, end, value);
    return error == std::errc() && last == end && last != text;
}

} // namespace

int main(int argc, char** argv)
{
    int fd = -1;
    unsigned long parent = 0;
    long pluginPid = 0;
    if (argc != 4 || !ParseArgument(argv[1], fd) || !ParseArgument(argv[2], parent) ||
        !ParseArgument(argv[3], pluginPid) || fd < 0 || parent == 0)
        return 2;

    // Never outlive the host, even if it dies without closing the stream.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != static_cast<pid_t>(pluginPid))
        return 0;
    signal(SIGPIPE, SIG_IGN);
    // The browser's own processes must not hold the plug-in's stream open.
    fcntl(fd, F_SETFD, FD_CLOEXEC);

    // The parent is an X11 window, whatever the desktop session prefers.
    setenv("GDK_BACKEND", "x11", 1);
    // Sizes come from the host's window (device pixels) and its content
    // scale; a desktop-wide toolkit scale would apply a second time.
    setenv("GDK_SCALE", "1", 1);
    setenv("GDK_DPI_SCALE", "1", 1);
    if (!gtk_init_check(nullptr, nullptr))
        return 1;
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        return 1;

    ostrel_webview::PageWindow* window = nullptr;
    ostrel_webview::PluginChannel channel(
        fd,
        [&window](const plugfw::Frame& frame)
        {
            if (window != nullptr)
                window->HandleFrame(frame);
        },
        [&window]
        {
            if (window != nullptr)
                window->Quit();
            else if (gtk_main_level() > 0)
                gtk_main_quit();
        });

    auto page = std::make_unique<ostrel_webview::PageWindow>(static_cast<Window>(parent), channel);
    if (!page->Created())
        return 1;
    window = page.get();
    if (!page->Quitting())
        gtk_main();
    window = nullptr;
    page.reset();
    return 0;
}
