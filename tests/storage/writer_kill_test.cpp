// A writer process killed at random moments, hundreds of times: the file it
// replaces is always one whole content, never empty or cut, and what the
// killed writers leave behind goes at the next write once it is stale.
#include "storage/atomic_file_store.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/storage/temp_data_folder.h"

#include <ostream>

namespace ostrel
{
namespace
{

struct KillCase
{
    const char* label;
    int writerThreads;
    int kills;
};

std::ostream& operator<<(std::ostream& out, const KillCase& c)
{
    return out << c.label;
}

class WriterKill : public testing::TempDataFolderTest,
                   public ::testing::WithParamInterface<KillCase>
{
protected:
    // Two contents of different sizes and bytes, so that a cut file, an
    // empty one or a mix of both is told from either.
    static std::string content(char letter, size_t size)
    {
        std::string bytes(size, letter);
        for (size_t i = 0; i < size; i += 64)
            bytes[i] = '\n';
        return bytes;
    }

    // The child: writes the two contents in turn from `threads` threads until
    // it is killed. Runs until killed.
    static void runWriters(const std::string& target, const std::string& first,
                           const std::string& second, int threads)
    {
        auto write = [&]
        {
            while (true)
            {
                WriteFileAtomically(target, second);
                WriteFileAtomically(target, first);
            }
        };
        for (int i = 1; i < threads; ++i)
            std::thread(write).detach();
        write();
    }
};

TEST_P(WriterKill, TargetIsAlwaysOneWholeContent)
{
    const KillCase& c = GetParam();
    const std::string target = (root / "Ostrel.laststate.json").string();
    const std::string first = content('a', 24 * 1024);
    const std::string second = content('b', 56 * 1024);
    WriteFileAtomically(target, first);

    std::mt19937 random(20240613u + static_cast<unsigned>(c.writerThreads));
    std::uniform_int_distribution<int> lifeMicroseconds(0, 6000);
    int reads = 0;
    int bad = 0;
    std::string lastBad;
    auto check = [&]
    {
        const std::string read = ReadWholeFile(target);
        ++reads;
        if (read != first && read != second)
        {
            ++bad;
            lastBad = read.substr(0, 16) + "... (" + std::to_string(read.size()) + " bytes)";
        }
    };

    for (int kill = 0; kill < c.kills; ++kill)
    {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            runWriters(target, first, second, c.writerThreads);
            ::_exit(0);
        }
        // Readers in this process meanwhile, as other instances would be.
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::microseconds(lifeMicroseconds(random));
        do
            check();
        while (std::chrono::steady_clock::now() < end);
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";
        check();
    }
    EXPECT_EQ(bad, 0) << "of " << reads << " reads; the last: " << lastBad;

    // The only litter is temporaries of the target under our own pattern...
    const std::regex temporary(R"(Ostrel\.laststate\.json\.[0-9]+\.[A-Za-z0-9]{6}\.tmp)");
    int left = 0;
    std::vector<std::string> foreign;
    for (const std::string& name : entries(root))
    {
        if (name == "Ostrel.laststate.json")
            continue;
        if (!std::regex_match(name, temporary))
            foreign.push_back(name);
        ++left;
        // ...and once it is older than a minute, the next write clears it.
        timespec times[2]{};
        ::clock_gettime(CLOCK_REALTIME, &times[0]);
        times[0].tv_sec -= 61;
        times[1] = times[0];
        ::utimensat(AT_FDCWD, (root / name).c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    EXPECT_TRUE(foreign.empty()) << foreign.size() << " entries not ours, as " << foreign[0];
    EXPECT_LE(left, c.kills * c.writerThreads);
    WriteFileAtomically(target, second);
    EXPECT_EQ(entries(root), std::vector<std::string>{"Ostrel.laststate.json"})
        << left << " temporaries were left by " << c.kills << " kills";
    EXPECT_EQ(ReadWholeFile(target), second);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterKill,
                         ::testing::Values(KillCase{"one_thread", 1, 300},
                                           KillCase{"two_threads", 2, 300}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace ostrel
