// The data folder on Windows: the user's roaming application-data folder.
#include "storage/data_folder.h"

#include "storage/platform_files.h"
#include "storage/wide_path_windows.h"

#include <aclapi.h>
#include <shlobj.h>

#include <vector>

namespace ostrel
{
namespace
{

constexpr char kMakerFolder[] = "\\Talmesh";
constexpr char kFallbackFolder[] = "C:\\Talmesh";

// The owner of the entry at `path` itself (a link's own, not its target's).
// False when it cannot be read.
bool ownerOf(const std::wstring& path, std::vector<unsigned char>& sid)
{
    HANDLE entry = CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &descriptor);
    CloseHandle(entry);
    const bool read = result == ERROR_SUCCESS && owner != nullptr && IsValidSid(owner);
    if (read)
    {
        const auto* bytes = static_cast<const unsigned char*>(owner);
        sid.assign(bytes, bytes + GetLengthSid(owner));
    }
    LocalFree(descriptor);
    return read;
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type) != FALSE;
}

// The current user, the Administrators group (what a link made from an
// elevated prompt belongs to) and the system: none of them is another
// ordinary user who could have planted the link.
bool isTrustedOwner(PSID owner)
{
    if (isWellKnown(owner, WinBuiltinAdministratorsSid) || isWellKnown(owner, WinLocalSystemSid))
        return true;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool mine = size > 0 &&
                      GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
                      EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, owner);
    CloseHandle(token);
    return mine;
}

// A link or junction standing in for the folder that another user could
// have made: it could send our writes into their hands. One of the user's
// own (settings kept on another drive) is used like the folder itself.
bool isForeignLink(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    std::vector<unsigned char> owner;
    return !ownerOf(folder, owner) || !isTrustedOwner(owner.data());
}

} // namespace

std::string DataFolder()
{
    wchar_t base[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base) != S_OK)
        return kFallbackFolder;
    const std::string folder = utf8Path(base);
    return folder.empty() ? std::string(kFallbackFolder) : folder + kMakerFolder;
}

WriteFailure CreateDataFolder()
{
    const std::wstring folder = widePath(DataFolder());
    if (folder.empty())
        return WriteFailure::Other;
    const int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS)
        return WriteFailure::None;
    return platform_files::failureOf(result);
}

std::string PathInDataFolder(std::string_view fileName)
{
    std::string path = DataFolder();
    path += '\\';
    path += fileName;
    return path;
}

std::string UsablePathInDataFolder(std::string_view fileName)
{
    return DataFolderRefused() ? std::string() : PathInDataFolder(fileName);
}

bool DataFolderRefused()
{
    const std::wstring folder = widePath(DataFolder());
    return folder.empty() || isForeignLink(folder);
}

} // namespace ostrel
