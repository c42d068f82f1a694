// The product's write path, end to end: writes queued under the instance's
// lock by file name, then the run that creates the data folder, decides
// whether it may be used, writes each file atomically and says why a write
// failed; then the product's own reads. The data folder is missing, shared,
// read-only, on a full disk, over a size limit, or the fallback.
#include "storage/file_work_queue.h"

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"
#include "tests/storage/constrained_disk.h"
#include "tests/storage/temp_data_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <ostream>

namespace ostrel
{
namespace
{

using FileWorkQueueTest = testing::TempDataFolderTest;

TEST_F(FileWorkQueueTest, NothingIsWrittenUntilTheRun)
{
    FileWorkQueue queue;
    queue.QueueWrite("a.json", "[1]");
    EXPECT_EQ(ReadWholeFile(PathInDataFolder("a.json")), "")
        << "the data folder does not even exist yet";
    EXPECT_EQ(queue.Queued("a.json"), "[1]");
    EXPECT_TRUE(queue.RunWrites().empty());
    EXPECT_EQ(ReadWholeFile(PathInDataFolder("a.json")), "[1]");
    EXPECT_EQ(queue.Queued("a.json"), std::nullopt);
}

TEST_F(FileWorkQueueTest, LaterWriteOfAFileReplacesTheQueuedOne)
{
    FileWorkQueue queue;
    queue.QueueWrite("a.json", "old");
    queue.QueueWrite("b", "1");
    queue.QueueWrite("a.json", "new");
    EXPECT_EQ(queue.Queued("a.json"), "new");
    EXPECT_TRUE(queue.RunWrites().empty());
    EXPECT_EQ(ReadWholeFile(PathInDataFolder("a.json")), "new");
    EXPECT_EQ(ReadWholeFile(PathInDataFolder("b")), "1");
    EXPECT_EQ(entries(root / "Talmesh"), (std::vector<std::string>{"a.json", "b"}));
}

// What the product writes: the page's presets, the last state (the 27 values)
// and the first-run flag.
std::string LastStateText()
{
    std::array<double, kLastStateValueCount> values{};
    for (int i = 0; i < kLastStateValueCount; ++i)
        values[static_cast<size_t>(i)] = i / 26.0;
    return BuildLastStateText(values);
}

struct WritePathCase
{
    const char* what;
    enum Place
    {
        MissingFolder,         // a fresh user
        MissingParents,        // not even the configuration folder
        MissingInSharedParent, // a world-writable XDG_CONFIG_HOME
        Fallback,              // neither HOME nor XDG_CONFIG_HOME: /tmp/Talmesh
        ReadOnlyFolder,        // the user took the write bits off
        ReadOnlyDisk,
        FullDisk,
        FileSizeLimit,
        LinkInSharedParent, // planted by someone else
        OtherUsersFolder,   // in a shared parent
        FileInPlaceOfFolder,
    } place;
    WriteFailure failure; // of each of the three writes
};

std::ostream& operator<<(std::ostream& out, const WritePathCase& c)
{
    return out << c.what;
}

class WritePath : public FileWorkQueueTest, public ::testing::WithParamInterface<WritePathCase>
{
protected:
    void TearDown() override
    {
        if (mounted)
            testing::Unmount(disk.string());
        std::error_code ignored;
        std::filesystem::permissions(root / "Talmesh", std::filesystem::perms::owner_all, ignored);
        if (fallback)
        {
            for (const std::string& name : names)
                std::filesystem::remove(std::filesystem::path("/tmp/Talmesh") / name, ignored);
            std::filesystem::remove("/tmp/Talmesh", ignored); // only if nothing else is in it
        }
        FileWorkQueueTest::TearDown();
    }

    // The data folder as the case wants it, the files already there (with
    // "old" content) where the case has a folder of the user's own.
    void Prepare(const WritePathCase& c)
    {
        namespace fs = std::filesystem;
        const fs::path shared = root / "shared";
        const bool needsRoot = c.place == WritePathCase::ReadOnlyDisk ||
                               c.place == WritePathCase::FullDisk ||
                               c.place == WritePathCase::OtherUsersFolder;
        if (needsRoot && ::geteuid() != 0)
            GTEST_SKIP() << "needs root for mounts and owners";
        auto writeOld = [this](const fs::path& folder)
        {
            for (const std::string& name : names)
                std::ofstream(folder / name, std::ios::binary) << "old";
        };
        switch (c.place)
        {
        case WritePathCase::MissingFolder:
            break;
        case WritePathCase::MissingParents:
            xdg.set((root / "a" / "b").string());
            break;
        case WritePathCase::MissingInSharedParent:
            fs::create_directory(shared);
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
            xdg.set(shared.string());
            break;
        case WritePathCase::Fallback:
        {
            xdg.unset();
            home.unset();
            fallback = true;
            // Names of this process only: the real files of whoever else
            // uses the fallback here are left alone.
            const std::string pid = std::to_string(::getpid());
            for (std::string& name : names)
                name += "." + pid;
            break;
        }
        case WritePathCase::ReadOnlyFolder:
            fs::create_directory(root / "Talmesh");
            writeOld(root / "Talmesh");
            fs::permissions(root / "Talmesh", fs::perms::owner_read | fs::perms::owner_exec);
            break;
        case WritePathCase::ReadOnlyDisk:
        case WritePathCase::FullDisk:
            disk = root / "disk";
            fs::create_directory(disk);
            if (!testing::MountTinyDisk(disk.string(), 64 * 1024))
                GTEST_SKIP() << "no mount namespace of our own here";
            mounted = true;
            xdg.set(disk.string());
            fs::create_directory(disk / "Talmesh");
            writeOld(disk / "Talmesh");
            if (c.place == WritePathCase::ReadOnlyDisk)
            {
                ASSERT_TRUE(testing::RemountReadOnly(disk.string()));
            }
            else
            {
                // Fill what is left, as a disk fills up under a recording.
                std::ofstream filler(disk / "filler", std::ios::binary);
                const std::string block(4096, 'f');
                while (filler.write(block.data(), block.size()))
                {
                }
            }
            break;
        case WritePathCase::FileSizeLimit:
            fs::create_directory(root / "Talmesh");
            writeOld(root / "Talmesh");
            break;
        case WritePathCase::LinkInSharedParent:
            fs::create_directory(shared);
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
            fs::create_directory(root / "elsewhere");
            fs::create_directory_symlink(root / "elsewhere", shared / "Talmesh");
            xdg.set(shared.string());
            break;
        case WritePathCase::OtherUsersFolder:
            fs::create_directory(shared);
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
            fs::create_directory(shared / "Talmesh");
            ASSERT_EQ(::chmod((shared / "Talmesh").c_str(), 0777), 0);
            ASSERT_EQ(::chown((shared / "Talmesh").c_str(), 65534, 65534), 0);
            xdg.set(shared.string());
            break;
        case WritePathCase::FileInPlaceOfFolder:
            std::ofstream(root / "Talmesh") << "x";
            break;
        }
    }

    std::vector<FileWorkQueue::FailedWrite> RunAsTheUser(FileWorkQueue& queue,
                                                         const WritePathCase& c)
    {
        if (c.place == WritePathCase::FileSizeLimit)
        {
            const testing::FileSizeLimit limit(0);
            return queue.RunWrites();
        }
        const testing::PermissionsObeyed asAUser;
        return queue.RunWrites();
    }

    std::vector<std::string> names{kPresetsFileName, kLastStateFileName, kOnboardedFileName};
    std::filesystem::path disk;
    bool mounted = false;
    bool fallback = false;
};

TEST_P(WritePath, WritesEveryFileOrSaysWhyNot)
{
    const WritePathCase& c = GetParam();
    Prepare(c);
    if (IsSkipped() || HasFatalFailure())
        return;
    const bool hadOld = ReadWholeFile(UsablePathInDataFolder(names[0])) == "old";
    const std::vector<std::string> contents{"[\"new preset\"]", LastStateText(), "1"};

    FileWorkQueue queue;
    for (size_t i = 0; i < names.size(); ++i)
        queue.QueueWrite(names[i], contents[i]);
    const std::vector<FileWorkQueue::FailedWrite> failed = RunAsTheUser(queue, c);

    if (c.failure == WriteFailure::None)
    {
        EXPECT_TRUE(failed.empty()) << c.what << ": " << static_cast<int>(failed[0].failure);
    }
    else
    {
        ASSERT_EQ(failed.size(), names.size()) << c.what;
        for (size_t i = 0; i < names.size(); ++i)
        {
            EXPECT_EQ(failed[i].fileName, names[i]) << c.what;
            EXPECT_EQ(failed[i].failure, c.failure) << c.what << ": " << names[i];
        }
    }

    // Read back as the product reads: what was written, else what was there.
    for (size_t i = 0; i < names.size(); ++i)
    {
        const std::string want =
            c.failure == WriteFailure::None ? contents[i] : (hadOld ? "old" : "");
        EXPECT_EQ(ReadWholeFile(UsablePathInDataFolder(names[i])), want)
            << c.what << ": " << names[i];
    }
    if (!fallback)
    {
        const bool written = c.failure == WriteFailure::None;
        EXPECT_EQ(ReadPresetsFile(), written ? contents[0] : (hadOld ? "old" : "")) << c.what;
        EXPECT_EQ(ParseLastStateText(ReadLastStateFileText()).size(),
                  written ? size_t{kLastStateValueCount} : 0u)
            << c.what;
        EXPECT_EQ(OnboardedFileLength(), written ? 1u : (hadOld ? 3u : 0u)) << c.what;
    }

    // A folder the product made is the user's alone where others could look.
    const std::filesystem::path folder = DataFolder();
    struct stat info = {};
    if (c.place == WritePathCase::MissingInSharedParent || c.place == WritePathCase::Fallback)
    {
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode) && (info.st_mode & 0777) == 0700) << c.what;
    }
    // No temporary file is left behind, whatever happened.
    if (std::filesystem::is_directory(folder) && !std::filesystem::is_symlink(folder) && !fallback)
    {
        for (const std::string& entry : entries(folder))
        {
            EXPECT_EQ(entry.find(".tmp"), std::string::npos) << c.what << ": " << entry;
        }
    }
    if (c.place == WritePathCase::LinkInSharedParent)
    {
        EXPECT_TRUE(entries(root / "elsewhere").empty()) << "written through a planted link";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, WritePath,
    ::testing::Values(
        WritePathCase{"missing folder", WritePathCase::MissingFolder, WriteFailure::None},
        WritePathCase{"missing parents", WritePathCase::MissingParents, WriteFailure::None},
        WritePathCase{"missing in a world-writable parent", WritePathCase::MissingInSharedParent,
                      WriteFailure::None},
        WritePathCase{"the fallback folder", WritePathCase::Fallback, WriteFailure::None},
        WritePathCase{"read-only folder", WritePathCase::ReadOnlyFolder,
                      WriteFailure::NotPermitted},
        WritePathCase{"read-only disk", WritePathCase::ReadOnlyDisk, WriteFailure::ReadOnly},
        WritePathCase{"full disk", WritePathCase::FullDisk, WriteFailure::DiskFull},
        WritePathCase{"file-size limit", WritePathCase::FileSizeLimit, WriteFailure::TooLarge},
        WritePathCase{"a link planted in a world-writable parent",
                      WritePathCase::LinkInSharedParent, WriteFailure::FolderRefused},
        WritePathCase{"another user's folder in a world-writable parent",
                      WritePathCase::OtherUsersFolder, WriteFailure::FolderRefused},
        WritePathCase{"a file where the folder goes", WritePathCase::FileInPlaceOfFolder,
                      WriteFailure::Other}));

// What the page shows after "could not save the preset: ".
TEST(WriteFailureText, NamesTheCauseAndTheFolder)
{
    const std::string folder = "/home/u/.config/Talmesh";
    const std::pair<WriteFailure, const char*> cases[] = {
        {WriteFailure::FolderRefused, "another user"}, {WriteFailure::DiskFull, "disk is full"},
        {WriteFailure::TooLarge, "larger than"},       {WriteFailure::NotPermitted, "permission"},
        {WriteFailure::ReadOnly, "read-only"},         {WriteFailure::Other, "refused"},
    };
    EXPECT_EQ(DescribeWriteFailure(WriteFailure::None, folder), "");
    for (const auto& [failure, words] : cases)
    {
        const std::string text = DescribeWriteFailure(failure, folder);
        EXPECT_NE(text.find(words), std::string::npos) << text;
        EXPECT_NE(text.find(folder), std::string::npos) << text;
    }
}

} // namespace
} // namespace ostrel
