#include "editor_messages/web_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace ostrel;

std::vector<std::string> gOpened;
void Record(const std::string& url)
{
    gOpened.push_back(url);
}

TEST(WebLink, OnlyHttpAndHttpsAddressesAreOpened)
{
    gOpened.clear();
    setWebLinkOpenerForTesting(&Record);
    const std::string urls[] = {
        "https://example.org/x",
        "http://example.org",
        "HTTPS://example.org",
        "Http://example.org",
        "mailto:a@b.c",
        "file:///etc/passwd",
        "",
        "https:/example.org",
        " https://example.org",
        "javascript:alert(1)",
        "https://",
    };
    for (const std::string& url : urls)
        OpenWebLink(url);
    setWebLinkOpenerForTesting(nullptr);
    EXPECT_EQ(gOpened, (std::vector<std::string>{"https://example.org/x", "http://example.org",
                                                 "https://"}));
}

// The real platform opener, with a stand-in xdg-open first in PATH that
// writes down the arguments it received.
TEST(WebLink, AddressReachesTheOpenerAsOneArgumentWithoutAShell)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ostrel-xdg-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path log = dir / "args.txt";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << log.string()
               << ".part'; done\nmv '" << log.string() << ".part' '" << log.string() << "'\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath != nullptr ? oldPath : "";
    setenv("PATH", (dir.string() + ":" + savedPath).c_str(), 1);

    const std::string url = "https://example.org/a?b=1&c=$(touch pwned);d `x` 'q'";
    OpenUrlWithDefaultHandler(url);
    setenv("PATH", savedPath.c_str(), 1);

    std::string received;
    for (int i = 0; i < 200 && !fs::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    received = text.str();
    EXPECT_EQ(received, url + "\n");
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    fs::remove_all(dir);
}

} // namespace
