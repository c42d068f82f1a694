// The Windows side of the per-user files: the data folder under the user's
// application-data folder, and the atomic store on UTF-16 paths.
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/platform_files.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace
{

namespace fs = std::filesystem;

std::string Utf8(const std::wstring& wide)
{
    const std::u8string text = fs::path(wide).u8string();
    return std::string(text.begin(), text.end());
}

TEST(WindowsDataFolder, IsTalmeshInTheRoamingApplicationDataFolder)
{
    wchar_t base[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base), S_OK);
    EXPECT_EQ(ostrel::DataFolder(), Utf8(base) + "\\Talmesh");
    EXPECT_EQ(ostrel::PathInDataFolder("presets.json"), Utf8(base) + "\\Talmesh\\presets.json");
    EXPECT_EQ(ostrel::UsablePathInDataFolder("state.json"), ostrel::PathInDataFolder("state.json"));
    ostrel::CreateDataFolder();
    EXPECT_TRUE(fs::is_directory(fs::path(ostrel::DataFolder())));
}

struct PathSplit
{
    const char* path;
    const char* folder;
    const char* name;
};

class WindowsPathSplit : public ::testing::TestWithParam<PathSplit>
{
};

TEST_P(WindowsPathSplit, FolderAndName)
{
    EXPECT_EQ(ostrel::platform_files::folderOf(GetParam().path), GetParam().folder);
    EXPECT_EQ(ostrel::platform_files::nameOf(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsPathSplit,
    ::testing::Values(PathSplit{"C:\\Users\\a\\x.json", "C:\\Users\\a", "x.json"},
                      PathSplit{"C:\\x.json", "C:\\", "x.json"},
                      PathSplit{"C:/data/x.json", "C:/data", "x.json"},
                      PathSplit{"x.json", ".", "x.json"},
                      PathSplit{"\\\\server\\share\\x", "\\\\server\\share", "x"}));

// A folder whose name needs UTF-16 (no ANSI code page holds all of it).
class WindowsFileStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 fs::path(L"ostrel-\u00e9\u6d4b\u0416-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string PathOf(const wchar_t* name) const { return Utf8((folder / name).wstring()); }
    int EntriesInFolder() const
    {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(folder))
        {
            (void)entry;
            ++count;
        }
        return count;
    }

    fs::path folder;
};

TEST_F(WindowsFileStore, WritesAndReadsBackWholeFilesOnUnicodePaths)
{
    const std::string path = PathOf(L"pr\u00e9sets.json");
    for (const std::string& content : {std::string("{\"a\":1}"), std::string(10000, 'x'),
                                       std::string(), std::string("\r\n\0z", 4)})
    {
        ostrel::WriteFileAtomically(path, content);
        EXPECT_EQ(ostrel::ReadWholeFile(path), content);
        // Nothing but the file itself is left: no temporary stays behind.
        EXPECT_EQ(EntriesInFolder(), 1);
    }
}

TEST_F(WindowsFileStore, ReadingRefusesTooLargeMissingAndFolders)
{
    const std::string path = PathOf(L"state.json");
    ostrel::WriteFileAtomically(path, std::string(5000, 's'));
    std::string content = "old";
    EXPECT_EQ(ostrel::platform_files::readRegularFile(path, 4999, content),
              ostrel::platform_files::ReadResult::TooLarge);
    EXPECT_TRUE(content.empty());
    EXPECT_EQ(ostrel::platform_files::readRegularFile(path, 5000, content),
              ostrel::platform_files::ReadResult::Read);
    EXPECT_EQ(content.size(), 5000u);
    EXPECT_EQ(ostrel::platform_files::readRegularFile(PathOf(L"missing"), 100, content),
              ostrel::platform_files::ReadResult::Failed);
    EXPECT_EQ(ostrel::platform_files::readRegularFile(Utf8(folder.wstring()), 100, content),
              ostrel::platform_files::ReadResult::Failed);
}

TEST_F(WindowsFileStore, NewFilesNeverReplaceAnExistingName)
{
    const std::string path = PathOf(L"taken.tmp");
    EXPECT_EQ(ostrel::platform_files::writeNewFileDurably(path, "first"),
              ostrel::platform_files::CreateResult::Written);
    EXPECT_EQ(ostrel::platform_files::writeNewFileDurably(path, "second"),
              ostrel::platform_files::CreateResult::NameTaken);
    EXPECT_EQ(ostrel::ReadWholeFile(path), "first");
    EXPECT_EQ(ostrel::platform_files::writeNewFileDurably(Utf8(folder.wstring()), "x"),
              ostrel::platform_files::CreateResult::NameTaken);
}

TEST_F(WindowsFileStore, StaleTemporariesOfOursAreRemovedOthersKept)
{
    const std::string ours = PathOf(L"presets.json.77.abcdef.tmp");
    const std::string fresh = PathOf(L"presets.json.78.abcdef.tmp");
    const std::string other = PathOf(L"notes.txt");
    for (const auto& path : {ours, fresh, other})
        ostrel::platform_files::writeNewFileDurably(path, "x");
    // Age the first one by an hour.
    HANDLE file = CreateFileW((folder / L"presets.json.77.abcdef.tmp").c_str(),
                              FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER old{};
    old.LowPart = now.dwLowDateTime;
    old.HighPart = now.dwHighDateTime;
    old.QuadPart -= 3600ull * 10'000'000ull;
    const FILETIME then{old.LowPart, old.HighPart};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &then));
    CloseHandle(file);

    ostrel::platform_files::removeStaleFiles(
        Utf8(folder.wstring()), [](std::string_view name) { return name.ends_with(".tmp"); },
        std::chrono::minutes(10));
    EXPECT_FALSE(fs::exists(folder / L"presets.json.77.abcdef.tmp"));
    EXPECT_TRUE(fs::exists(folder / L"presets.json.78.abcdef.tmp"));
    EXPECT_TRUE(fs::exists(folder / L"notes.txt"));
}

} // namespace
