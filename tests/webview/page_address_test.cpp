#include "webview/page_address.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{

namespace fs = std::filesystem;
using plugfw::JudgeNavigation;
using plugfw::NavigationVerdict;

TEST(PageAddress, SplitsAtTheLastSeparator)
{
    const auto a = plugfw::SplitPagePath("/opt/b/Resources/web/index.html");
    EXPECT_EQ(a.folder, "/opt/b/Resources/web");
    EXPECT_EQ(a.fileName, "index.html");
    const auto bare = plugfw::SplitPagePath("index.html");
    EXPECT_EQ(bare.folder, "");
    EXPECT_EQ(bare.fileName, "index.html");
    const auto backslash = plugfw::SplitPagePath("C:\\web\\index.html");
    EXPECT_EQ(backslash.folder, "C:\\web");
    EXPECT_EQ(backslash.fileName, "index.html");
}

TEST(PageAddress, EncodesEverythingButUnreservedCharacters)
{
    EXPECT_EQ(plugfw::PageAddress("index.html"), "ostrel://page/index.html");
    EXPECT_EQ(plugfw::PageAddress("a b#?%.html"), "ostrel://page/a%20b%23%3F%25.html");
    EXPECT_EQ(plugfw::PageAddress("sub/x~y_z-1.js"), "ostrel://page/sub/x~y_z-1.js");
    EXPECT_EQ(plugfw::PageAddress("\xC3\xA9.html"), "ostrel://page/%C3%A9.html");
}

class PageFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() /
               ("ostrel-page-files-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(base);
        folder = base / "web";
        fs::create_directories(folder / "sub");
        Write(folder / "index.html");
        Write(folder / "sub" / "app.js");
        Write(folder / "a b.css");
        Write(base / "secret.txt");
    }
    void TearDown() override { fs::remove_all(base); }
    static void Write(const fs::path& p) { std::ofstream(p) << "x"; }
    std::optional<std::string> Resolve(std::string_view request) const
    {
        return plugfw::ResolvePageFile(folder.string(), request);
    }
    std::string Canonical(const fs::path& p) const { return fs::canonical(p).string(); }

    fs::path base;
    fs::path folder;
};

TEST_F(PageFiles, ServesFilesOfTheFolder)
{
    EXPECT_EQ(Resolve("/index.html"), Canonical(folder / "index.html"));
    EXPECT_EQ(Resolve("/sub/app.js"), Canonical(folder / "sub" / "app.js"));
    EXPECT_EQ(Resolve("/a%20b.css"), Canonical(folder / "a b.css"));
    EXPECT_EQ(Resolve("//index.html"), Canonical(folder / "index.html"));
    EXPECT_EQ(Resolve("/sub/../index.html"), Canonical(folder / "index.html"));
}

TEST_F(PageFiles, NothingOutsideTheFolderIsServed)
{
    EXPECT_FALSE(Resolve("/../secret.txt"));
    EXPECT_FALSE(Resolve("/%2e%2e/secret.txt"));
    EXPECT_FALSE(Resolve("/sub/../../secret.txt"));
    EXPECT_FALSE(Resolve("/..%2fsecret.txt"));
    EXPECT_FALSE(Resolve("/../web-other/index.html"));

    // A link inside the folder that leads out of it.
    fs::create_symlink(base / "secret.txt", folder / "link.txt");
    EXPECT_FALSE(Resolve("/link.txt"));
    // A sibling folder whose name starts like the page folder.
    fs::create_directories(base / "web2");
    Write(base / "web2" / "x.html");
    EXPECT_FALSE(Resolve("/../web2/x.html"));
}

TEST_F(PageFiles, RejectsMissingFoldersAndBadRequests)
{
    EXPECT_FALSE(Resolve("/missing.html"));
    EXPECT_FALSE(Resolve("/sub"));
    EXPECT_FALSE(Resolve("/"));
    EXPECT_FALSE(Resolve(""));
    EXPECT_FALSE(Resolve("/index.html%"));
    EXPECT_FALSE(Resolve("/index%2.html"));
    EXPECT_FALSE(Resolve("/index.html%00.js"));
    // No folder mapped (the page was not found) or a relative one.
    EXPECT_FALSE(plugfw::ResolvePageFile("", "/index.html"));
    EXPECT_FALSE(plugfw::ResolvePageFile("web", "/index.html"));
}

TEST(PageAddress, MimeTypesByExtension)
{
    EXPECT_EQ(plugfw::PageMimeType("/a/index.html"), "text/html");
    EXPECT_EQ(plugfw::PageMimeType("app.JS"), "text/javascript");
    EXPECT_EQ(plugfw::PageMimeType("style.css"), "text/css");
    EXPECT_EQ(plugfw::PageMimeType("icon.svg"), "image/svg+xml");
    EXPECT_EQ(plugfw::PageMimeType("font.woff2"), "font/woff2");
    EXPECT_EQ(plugfw::PageMimeType("data.json"), "application/json");
    EXPECT_EQ(plugfw::PageMimeType("noext"), "application/octet-stream");
    EXPECT_EQ(plugfw::PageMimeType("dir.js/file"), "application/octet-stream");
}

struct NavigationCase
{
    const char* address;
    bool newWindow;
    bool userLink;
    NavigationVerdict verdict;
};

class PageNavigation : public ::testing::TestWithParam<NavigationCase>
{
};

TEST_P(PageNavigation, Verdict)
{
    const NavigationCase& c = GetParam();
    EXPECT_EQ(JudgeNavigation(c.address, c.newWindow, c.userLink), c.verdict)
        << c.address << " newWindow=" << c.newWindow << " userLink=" << c.userLink;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, PageNavigation,
    ::testing::Values(
        NavigationCase{"ostrel://page/index.html", false, false, NavigationVerdict::kAskOwner},
        NavigationCase{"OSTREL://PAGE/index.html", false, true, NavigationVerdict::kAskOwner},
        NavigationCase{"about:blank", false, false, NavigationVerdict::kAllow},
        // The editor never leaves its page for the web.
        NavigationCase{"https://example.com/manual", false, true,
                       NavigationVerdict::kOpenExternally},
        NavigationCase{"https://example.com/manual", false, false, NavigationVerdict::kRefuse},
        NavigationCase{"http://example.com/", true, false, NavigationVerdict::kOpenExternally},
        NavigationCase{"HTTPS://example.com/", true, true, NavigationVerdict::kOpenExternally},
        // New windows on anything but the web, and other schemes, go nowhere.
        NavigationCase{"ostrel://page/index.html", true, true, NavigationVerdict::kRefuse},
        NavigationCase{"file:///etc/passwd", false, true, NavigationVerdict::kRefuse},
        NavigationCase{"javascript:alert(1)", true, true, NavigationVerdict::kRefuse},
        NavigationCase{"ostrel://other/index.html", false, true, NavigationVerdict::kRefuse},
        NavigationCase{"mailto:a@example.com", false, true, NavigationVerdict::kRefuse}));

} // namespace
