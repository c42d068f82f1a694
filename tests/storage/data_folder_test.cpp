// Where the data folder is, from the environment of the moment.
#include "storage/data_folder.h"

#include <unistd.h>

#include "storage/atomic_file_store.h"
#include "storage/user_files.h"
#include "tests/storage/temp_data_folder.h"

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

    // A real write there, under a name no user file has.
    CreateDataFolder();
    const std::string probe = PathInDataFolder("probe-" + std::to_string(::getpid()));
    WriteFileAtomically(probe, "here");
    EXPECT_EQ(ReadWholeFile("/tmp/Talmesh/probe-" + std::to_string(::getpid())), "here");
    std::filesystem::remove(probe);
    std::error_code notEmpty; // leave the folder if anything else is in it
    std::filesystem::remove("/tmp/Talmesh", notEmpty);
}

} // namespace
} // namespace ostrel
