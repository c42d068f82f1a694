// The registry in shared memory as processes of one user meet in it: made
// once however many start at once, owner-only, refused when it is not what
// this build makes, shared across real processes, freed of killed ones and
// removed when the last one leaves.
#include "link/shared_segment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel
{
namespace
{

std::string uniqueName(const char* what)
{
    static int counter = 0;
    return "ostrel-test-" + std::to_string(getpid()) + "-" + what + "-" + std::to_string(++counter);
}

std::string pathOf(const std::string& name)
{
    return "/dev/shm/" + name;
}

bool exists(const std::string& name)
{
    struct stat info = {};
    return lstat(pathOf(name).c_str(), &info) == 0;
}

class SharedSegmentTest : public ::testing::Test
{
protected:
    std::string name = uniqueName("segment");
    ProcessIdentity me = currentProcessIdentity();

    void TearDown() override { removeSharedMemory(name); }

    // Runs `child` in a forked process; returns its exit code (-signal when killed).
    template <class F> static int inChild(F child)
    {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(child());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
};

TEST_F(SharedSegmentTest, TheFirstProcessMakesItOwnerOnlyAndTheLastRemovesIt)
{
    SegmentAttachment a;
    ASSERT_EQ(a.attach(name, me, "Host"), SegmentStatus::Attached) << a.why();
    struct stat info = {};
    ASSERT_EQ(stat(pathOf(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(static_cast<size_t>(info.st_size), sizeof(SharedSegment));
    EXPECT_TRUE(segmentHeaderIsValid(a.segment()->header));

    SegmentAttachment b;
    ASSERT_EQ(b.attach(name, me, "Host"), SegmentStatus::Attached) << b.why();
    EXPECT_NE(a.registry(), b.registry()) << "two mappings of one block";
    a.registry()->slots[5].priority.store(7);
    EXPECT_EQ(b.registry()->slots[5].priority.load(), 7);
    EXPECT_EQ(a.segment()->header.users.load(), 2u);

    a.detach();
    EXPECT_TRUE(exists(name)) << "still in use";
    b.detach();
    EXPECT_FALSE(exists(name)) << "the last user removes it";
}

TEST_F(SharedSegmentTest, SomethingElseUnderTheNameIsNeverUsed)
{
    struct Case
    {
        const char* what;
        mode_t mode;
        size_t size;
        bool garbage;
    } cases[] = {
        {"others may write it", 0666, sizeof(SharedSegment), false},
        {"others may read it", 0640, sizeof(SharedSegment), false},
        {"another size", 0600, sizeof(SharedSegment) / 2, false},
        {"another layout", 0600, sizeof(SharedSegment), true},
    };
    for (const Case& c : cases)
    {
        const std::string planted = uniqueName("planted");
        const int fd = open(pathOf(planted).c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchmod(fd, c.mode), 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(c.size)), 0);
        if (c.garbage)
        {
            const uint64_t words[4] = {0x1234, 2, 3, 4};
            ASSERT_EQ(write(fd, words, sizeof words), static_cast<ssize_t>(sizeof words));
        }
        close(fd);
        SegmentAttachment a;
        EXPECT_EQ(a.attach(planted, me, "Host"), SegmentStatus::Unusable) << c.what;
        EXPECT_FALSE(a.attached()) << c.what;
        EXPECT_FALSE(a.why().empty()) << c.what;
        removeSharedMemory(planted);
    }
}

TEST_F(SharedSegmentTest, ALinkPlantedUnderTheNameIsNotFollowed)
{
    const std::string target = "/tmp/" + uniqueName("target");
    std::ofstream(target) << "not a registry";
    ASSERT_EQ(symlink(target.c_str(), pathOf(name).c_str()), 0);
    SegmentAttachment a;
    EXPECT_NE(a.attach(name, me, "Host"), SegmentStatus::Attached);
    std::ifstream check(target);
    std::string text;
    std::getline(check, text);
    EXPECT_EQ(text, "not a registry") << "the file behind the link is untouched";
    unlink(target.c_str());
    unlink(pathOf(name).c_str());
}

TEST_F(SharedSegmentTest, ProcessesThatStartTogetherMeetInOneBlock)
{
    constexpr int kChildren = 6;
    std::vector<pid_t> children;
    for (int i = 0; i < kChildren; ++i)
    {
        const pid_t pid = fork();
        if (pid == 0)
        {
            SegmentAttachment a;
            if (a.attach(name, currentProcessIdentity(), "Host") != SegmentStatus::Attached)
                _exit(1);
            a.registry()->slots[i].priority.store(100 + i);
            // Stay until every child has written, then leave.
            int result = 2;
            for (int wait = 0; wait < 500 && result != 0; ++wait)
            {
                bool all = true;
                for (int j = 0; j < kChildren; ++j)
                    all = all && a.registry()->slots[j].priority.load() == 100 + j;
                if (all)
                    result = 0;
                else
                    usleep(2000);
            }
            a.detach();
            _exit(result);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << pid;
    }
    EXPECT_FALSE(exists(name)) << "the last child removed it";
}

TEST_F(SharedSegmentTest, AKilledProcessIsFoundGoneAndTheBlockStillGoesAtTheEnd)
{
    SegmentAttachment a;
    ASSERT_EQ(a.attach(name, me, "Host"), SegmentStatus::Attached) << a.why();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        SegmentAttachment b;
        const bool ok = b.attach(name, currentProcessIdentity(), "Host") == SegmentStatus::Attached;
        const char byte = ok ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    EXPECT_EQ(a.segment()->header.users.load(), 2u);
    SegmentProcessInfo info;
    int found = -1;
    for (int i = 0; i < kSegmentProcessCount; ++i)
        if (readSegmentProcess(*a.segment(), i, info) && info.pid == child)
            found = i;
    ASSERT_GE(found, 0);
    EXPECT_EQ(info.parentPid, getpid());
    EXPECT_STREQ(info.hostName, "Host");

    EXPECT_EQ(reapGoneProcesses(*a.segment(), isProcessRunning), 0) << "it still runs";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(reapGoneProcesses(*a.segment(), isProcessRunning), 1);
    EXPECT_EQ(a.segment()->header.users.load(), 1u);
    EXPECT_FALSE(readSegmentProcess(*a.segment(), found, info));
    a.detach();
    EXPECT_FALSE(exists(name));
    close(ready[0]);
    close(ready[1]);
}

TEST_F(SharedSegmentTest, ABlockWhoseProcessesAreAllGoneIsRemovedByTheNextToLookAtIt)
{
    // A child enters the block and is killed: nobody leaves it properly.
    const int killed = inChild(
        [&]
        {
            SegmentAttachment a;
            if (a.attach(name, currentProcessIdentity(), "Host") != SegmentStatus::Attached)
                return 1;
            raise(SIGKILL);
            return 0;
        });
    ASSERT_EQ(killed, -SIGKILL);
    ASSERT_TRUE(exists(name));
    EXPECT_FALSE(removeIfAbandoned(uniqueName("none"), isProcessRunning)) << "nothing there";
    EXPECT_TRUE(removeIfAbandoned(name, isProcessRunning));
    EXPECT_FALSE(exists(name));
    // One in use stays.
    SegmentAttachment user;
    ASSERT_EQ(user.attach(name, me, "Host"), SegmentStatus::Attached);
    EXPECT_FALSE(removeIfAbandoned(name, isProcessRunning));
    EXPECT_TRUE(exists(name));
}

TEST(ProcessIdentity, NamesThisProcessAndItsParent)
{
    const ProcessIdentity me = currentProcessIdentity();
    EXPECT_EQ(me.pid, getpid());
    EXPECT_EQ(me.parentPid, getppid());
    EXPECT_NE(me.startTime, 0u);
    EXPECT_EQ(me.executable, "test_link");
    EXPECT_TRUE(isProcessRunning(me.pid, me.startTime));
    EXPECT_FALSE(isProcessRunning(me.pid, me.startTime + 1)) << "a reused id is another process";
    EXPECT_EQ(processStartTime(-1), 0u);
}

} // namespace
} // namespace ostrel
