// The shared registry across two Windows processes, through the Local\ file
// mapping: a Source in another process is seen in this one (its slot, its
// process, its levels); a process in another block is not; a process ended
// with TerminateProcess is found gone and its slot freed at once; the
// mapping goes with its last process.
#include "link/peer_registry.h"
#include "link/process_identity.h"
#include "link/shared_segment.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace
{

using namespace ostrel;

std::wstring PeerProgram()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"ostrel-segment-peer.exe";
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// A peer process with pipes on its standard input and output.
class SegmentPeer
{
public:
    SegmentPeer(const std::string& block, int channel, const char* level)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childIn = nullptr;
        HANDLE childOut = nullptr;
        if (!CreatePipe(&childIn, &mToChild, &inherit, 0) ||
            !CreatePipe(&mFromChild, &childOut, &inherit, 0))
            return;
        SetHandleInformation(mToChild, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(mFromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = childIn;
        start.hStdOutput = childOut;
        start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring command = L"\"" + PeerProgram() + L"\" " + Wide(block) + L" " +
                               std::to_wstring(channel) + L" " + Wide(level);
        mStarted = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &start, &mProcess) != 0;
        CloseHandle(childIn);
        CloseHandle(childOut);
    }
    ~SegmentPeer()
    {
        Close();
        if (mStarted)
        {
            WaitForSingleObject(mProcess.hProcess, 10000);
            CloseHandle(mProcess.hProcess);
            CloseHandle(mProcess.hThread);
        }
        if (mFromChild != nullptr)
            CloseHandle(mFromChild);
    }
    // Waits for "ready".
    bool Ready()
    {
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (mStarted && ReadFile(mFromChild, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            line.push_back(c);
        return line.rfind("ready", 0) == 0;
    }
    int32_t Pid() const { return static_cast<int32_t>(mProcess.dwProcessId); }
    // Closes its input: it leaves and ends; returns its exit code.
    DWORD Finish()
    {
        Close();
        DWORD code = 99;
        WaitForSingleObject(mProcess.hProcess, 10000);
        GetExitCodeProcess(mProcess.hProcess, &code);
        return code;
    }
    void Terminate()
    {
        TerminateProcess(mProcess.hProcess, 9);
        WaitForSingleObject(mProcess.hProcess, 10000);
    }

private:
    void Close()
    {
        if (mToChild != nullptr)
            CloseHandle(mToChild);
        mToChild = nullptr;
    }
    PROCESS_INFORMATION mProcess{};
    bool mStarted = false;
    HANDLE mToChild = nullptr;
    HANDLE mFromChild = nullptr;
};

bool BlockExists(const std::string& name)
{
    SharedMemoryMapping mapping;
    std::string why;
    const bool exists = openSharedMemory(name, sizeof(SharedSegment), mapping, why, false) ==
                        SharedMemoryOpen::Opened;
    closeSharedMemory(mapping);
    return exists;
}

TEST(SharedSegmentProcesses, TwoProcessesMeetInOneBlockAndOthersDoNot)
{
    const std::string name = "ostrel-wine-" + std::to_string(GetCurrentProcessId());
    const std::string other = name + "-other";
    SegmentAttachment block;
    ASSERT_EQ(block.attach(name, currentProcessIdentity(), "segment-test"), SegmentStatus::Attached)
        << block.why();
    const PeerRegistry& registry = *block.registry();

    SegmentPeer source(name, 4, "0.25");
    ASSERT_TRUE(source.Ready());
    const PeerSlot& slot = registry.slots[4];
    EXPECT_TRUE(slotHasOwner(slot));
    EXPECT_EQ(roleOf(slot), kPeerRoleSource);
    EXPECT_EQ(slot.ownerPid.load(), source.Pid()) << "the slot names the other process";
    float levels[kPeerBandCount];
    ASSERT_TRUE(readLevels(slot, levels));
    for (float level : levels)
        EXPECT_FLOAT_EQ(level, 0.25f);
    bool entered = false;
    for (int i = 0; i < kSegmentProcessCount; ++i)
    {
        SegmentProcessInfo info;
        if (readSegmentProcess(*block.segment(), i, info) && info.pid == source.Pid())
            entered = std::string(info.hostName) == "segment-test";
    }
    EXPECT_TRUE(entered) << "the other process is entered in the block";

    // A process of another block (another host session) is not seen here.
    SegmentPeer stranger(other, 6, "0.5");
    ASSERT_TRUE(stranger.Ready());
    EXPECT_FALSE(slotHasOwner(registry.slots[6]));

    // Ended without leaving: found gone, its slot free at once.
    source.Terminate();
    EXPECT_EQ(reapGoneProcesses(*block.segment(), isProcessRunning), 1);
    EXPECT_FALSE(slotHasOwner(slot));

    // The stranger leaves its block, the last process in it: it goes.
    EXPECT_EQ(stranger.Finish(), 0u);
    EXPECT_FALSE(BlockExists(other));
    EXPECT_TRUE(BlockExists(name));
    block.detach();
    EXPECT_FALSE(BlockExists(name));
}

} // namespace
