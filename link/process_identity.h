// Who a process is, as another process of the same user can check it: its
// id, its parent's, when it started (so a reused id is not taken for it) and
// the name of its executable. Off the audio thread only.
#pragma once

#include <cstdint>
#include <string>

namespace ostrel
{

struct ProcessIdentity
{
    int32_t pid = 0;
    int32_t parentPid = 0;
    uint64_t startTime = 0; // the platform's own count; only compared for equality
    std::string executable; // file name only, lower case, without ".exe"
};

ProcessIdentity currentProcessIdentity();

// This process's id, cached after the first call (no system call then).
int32_t thisProcessId();

// The user the shared blocks belong to (0 where the platform's namespace is
// already the user's own).
uint32_t currentUserId();

// Whether the process `pid` that started at `startTime` still runs.
bool isProcessRunning(int32_t pid, uint64_t startTime);

// The executable's file name of process `pid`, as `executable` above ("" when
// it cannot be read).
std::string processExecutable(int32_t pid);

// The start time of process `pid` (0 when it does not run or cannot be read).
uint64_t processStartTime(int32_t pid);

} // namespace ostrel
