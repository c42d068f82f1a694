#include "webview/editor_page_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{

namespace fs = std::filesystem;

// A bundle-like tree in a private temporary folder:
//   <root>/Contents/x86_64-linux/      (the module folder)
class EditorPageLocation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("ostrel-page-location-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        moduleFolder = root / "Contents" / "x86_64-linux";
        fs::create_directories(moduleFolder);
    }
    void TearDown() override { fs::remove_all(root); }

    static void Touch(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "<html></html>";
    }

    fs::path AboveResources() const
    {
        return root / "Contents" / "Resources" / "web" / "index.html";
    }
    fs::path InsideResources() const { return moduleFolder / "Resources" / "web" / "index.html"; }
    fs::path InsideWeb() const { return moduleFolder / "web" / "index.html"; }

    fs::path root;
    fs::path moduleFolder;
};

TEST_F(EditorPageLocation, CandidatesAreTriedInBundleOrder)
{
    const auto candidates = plugfw::EditorPageCandidates(moduleFolder.string());
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], AboveResources().string());
    EXPECT_EQ(candidates[1], InsideResources().string());
    EXPECT_EQ(candidates[2], InsideWeb().string());
}

TEST_F(EditorPageLocation, PageAboveTheModuleFolderIsPreferred)
{
    Touch(InsideWeb());
    Touch(InsideResources());
    Touch(AboveResources());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), AboveResources().string());
}

TEST_F(EditorPageLocation, FallsBackInsideTheModuleFolder)
{
    Touch(InsideWeb());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), InsideWeb().string());
    Touch(InsideResources());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), InsideResources().string());
}

TEST_F(EditorPageLocation, TrailingSlashNamesTheSameFolder)
{
    Touch(AboveResources());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string() + "/"), AboveResources().string());
}

TEST_F(EditorPageLocation, AnyEntryCountsEvenAFolderOrADanglingLink)
{
    // Existence is all that is checked: the navigation decides the rest.
    fs::create_directories(AboveResources());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), AboveResources().string());
    fs::remove_all(AboveResources());

    fs::create_directories(InsideResources().parent_path());
    fs::create_symlink(root / "nowhere.html", InsideResources());
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), InsideResources().string());
}

TEST_F(EditorPageLocation, NoPageGivesTheBareName)
{
    EXPECT_EQ(plugfw::FindEditorPage(moduleFolder.string()), "index.html");
    EXPECT_EQ(plugfw::FindEditorPage(""), "index.html");
}

} // namespace
