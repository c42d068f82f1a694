// The module's own file on Linux: dladdr on an address inside the module.
#include "vst3/module_state.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace plugfw
{

const std::string& ModulePath()
{
    static const std::string path = []
    {
        Dl_info info{};
        if (dladdr(reinterpret_cast<const void*>(&ModulePath), &info) == 0 || !info.dli_fname)
            return std::string();
        // A host may have loaded us through a relative path.
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved))
            return std::string(resolved);
        return std::string(info.dli_fname);
        return std::string();
    }();
    return path;
}

std::string ModuleFolder()
{
    const std::string& path = ModulePath();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace plugfw
