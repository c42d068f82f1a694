// Child processes started without a shell: what they receive (arguments,
// streams, descriptors), their session, and failures to start.
#include "framework/child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace
{

using plugfw::ChildProcessOptions;
using plugfw::SpawnChildProcess;

// Everything written into the pipe until every writer has closed it.
std::string ReadAll(int fd)
{
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;)
    {
        if (n < 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

int ExitStatus(int pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class ChildProcess : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0); }
    void TearDown() override
    {
        for (int fd : fds)
            if (fd >= 0)
                close(fd);
    }
    // Runs a /bin/sh script with the pipe's writing end handed over as
    // descriptor `number`; returns what the script wrote into it.
    std::string RunScript(const std::string& script, int number = 3,
                          const std::vector<std::string>& extra = {})
    {
        ChildProcessOptions options;
        options.handedFd = fds[1];
        options.handedFdNumber = number;
        std::vector<std::string> arguments = {"sh", "-c", script, "sh"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const int pid = SpawnChildProcess("/bin/sh", arguments, options);
        close(fds[1]);
        fds[1] = -1;
        if (pid <= 0)
        {
            ADD_FAILURE() << "the script did not start";
            return {};
        }
        const std::string text = ReadAll(fds[0]);
        EXPECT_EQ(ExitStatus(pid), 0);
        return text;
    }
    int fds[2] = {-1, -1};
};

TEST_F(ChildProcess, ArgumentsArriveAsTheyAreAndStandardStreamsAreDevNull)
{
    const std::string tricky = "a b; $(touch pwned) `x` 'q' \"r\"";
    const std::string text =
        RunScript("printf '%s|' \"$1\" \"$2\" >&3; for n in 0 1 2; do "
                  "[ \"$(readlink /proc/$$/fd/$n)\" = /dev/null ] || echo \" $n\" >&3; done",
                  3, {tricky, ""});
    EXPECT_EQ(text, tricky + "||");
}

TEST_F(ChildProcess, OnlyTheHandedDescriptorReachesTheChild)
{
    // A descriptor of the host without close-on-exec must stay behind.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ASSERT_EQ(dup2(leaked, 200), 200);
    close(leaked);
    const std::string text = RunScript("for n in 3 4 200; do "
                                       "if [ -e /proc/$$/fd/$n ]; then echo $n >&3; fi; done");
    close(200);
    EXPECT_EQ(text, "3\n");
}

TEST_F(ChildProcess, HandedDescriptorAlreadyOnItsNumberStillArrives)
{
    // The host's descriptor sits on the target number, close-on-exec.
    constexpr int kNumber = 9;
    if (fcntl(kNumber, F_GETFD) != -1)
        GTEST_SKIP() << "descriptor 9 is in use";
    ASSERT_EQ(dup3(fds[1], kNumber, O_CLOEXEC), kNumber);
    close(fds[1]);
    fds[1] = kNumber;
    EXPECT_EQ(RunScript("echo here >&9", kNumber), "here\n");
}

TEST_F(ChildProcess, SessionOfItsOwnOnlyWhenAsked)
{
    for (const bool newSession : {false, true})
    {
        int gate[2];
        ASSERT_EQ(pipe2(gate, O_CLOEXEC), 0);
        ChildProcessOptions options;
        options.newSession = newSession;
        options.handedFd = gate[0];
        // Waits until the test has looked at it.
        const int pid = SpawnChildProcess("/bin/sh", {"sh", "-c", "read x <&3"}, options);
        ASSERT_GT(pid, 0);
        const pid_t session = getsid(pid);
        close(gate[1]);
        close(gate[0]);
        EXPECT_EQ(ExitStatus(pid), 1) << newSession;
        if (newSession)
            EXPECT_EQ(session, pid);
        else
            EXPECT_EQ(session, getsid(0));
    }
}

TEST(ChildProcessStart, ProgramIsLookedUpInPathOnlyWhenAsked)
{
    ChildProcessOptions options;
    options.searchPath = true;
    const int pid = SpawnChildProcess("sh", {"sh", "-c", "exit 7"}, options);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(ExitStatus(pid), 7);

    // Taken as a path, a bare name is looked for in the current folder only.
    ASSERT_NE(access("sh", F_OK), 0) << "the test runs in a folder holding sh";
    EXPECT_EQ(SpawnChildProcess("sh", {"sh", "-c", "exit 7"}, {}), -1);
    EXPECT_EQ(SpawnChildProcess("/nonexistent/program", {"program"}, {}), -1);
}

} // namespace
