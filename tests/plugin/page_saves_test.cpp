// What the page saves reaches the data folder through the instance's own
// road (the message, the queue, the write after the tick), even when the
// folder does not exist yet; and when it cannot be written, or is not used at
// all, the page hears why.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "storage/user_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <ostream>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using ostrel_test::RecordingWebView;

struct PageSaveCase
{
    const char* what;
    enum Place
    {
        MissingFolder,
        MissingInSharedParent,
        LinkInSharedParent,
        FileInPlaceOfFolder,
    } place;
    const char* error; // words of the page's error, nullptr when saved
};

std::ostream& operator<<(std::ostream& out, const PageSaveCase& c)
{
    return out << c.what;
}

class PageSaves : public OstrelPageTest, public ::testing::WithParamInterface<PageSaveCase>
{
protected:
    // The data folder's parent, as the case wants it.
    void Prepare(PageSaveCase::Place place)
    {
        namespace fs = std::filesystem;
        const fs::path shared = configHome / "shared";
        switch (place)
        {
        case PageSaveCase::MissingFolder:
            return;
        case PageSaveCase::MissingInSharedParent:
        case PageSaveCase::LinkInSharedParent:
            fs::create_directory(shared);
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
            ::setenv("XDG_CONFIG_HOME", shared.c_str(), 1);
            if (place == PageSaveCase::LinkInSharedParent)
            {
                fs::create_directory(configHome / "elsewhere");
                fs::create_directory_symlink(configHome / "elsewhere", shared / "Talmesh");
            }
            return;
        case PageSaveCase::FileInPlaceOfFolder:
            std::ofstream(configHome / "Talmesh") << "x";
            return;
        }
    }
};

TEST_P(PageSaves, ThePresetIsKeptOrThePageIsToldWhy)
{
    const PageSaveCase& c = GetParam();
    Prepare(c.place);
    ASSERT_FALSE(HasFatalFailure());
    RecordingOstrel& p = NewInstance();
    RecordingWebView& web = p.OpenEditor();
    p.Ticks(2);
    web.scripts.clear();

    const std::string text = R"({"format":"ostrel-presets","presets":[{"name":"First"}]})";
    p.Message(kTagSavePresets, text);
    p.Ticks(1);

    const auto errors = web.MessagesWithTag(kTagFileError);
    if (c.error == nullptr)
    {
        EXPECT_EQ(ReadPresetsFile(), text) << c.what;
        EXPECT_TRUE(errors.empty()) << c.what << ": " << errors[0].text;
        // The next editor open shows it.
        p.CloseEditor();
        RecordingWebView& again = p.OpenEditor();
        p.Ticks(1);
        const auto presets = again.MessagesWithTag(kTagPresets);
        ASSERT_FALSE(presets.empty()) << c.what;
        EXPECT_NE(presets.back().text.find("First"), std::string::npos) << c.what;
    }
    else
    {
        EXPECT_EQ(ReadPresetsFile(), "") << c.what;
        ASSERT_EQ(errors.size(), 1u) << c.what;
        EXPECT_EQ(errors[0].text.rfind(R"({"t":"fileError","file":"presets","error":")", 0), 0u)
            << errors[0].text;
        EXPECT_NE(errors[0].text.find(c.error), std::string::npos) << errors[0].text;
        p.Ticks(2);
        EXPECT_EQ(web.MessagesWithTag(kTagFileError).size(), 1u) << "told once";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, PageSaves,
    ::testing::Values(PageSaveCase{"missing folder", PageSaveCase::MissingFolder, nullptr},
                      PageSaveCase{"missing in a world-writable parent",
                                   PageSaveCase::MissingInSharedParent, nullptr},
                      PageSaveCase{"a link planted in a world-writable parent",
                                   PageSaveCase::LinkInSharedParent, "another user"},
                      PageSaveCase{"a file where the folder goes",
                                   PageSaveCase::FileInPlaceOfFolder, "refused the write"}));

// A folder that is not used at all: the page hears it as soon as it loads,
// before anything is saved.
TEST_F(OstrelPageTest, ARefusedDataFolderIsToldAtEveryPageLoad)
{
    namespace fs = std::filesystem;
    const fs::path shared = configHome / "shared";
    fs::create_directories(configHome / "elsewhere");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    fs::create_directory_symlink(configHome / "elsewhere", shared / "Talmesh");
    ::setenv("XDG_CONFIG_HOME", shared.c_str(), 1);

    RecordingOstrel& p = NewInstance();
    RecordingWebView& web = p.OpenEditor();
    p.Ticks(2);
    const auto errors = web.MessagesWithTag(kTagFileError);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text.rfind(
                  R"({"t":"fileError","file":"folder","error":"Ostrel does not use )", 0),
              0u)
        << errors[0].text;

    // Made the user's own, it is used without a word.
    fs::remove(shared / "Talmesh");
    p.CloseEditor();
    RecordingWebView& again = p.OpenEditor();
    p.Ticks(2);
    EXPECT_TRUE(again.MessagesWithTag(kTagFileError).empty());
}

} // namespace
