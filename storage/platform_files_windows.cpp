// The store's file operations on Windows, on UTF-16 paths: the new file is
// flushed with FlushFileBuffers and replaces the target through MoveFileExW
// with write-through, so a reader sees the old or the new whole file.
#include "storage/platform_files.h"

#include "storage/wide_path_windows.h"

#include <algorithm>
#include <cstdint>

namespace ostrel::platform_files
{
namespace
{

class Handle
{
public:
    explicit Handle(HANDLE handle) : mHandle(handle) {}
    ~Handle()
    {
        if (Valid())
            CloseHandle(mHandle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool Valid() const { return mHandle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return mHandle; }
    bool Close()
    {
        const bool closed = CloseHandle(mHandle) != 0;
        mHandle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE mHandle;
};

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty())
    {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

size_t lastSeparator(const std::string& path)
{
    return path.find_last_of("\\/");
}

} // namespace

std::string processIdText()
{
    return std::to_string(GetCurrentProcessId());
}

WriteFailure failureOf(int systemError)
{
    switch (static_cast<DWORD>(systemError))
    {
    case ERROR_SUCCESS:
        return WriteFailure::None;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return WriteFailure::DiskFull;
    case ERROR_FILE_TOO_LARGE:
        return WriteFailure::TooLarge;
    case ERROR_ACCESS_DENIED:
        return WriteFailure::NotPermitted;
    case ERROR_WRITE_PROTECT:
        return WriteFailure::ReadOnly;
    default:
        return WriteFailure::Other;
    }
}

WriteFailure lastFailure()
{
    return failureOf(static_cast<int>(GetLastError()));
}

ReadResult readRegularFile(const std::string& path, size_t maxBytes, std::string& content)
{
    content.clear();
    const std::wstring wide = widePath(path);
    if (wide.empty())
        return ReadResult::Failed;
    // A folder cannot be opened this way; a pipe or device is refused below
    // before anything is read from it.
    Handle file(CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid() || GetFileType(file.Get()) != FILE_TYPE_DISK)
        return ReadResult::Failed;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return ReadResult::Failed;
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes)
        return ReadResult::TooLarge;

    char block[4096];
    for (;;)
    {
        DWORD got = 0;
        if (!ReadFile(file.Get(), block, sizeof block, &got, nullptr))
        {
            content.clear();
            return ReadResult::Failed;
        }
        if (got == 0)
            return ReadResult::Read;
        if (got > maxBytes - content.size())
        {
            content.clear();
            return ReadResult::TooLarge;
        }
        content.append(block, got);
    }
}

CreateResult writeNewFileDurably(const std::string& path, std::string_view bytes)
{
    const std::wstring wide = widePath(path);
    if (wide.empty())
    {
        SetLastError(ERROR_INVALID_NAME);
        return CreateResult::Failed;
    }
    // CREATE_NEW fails on any existing entry, a link included: nothing is
    // ever written through a name someone else put there.
    Handle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
    {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::NameTaken
                                                                           : CreateResult::Failed;
    }
    const bool written = writeAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    const bool closed = file.Close();
    if (written && closed)
        return CreateResult::Written;
    const DWORD why = GetLastError();
    DeleteFileW(wide.c_str());
    SetLastError(why);
    return CreateResult::Failed;
}

bool replaceFile(const std::string& source, const std::string& target)
{
    const std::wstring from = widePath(source);
    const std::wstring to = widePath(target);
    return !from.empty() && !to.empty() &&
           MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const std::string& path)
{
    const std::wstring wide = widePath(path);
    if (!wide.empty())
        DeleteFileW(wide.c_str());
}

std::string folderOf(const std::string& path)
{
    const size_t slash = lastSeparator(path);
    if (slash == std::string::npos)
        return ".";
    // "C:\" keeps its separator: "C:" alone is the drive's current folder.
    if (slash == 0 || (slash == 2 && path[1] == ':'))
        return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void removeStaleFiles(const std::string& folder,
                      const std::function<bool(std::string_view name)>& isOurs,
                      std::chrono::seconds minAge)
{
    const std::wstring pattern = widePath(folder + "\\*");
    if (pattern.empty())
        return;
    WIN32_FIND_DATAW entry{};
    HANDLE listing = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                      FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    FILETIME nowTime{};
    GetSystemTimeAsFileTime(&nowTime);
    const auto ticks = [](const FILETIME& time)
    { return (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    const int64_t now = ticks(nowTime);
    constexpr int64_t kTicksPerSecond = 10'000'000; // FILETIME counts 100 ns
    do
    {
        const std::string name = utf8Path(entry.cFileName);
        if (name.empty() || !isOurs(name))
            continue;
        // A link or a folder under our pattern is not a temporary we left.
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
            0)
            continue;
        // A modification time in the future (a clock set back) is not stale.
        if (now - ticks(entry.ftLastWriteTime) < minAge.count() * kTicksPerSecond)
            continue;
        DeleteFileW(widePath(folder + "\\" + name).c_str());
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
}

} // namespace ostrel::platform_files
