#include "storage/data_folder.h"

#include "storage/platform_files.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ostrel
{
namespace
{

constexpr char kMakerFolder[] = "Talmesh";
constexpr char kFallbackFolder[] = "/tmp/Talmesh";

// A base folder from the environment, or empty when unset, empty or relative
// (a relative base would depend on the host's working folder).
std::string absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

std::string parentOf(const std::string& folder)
{
    const size_t slash = folder.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

// A folder like /tmp, where any user may create (or plant) entries.
bool inSharedFolder(const std::string& folder)
{
    struct stat info = {};
    return ::stat(parentOf(folder).c_str(), &info) == 0 && (info.st_mode & S_IWOTH) != 0;
}

// A real folder (not a link to one) of the current user.
bool isOwnFolder(const std::string& folder, struct stat& info)
{
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

} // namespace

std::string DataFolder()
{
    std::string base = absoluteVariable("XDG_CONFIG_HOME");
    if (base.empty())
    {
        base = absoluteVariable("HOME");
        if (base.empty())
            return kFallbackFolder;
        if (base.back() != '/')
            base += '/';
        base += ".config";
    }
    if (base.back() != '/')
        base += '/';
    return base + kMakerFolder;
}

WriteFailure CreateDataFolder()
{
    const std::string folder = DataFolder();
    if (!inSharedFolder(folder))
    {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        return platform_files::failureOf(error.value());
    }
    // Private from the first moment: no window in which another user could
    // list it or drop files into it. One that an earlier version left open to
    // others is closed. Whatever else stands there is refused by the caller.
    if (::mkdir(folder.c_str(), 0700) == 0)
        return WriteFailure::None;
    if (errno != EEXIST)
        return platform_files::lastFailure();
    struct stat info = {};
    if (isOwnFolder(folder, info) && (info.st_mode & 0077) != 0)
        ::chmod(folder.c_str(), 0700);
    return WriteFailure::None;
}

std::string PathInDataFolder(std::string_view fileName)
{
    std::string path = DataFolder();
    path += '/';
    path += fileName;
    return path;
}

std::string UsablePathInDataFolder(std::string_view fileName)
{
    const std::string folder = DataFolder();
    struct stat info = {};
    if (inSharedFolder(folder) && !isOwnFolder(folder, info))
        return {};
    return PathInDataFolder(fileName);
}

bool DataFolderRefused()
{
    const std::string folder = DataFolder();
    struct stat info = {};
    return inSharedFolder(folder) && ::lstat(folder.c_str(), &info) == 0 &&
           !isOwnFolder(folder, info);
}

} // namespace ostrel
