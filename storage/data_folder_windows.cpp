// The data folder on Windows: the user's roaming application-data folder.
#include "storage/data_folder.h"

#include "storage/wide_path_windows.h"

#include <shlobj.h>

namespace ostrel
{
namespace
{

constexpr char kMakerFolder[] = "\\Talmesh";
constexpr char kFallbackFolder[] = "C:\\Talmesh";

} // namespace

std::string DataFolder()
{
    wchar_t base[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base) != S_OK)
        return kFallbackFolder;
    const std::string folder = utf8Path(base);
    return folder.empty() ? std::string(kFallbackFolder) : folder + kMakerFolder;
}

void CreateDataFolder()
{
    const std::wstring folder = widePath(DataFolder());
    if (!folder.empty())
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
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
    // A junction or link standing in for the folder (any user may make one
    // at the fallback in the drive's root) could send our writes elsewhere.
    const DWORD attributes = GetFileAttributesW(widePath(DataFolder()).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return {};
    return PathInDataFolder(fileName);
}

} // namespace ostrel
