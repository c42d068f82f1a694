#include "storage/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

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

void CreateDataFolder()
{
    std::error_code ignored;
    std::filesystem::create_directories(DataFolder(), ignored);
}

std::string PathInDataFolder(std::string_view fileName)
{
    std::string path = DataFolder();
    path += '/';
    path += fileName;
    return path;
}

} // namespace ostrel
