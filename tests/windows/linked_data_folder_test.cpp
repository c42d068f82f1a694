// A data folder that is a link or junction: the user's own (settings kept on
// another drive) is used like the folder itself; one that another user owns
// is refused, read and written alike. Under Wine, which cannot make
// junctions, a symbolic link of the Unix side stands in: Wine shows it to
// Windows programs as a reparse point, as a junction is.
#include "storage/data_folder.h"
#include "storage/file_work_queue.h"
#include "storage/user_files.h"

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

// Wine's own export: the Unix path of a Windows one (null on Windows).
std::string UnixPath(const fs::path& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return {};
    char* unix = toUnix(path.c_str());
    if (unix == nullptr)
        return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Starts a program of the Unix side (Wine starts one like any other, but
// gives no handle to wait on) and waits until `done` holds, for at most ten
// seconds.
template <typename Done>
bool RunUnix(const wchar_t* program, std::initializer_list<std::string> arguments, Done done)
{
    std::wstring line = fs::path(program).filename().wstring();
    for (const std::string& argument : arguments)
        line += L" \"" + fs::path(argument).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (int waited = 0; waited < 1000; ++waited)
    {
        if (done())
            return true;
        Sleep(10);
    }
    return false;
}

bool IsReparsePoint(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Whether the owner that Windows reports for the entry at `path` itself is
// the current user.
bool OwnedByMe(const fs::path& path)
{
    HANDLE entry = CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool read = GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                      nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS;
    CloseHandle(entry);
    HANDLE token = nullptr;
    unsigned char user[256] = {};
    DWORD size = 0;
    const bool mine = read && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                      GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                      EqualSid(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, owner);
    if (token != nullptr)
        CloseHandle(token);
    LocalFree(descriptor);
    return mine;
}

// A junction at `link` to `target`, as mklink /J makes it.
bool MakeJunction(const fs::path& link, const fs::path& target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = false;
    if (folder != INVALID_HANDLE_VALUE)
    {
        // The mount-point reparse data: substitute name, then print name.
        const std::wstring substitute = L"\\??\\" + target.wstring();
        const std::wstring print = target.wstring();
        const size_t pathBytes = (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
        std::vector<unsigned char> data(8 + 8 + pathBytes, 0);
        auto put16 = [&data](size_t at, size_t value)
        {
            data[at] = static_cast<unsigned char>(value & 0xFF);
            data[at + 1] = static_cast<unsigned char>(value >> 8);
        };
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        memcpy(data.data(), &tag, sizeof tag);
        put16(4, 8 + pathBytes);
        put16(8, 0);
        put16(10, substitute.size() * sizeof(wchar_t));
        put16(12, (substitute.size() + 1) * sizeof(wchar_t));
        put16(14, print.size() * sizeof(wchar_t));
        memcpy(data.data() + 16, substitute.c_str(), substitute.size() * sizeof(wchar_t));
        memcpy(data.data() + 16 + (substitute.size() + 1) * sizeof(wchar_t), print.c_str(),
               print.size() * sizeof(wchar_t));
        DWORD returned = 0;
        made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(),
                               static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
        CloseHandle(folder);
    }
    if (!made)
        RemoveDirectoryW(link.c_str());
    return made;
}

class LinkedDataFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t base[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base),
                  S_OK);
        folder = fs::path(base) / L"Talmesh";
        const std::wstring pid = std::to_wstring(GetCurrentProcessId());
        saved = fs::path(base) / (L"Talmesh.saved-" + pid);
        RemoveLink(); // one that a killed run left
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        {
            ASSERT_TRUE(MoveFileW(folder.c_str(), saved.c_str())) << "the real folder set aside";
        }
        target = fs::temp_directory_path() /
                 (L"ostrel-linked-" + pid + L"-" + std::to_wstring(GetTickCount64()));
        fs::remove_all(target);
        fs::create_directories(target);
    }

    void TearDown() override
    {
        RemoveLink();
        std::error_code ignored;
        fs::remove_all(target, ignored);
        if (GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES)
            MoveFileW(saved.c_str(), folder.c_str());
    }

    // The data folder made a junction (or Wine's stand-in) to `target`.
    bool Link()
    {
        if (MakeJunction(folder, target))
            return true;
        const std::string from = UnixPath(target);
        const std::string to = UnixPath(folder);
        return UnderWine() && !from.empty() && !to.empty() &&
               RunUnix(L"Z:\\bin\\ln", {"-sT", from, to},
                       [this] { return IsReparsePoint(folder); });
    }

    // Makes the link and what it leads to another user's. Wine shows the
    // owner of what a link leads to, Windows the link's own: both change.
    bool GiveToAnotherUser()
    {
        const std::string link = UnixPath(folder);
        const std::string into = UnixPath(target);
        return UnderWine() && !link.empty() && !into.empty() &&
               RunUnix(L"Z:\\bin\\chown", {"-h", "65534", link, into},
                       [this] { return !OwnedByMe(folder); });
    }

    void RemoveLink()
    {
        if (!IsReparsePoint(folder))
            return;
        // The link only, never what it leads to: Wine's stand-in is removed
        // on the Unix side, a junction as an empty folder is.
        const std::string link = UnixPath(folder);
        if (!UnderWine() || link.empty())
            RemoveDirectoryW(folder.c_str());
        else
            RunUnix(L"Z:\\bin\\rm", {"-f", link},
                    [this]
                    { return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }

    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder;
    fs::path saved;
    fs::path target;
};

TEST_F(LinkedDataFolder, TheUsersOwnLinkIsUsedLikeTheFolder)
{
    ASSERT_TRUE(Link());
    ASSERT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
        << "a reparse point stands at the data folder";
    EXPECT_FALSE(ostrel::DataFolderRefused());

    ostrel::FileWorkQueue queue;
    queue.QueueWrite(ostrel::kPresetsFileName, "[\"kept elsewhere\"]");
    queue.QueueWrite(ostrel::kOnboardedFileName, "1");
    EXPECT_TRUE(queue.RunWrites().empty());
    EXPECT_EQ(Read(target / ostrel::kPresetsFileName), "[\"kept elsewhere\"]");
    EXPECT_EQ(ostrel::ReadPresetsFile(), "[\"kept elsewhere\"]");
    EXPECT_EQ(ostrel::OnboardedFileLength(), 1u);
}

TEST_F(LinkedDataFolder, AnotherUsersLinkIsRefusedForReadsAndWrites)
{
    std::ofstream(target / ostrel::kPresetsFileName, std::ios::binary) << "[\"planted\"]";
    ASSERT_TRUE(Link());
    if (!GiveToAnotherUser())
        GTEST_SKIP() << "cannot give a link to another user here (Wine as root only)";

    EXPECT_TRUE(ostrel::DataFolderRefused());
    EXPECT_EQ(ostrel::UsablePathInDataFolder(ostrel::kPresetsFileName), "");
    EXPECT_EQ(ostrel::ReadPresetsFile(), "") << "another user's file was read";
    ostrel::FileWorkQueue queue;
    queue.QueueWrite(ostrel::kPresetsFileName, "[\"mine\"]");
    const std::vector<ostrel::FileWorkQueue::FailedWrite> failed = queue.RunWrites();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].failure, ostrel::WriteFailure::FolderRefused);
    EXPECT_EQ(Read(target / ostrel::kPresetsFileName), "[\"planted\"]")
        << "written through the link";
}

} // namespace
