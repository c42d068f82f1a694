// Whole-file reads and atomic replacement, on real files in a temporary folder.
#include "storage/atomic_file_store.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

TEST_F(AtomicFileStoreTest, WrittenFilesAreTheUsersOnly)
{
    writePlain(path("presets.json"), "old");
    ::chmod(path("presets.json").c_str(), 0644);
    WriteFileAtomically(path("presets.json"), "new");
    struct stat info = {};
    ASSERT_EQ(::stat(path("presets.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadWholeFile(path("presets.json")), "new");
}

struct LimitCase
{
    const char* what;
    size_t size;
    size_t limit;
    bool read;
};

std::ostream& operator<<(std::ostream& out, const LimitCase& c)
{
    return out << c.what;
}

class ReadLimit : public AtomicFileStoreTest, public ::testing::WithParamInterface<LimitCase>
{
};

TEST_P(ReadLimit, RefusesFilesOverTheLimit)
{
    const LimitCase& c = GetParam();
    std::string bytes(c.size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    writePlain(path("f"), bytes);
    EXPECT_EQ(ReadWholeFile(path("f"), c.limit), c.read ? bytes : std::string()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadLimit,
                         ::testing::Values(LimitCase{"empty", 0, 0, true},
                                           LimitCase{"at the limit", 5000, 5000, true},
                                           LimitCase{"one over", 5001, 5000, false},
                                           LimitCase{"one block over", 4097, 4096, false},
                                           LimitCase{"far over", 100000, 10, false},
                                           LimitCase{"one byte, limit zero", 1, 0, false}));

TEST_F(AtomicFileStoreTest, HugeSparseFileIsRefusedUnread)
{
    // 256 MiB that take no disk space.
    writePlain(path("huge"), "");
    ASSERT_EQ(::truncate(path("huge").c_str(), off_t{256} << 20), 0);
    EXPECT_EQ(ReadWholeFile(path("huge"), 1 << 20), "");
}

TEST_F(AtomicFileStoreTest, APipeInPlaceOfAFileReadsEmptyAtOnce)
{
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return ReadWholeFile(path("fifo")); });
    if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    {
        ADD_FAILURE() << "the read waits for a writer";
        // Release the blocked reader so the test can end.
        const int writer = ::open(path("fifo").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    EXPECT_EQ(reading.get(), "");
}

// Writers in two threads of one process, a reader in a third: every read is
// one of the two whole contents.
TEST_F(AtomicFileStoreTest, ConcurrentWritersNeverShowACutFile)
{
    const std::string first(20000, '1');
    const std::string second(30000, '2');
    WriteFileAtomically(path("laststate.json"), first);
    std::atomic<bool> stop{false};
    auto writer = [&](const std::string& bytes)
    {
        while (!stop.load())
            WriteFileAtomically(path("laststate.json"), bytes);
    };
    std::thread a(writer, first);
    std::thread b(writer, second);
    int bad = 0;
    int reads = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end)
    {
        const std::string read = ReadWholeFile(path("laststate.json"));
        ++reads;
        if (read != first && read != second)
            ++bad;
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    EXPECT_EQ(entries(root), std::vector<std::string>{"laststate.json"});
}

struct StaleCase
{
    const char* what;
    std::string name;
    enum Kind
    {
        File,
        Link,
        Folder
    } kind;
    int ageSeconds;
    bool removed;
};

std::ostream& operator<<(std::ostream& out, const StaleCase& c)
{
    return out << c.what;
}

class StaleTemporaries : public AtomicFileStoreTest, public ::testing::WithParamInterface<StaleCase>
{
};

// A write removes what killed writers of the same file left, and only that.
TEST_P(StaleTemporaries, AreRemovedAtTheNextWriteOfTheFile)
{
    const StaleCase& c = GetParam();
    writePlain(path("elsewhere"), "keep me");
    const std::string entry = path(c.name.c_str());
    switch (c.kind)
    {
    case StaleCase::File:
        writePlain(entry, "left by a killed writer");
        break;
    case StaleCase::Link:
        std::filesystem::create_symlink(path("elsewhere"), entry);
        break;
    case StaleCase::Folder:
        std::filesystem::create_directory(entry);
        break;
    }
    timespec times[2]{};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= c.ageSeconds;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, entry.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);

    WriteFileAtomically(path("Ostrel.presets.json"), "[]");

    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(entry)), !c.removed)
        << c.what;
    EXPECT_EQ(ReadWholeFile(path("elsewhere")), "keep me");
    EXPECT_EQ(ReadWholeFile(path("Ostrel.presets.json")), "[]");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, StaleTemporaries,
    ::testing::Values(
        StaleCase{"ours, two minutes old", "Ostrel.presets.json.4242.aZ09xY.tmp", StaleCase::File,
                  120, true},
        StaleCase{"an earlier version's", "Ostrel.presets.json.4242.tmp", StaleCase::File, 120,
                  true},
        StaleCase{"ours, ten seconds old (may be in use)", "Ostrel.presets.json.4242.aZ09xY.tmp",
                  StaleCase::File, 10, false},
        StaleCase{"another file's", "Ostrel.laststate.json.4242.aZ09xY.tmp", StaleCase::File, 120,
                  false},
        StaleCase{"the target's backup", "Ostrel.presets.json.bak", StaleCase::File, 120, false},
        StaleCase{"no process id", "Ostrel.presets.json..aZ09xY.tmp", StaleCase::File, 120, false},
        StaleCase{"five letters", "Ostrel.presets.json.4242.aZ09x.tmp", StaleCase::File, 120,
                  false},
        StaleCase{"a sign in the letters", "Ostrel.presets.json.4242.aZ-9xY.tmp", StaleCase::File,
                  120, false},
        StaleCase{"another suffix", "Ostrel.presets.json.4242.aZ09xY.tmpx", StaleCase::File, 120,
                  false},
        StaleCase{"a link under our pattern", "Ostrel.presets.json.4242.aZ09xY.tmp",
                  StaleCase::Link, 120, false},
        StaleCase{"a folder under our pattern", "Ostrel.presets.json.4242.tmp", StaleCase::Folder,
                  120, false}));

TEST_F(AtomicFileStoreTest, AnotherUsersTemporaryIsLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a file of another user";
    const std::string entry = path("Ostrel.presets.json.4242.aZ09xY.tmp");
    writePlain(entry, "theirs");
    ASSERT_EQ(::chown(entry.c_str(), 65534, 65534), 0);
    timespec times[2]{};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, entry.c_str(), times, 0), 0);
    WriteFileAtomically(path("Ostrel.presets.json"), "[]");
    EXPECT_TRUE(std::filesystem::exists(entry));
}

} // namespace
} // namespace ostrel
