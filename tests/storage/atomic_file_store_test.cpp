// Whole-file reads and atomic replacement, on real files in a temporary folder.
#include "storage/atomic_file_store.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

#include "tests/storage/temp_data_folder.h"

namespace ostrel
{
namespace
{

class AtomicFileStoreTest : public testing::TempDataFolderTest
{
protected:
    std::string path(const char* name) const { return (root / name).string(); }

    static void writePlain(const std::string& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
};

TEST_F(AtomicFileStoreTest, WritesAndReadsRawBytes)
{
    const std::string bytes("line\r\nwith\0zero\n", 16);
    WriteFileAtomically(path("raw.bin"), bytes);
    EXPECT_EQ(ReadWholeFile(path("raw.bin")), bytes);
}

TEST_F(AtomicFileStoreTest, ReadOfTenThousandBytesIsWhole)
{
    std::string bytes(10000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    writePlain(path("big.bin"), bytes);
    const std::string read = ReadWholeFile(path("big.bin"));
    EXPECT_EQ(read.size(), 10000u);
    EXPECT_EQ(read, bytes);
}

TEST_F(AtomicFileStoreTest, EmptyWriteReplacesContentWithAnEmptyFile)
{
    writePlain(path("state.json"), "[0.5]");
    WriteFileAtomically(path("state.json"), "");
    EXPECT_TRUE(std::filesystem::exists(path("state.json")));
    EXPECT_EQ(std::filesystem::file_size(path("state.json")), 0u);
}

TEST_F(AtomicFileStoreTest, NoTemporaryFileRemainsAfterAWrite)
{
    WriteFileAtomically(path("a.json"), "first");
    WriteFileAtomically(path("a.json"), "second, longer content");
    EXPECT_EQ(entries(root), std::vector<std::string>{"a.json"});
    EXPECT_EQ(ReadWholeFile(path("a.json")), "second, longer content");
}

TEST_F(AtomicFileStoreTest, UnreadableFilesReadEmpty)
{
    EXPECT_EQ(ReadWholeFile(path("missing")), "");
    EXPECT_EQ(ReadWholeFile(root.string()), ""); // a folder
    EXPECT_EQ(ReadWholeFile(""), "");
}

TEST_F(AtomicFileStoreTest, WriteIntoAMissingFolderDoesNothing)
{
    WriteFileAtomically(path("absent/file.json"), "x");
    EXPECT_FALSE(std::filesystem::exists(root / "absent"));
    EXPECT_TRUE(entries(root).empty());
}

TEST_F(AtomicFileStoreTest, FailedRenameLeavesTargetAndNoTemporaryFile)
{
    // A non-empty folder in the way cannot be replaced by a file.
    std::filesystem::create_directories(root / "target" / "inside");
    WriteFileAtomically(path("target"), "data");
    EXPECT_TRUE(std::filesystem::is_directory(root / "target"));
    EXPECT_EQ(entries(root), std::vector<std::string>{"target"});
}

TEST_F(AtomicFileStoreTest, ShortWriteKeepsTheOldFile)
{
    writePlain(path("presets.json"), "[{\"name\":\"kept\"}]");
    // A file size limit makes the write fail part-way, like a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    WriteFileAtomically(path("presets.json"), std::string(1000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadWholeFile(path("presets.json")), "[{\"name\":\"kept\"}]");
    EXPECT_EQ(entries(root), std::vector<std::string>{"presets.json"});
}

} // namespace
} // namespace ostrel
