// The editor page is found in a bundle whose folder names hold characters
// outside the ANSI code page, as a user's own folders may.
#include "webview/editor_page_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{

namespace fs = std::filesystem;

std::string Utf8Of(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class WindowsEditorPageLocation : public ::testing::TestWithParam<const char8_t*>
{
};

TEST_P(WindowsEditorPageLocation, FindsThePageBesideAModuleInAUnicodeFolder)
{
    const fs::path root = fs::temp_directory_path() / fs::path(std::u8string(GetParam()));
    fs::remove_all(root);
    const fs::path moduleFolder = root / "Contents" / "x86_64-win";
    const fs::path page = root / "Contents" / "Resources" / "web" / "index.html";
    fs::create_directories(moduleFolder);
    fs::create_directories(page.parent_path());
    std::ofstream(page) << "<html></html>";

    EXPECT_EQ(plugfw::FindEditorPage(Utf8Of(moduleFolder)), Utf8Of(page));
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Folders, WindowsEditorPageLocation,
                         ::testing::Values(u8"ostrel-page-plain", u8"ostrel-page-M\u00fcller",
                                           u8"ostrel-page-\u97f3\u697d",
                                           u8"ostrel-page-\U0001F3B8"));

} // namespace
