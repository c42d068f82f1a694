#include "link/process_identity.h"

#include <algorithm>
#include <cwctype>

#include <windows.h>

// After windows.h, whose types it uses.
#include <tlhelp32.h>

namespace ostrel
{
namespace
{

uint64_t creationTime(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

int32_t parentOf(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int32_t parent = 0;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == pid)
        {
            parent = static_cast<int32_t>(entry.th32ParentProcessID);
            break;
        }
    CloseHandle(snapshot);
    return parent;
}

std::string executableOf(std::wstring exe)
{
    exe = exe.substr(exe.find_last_of(L"\\/") + 1);
    if (exe.size() > 4 && _wcsicmp(exe.c_str() + exe.size() - 4, L".exe") == 0)
        exe.resize(exe.size() - 4);
    std::string name;
    for (wchar_t c : exe)
        name.push_back(c < 128 ? static_cast<char>(std::towlower(c)) : '_');
    return name;
}

} // namespace

std::string processExecutable(int32_t pid)
{
    if (pid <= 0)
        return "";
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return "";
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    const bool ok = QueryFullProcessImageNameW(process, 0, path, &length) != 0;
    CloseHandle(process);
    return ok ? executableOf(std::wstring(path, length)) : "";
}

ProcessIdentity currentProcessIdentity()
{
    ProcessIdentity me;
    me.pid = static_cast<int32_t>(GetCurrentProcessId());
    me.parentPid = parentOf(GetCurrentProcessId());
    me.startTime = creationTime(GetCurrentProcess());
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    me.executable = executableOf(std::wstring(path, length));
    return me;
}

int32_t thisProcessId()
{
    static const int32_t pid = static_cast<int32_t>(GetCurrentProcessId());
    return pid;
}

uint32_t currentUserId()
{
    return 0; // Local\ names are the logon session's own
}

uint64_t processStartTime(int32_t pid)
{
    if (pid <= 0)
        return 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return 0;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    const uint64_t start = running ? creationTime(process) : 0;
    CloseHandle(process);
    return start;
}

bool isProcessRunning(int32_t pid, uint64_t startTime)
{
    return startTime != 0 && processStartTime(pid) == startTime;
}

} // namespace ostrel
