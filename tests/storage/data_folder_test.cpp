// Where the data folder is, from the environment of the moment.
#include "storage/data_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include "storage/atomic_file_store.h"
#include "storage/file_work_queue.h"
#include "storage/user_files.h"
#include "tests/storage/temp_data_folder.h"

#include <fstream>
#include <iterator>
#include <ostream>

namespace ostrel
{
namespace
{

using DataFolderTest = testing::TempDataFolderTest;

struct FolderCase
{
    const char* what;
    const char* xdg;  // nullptr = unset
    const char* home; // nullptr = unset
    const char* folder;
};

std::ostream& operator<<(std::ostream& out, const FolderCase& c)
{
    return out << c.what;
}

class DataFolderChoiceTest : public DataFolderTest, public ::testing::WithParamInterface<FolderCase>
{
};

TEST_P(DataFolderChoiceTest, FollowsTheEnvironment)
{
    const FolderCase& c = GetParam();
    c.xdg ? xdg.set(c.xdg) : xdg.unset();
    c.home ? home.set(c.home) : home.unset();
    EXPECT_EQ(DataFolder(), c.folder) << c.what;
    EXPECT_EQ(PathInDataFolder("Ostrel.onboarded"), std::string(c.folder) + "/Ostrel.onboarded")
        << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Environments, DataFolderChoiceTest,
    ::testing::Values(FolderCase{"xdg wins", "/cfg", "/home/u", "/cfg/Talmesh"},
                      FolderCase{"xdg trailing slash", "/cfg/", "/home/u", "/cfg/Talmesh"},
                      FolderCase{"home", nullptr, "/home/u", "/home/u/.config/Talmesh"},
                      FolderCase{"empty xdg", "", "/home/u", "/home/u/.config/Talmesh"},
                      FolderCase{"relative xdg", "cfg", "/home/u", "/home/u/.config/Talmesh"},
                      FolderCase{"home trailing slash", nullptr, "/home/u/",
                                 "/home/u/.config/Talmesh"},
                      FolderCase{"nothing", nullptr, nullptr, "/tmp/Talmesh"},
                      FolderCase{"empty both", "", "", "/tmp/Talmesh"}));

TEST_F(DataFolderTest, IsWorkedOutAtEveryUse)
{
    EXPECT_EQ(DataFolder(), (root / "Talmesh").string());
    xdg.set("/elsewhere");
    EXPECT_EQ(DataFolder(), "/elsewhere/Talmesh");
}

TEST_F(DataFolderTest, CreationMakesParentsAndToleratesAnExistingFolder)
{
    xdg.set((root / "a" / "b").string());
    CreateDataFolder();
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b" / "Talmesh"));
    CreateDataFolder();
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b" / "Talmesh"));
}

TEST_F(DataFolderTest, WithoutHomeOrXdgTheFilesGoToTheFallbackFolder)
{
    xdg.unset();
    home.unset();
    EXPECT_EQ(PathInDataFolder(kPresetsFileName), "/tmp/Talmesh/Ostrel.presets.json");
    EXPECT_EQ(PathInDataFolder(kLastStateFileName), "/tmp/Talmesh/Ostrel.laststate.json");
    EXPECT_EQ(PathInDataFolder(kOnboardedFileName), "/tmp/Talmesh/Ostrel.onboarded");

    // A real write there, under a name no user file has, in a folder that
    // only the user can enter.
    CreateDataFolder();
    struct stat info = {};
    ASSERT_EQ(::lstat("/tmp/Talmesh", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(UsablePathInDataFolder(kPresetsFileName), "/tmp/Talmesh/Ostrel.presets.json");
    const std::string probe = PathInDataFolder("probe-" + std::to_string(::getpid()));
    WriteFileAtomically(probe, "here");
    EXPECT_EQ(ReadWholeFile("/tmp/Talmesh/probe-" + std::to_string(::getpid())), "here");
    std::filesystem::remove(probe);
    std::error_code notEmpty; // leave the folder if anything else is in it
    std::filesystem::remove("/tmp/Talmesh", notEmpty);
}

// The data folder in a folder where anyone may create entries (as /tmp,
// the fallback's place): what stands at its name decides whether it is used.
struct SharedCase
{
    const char* what;
    enum Plant
    {
        Nothing,
        OwnOpenFolder,
        LinkToAFolder,
        PlainFile,
        OtherUsersFolder
    } plant;
    bool used;
};

std::ostream& operator<<(std::ostream& out, const SharedCase& c)
{
    return out << c.what;
}

class SharedParentFolder : public DataFolderTest, public ::testing::WithParamInterface<SharedCase>
{
};

TEST_P(SharedParentFolder, IsUsedOnlyWhenItIsTheUsersOwn)
{
    const SharedCase& c = GetParam();
    const std::filesystem::path shared = root / "shared";
    const std::filesystem::path folder = shared / "Talmesh";
    const std::filesystem::path elsewhere = root / "elsewhere";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    std::filesystem::create_directory(elsewhere);
    const std::string planted = "[\"planted\"]";
    std::ofstream(elsewhere / kPresetsFileName) << planted;
    switch (c.plant)
    {
    case SharedCase::Nothing:
        break;
    case SharedCase::OwnOpenFolder: // as an earlier version made it
        std::filesystem::create_directory(folder);
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
        break;
    case SharedCase::LinkToAFolder:
        std::filesystem::create_directory_symlink(elsewhere, folder);
        break;
    case SharedCase::PlainFile:
        std::ofstream(folder) << "x";
        break;
    case SharedCase::OtherUsersFolder:
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can make a folder of another user";
        std::filesystem::copy(elsewhere, folder);
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown((folder / kPresetsFileName).c_str(), 65534, 65534), 0);
        break;
    }
    xdg.set(shared.string());

    const std::string readBefore = ReadPresetsFile();
    FileWorkQueue queue;
    queue.QueueWrite(kPresetsFileName, "[\"mine\"]");
    queue.QueueWrite(kOnboardedFileName, "1");
    const std::vector<FileWorkQueue::FailedWrite> failed = queue.RunWrites();
    EXPECT_EQ(failed.size(), c.used ? 0u : 2u) << c.what;
    EXPECT_EQ(DataFolderRefused(), !c.used) << c.what;

    if (c.used)
    {
        EXPECT_EQ(readBefore, "") << c.what;
        EXPECT_EQ(ReadPresetsFile(), "[\"mine\"]") << c.what;
        EXPECT_EQ(OnboardedFileLength(), 1u) << c.what;
        struct stat info = {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u) << c.what;
    }
    else
    {
        EXPECT_EQ(readBefore, "") << c.what << ": someone else's file was read";
        EXPECT_EQ(ReadPresetsFile(), "") << c.what;
        EXPECT_EQ(OnboardedFileLength(), 0u) << c.what;
        EXPECT_EQ(UsablePathInDataFolder(kPresetsFileName), "") << c.what;
    }
    // Nothing reaches the place a link points to, and nothing lands beside
    // the folder (a temporary file in the working folder, say).
    EXPECT_EQ(entries(elsewhere), std::vector<std::string>{kPresetsFileName}) << c.what;
    std::ifstream in(elsewhere / kPresetsFileName);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), planted) << c.what;
    EXPECT_EQ(entries(shared), std::vector<std::string>{"Talmesh"}) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Plants, SharedParentFolder,
    ::testing::Values(SharedCase{"missing: made private", SharedCase::Nothing, true},
                      SharedCase{"own but open: closed", SharedCase::OwnOpenFolder, true},
                      SharedCase{"a link to a folder", SharedCase::LinkToAFolder, false},
                      SharedCase{"a plain file", SharedCase::PlainFile, false},
                      SharedCase{"another user's folder", SharedCase::OtherUsersFolder, false}));

TEST_F(DataFolderTest, AFolderOfTheUsersOwnMayBeALink)
{
    // Dotfiles kept elsewhere and linked in are common; only shared places
    // are suspicious.
    const std::filesystem::path real = root / "dotfiles";
    std::filesystem::create_directories(real / "Talmesh");
    std::filesystem::create_directories(root / "config");
    std::filesystem::create_directory_symlink(real / "Talmesh", root / "config" / "Talmesh");
    xdg.set((root / "config").string());
    FileWorkQueue queue;
    queue.QueueWrite(kPresetsFileName, "[]");
    EXPECT_TRUE(queue.RunWrites().empty());
    EXPECT_FALSE(DataFolderRefused());
    EXPECT_EQ(ReadWholeFile((real / "Talmesh" / kPresetsFileName).string()), "[]");
}

} // namespace
} // namespace ostrel
