// Modules on Linux: Contents/x86_64-linux/<name>.so, opened with dlopen,
// entered with ModuleEntry(handle) and left with ModuleExit().
#include "tools/render/host/module_library.h"

#include <dlfcn.h>

namespace ostrel::host
{

std::string ModuleInBundle(const std::string& bundleRoot, const std::string& name)
{
    return bundleRoot + "/Contents/x86_64-linux/" + name + ".so";
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

LibraryHandle OpenLibrary(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
    {
        const char* why = dlerror();
        error = why ? why : "unknown error";
    }
    return handle;
}

void* LibrarySymbol(LibraryHandle library, const char* name)
{
    return library ? dlsym(library, name) : nullptr;
}

void CloseLibrary(LibraryHandle library)
{
    if (library)
        dlclose(library);
}

bool EnterModule(LibraryHandle library, bool& entered)
{
    using EntryFunction = bool (*)(void*);
    entered = false;
    auto entry = reinterpret_cast<EntryFunction>(LibrarySymbol(library, "ModuleEntry"));
    if (!entry)
        return true;
    if (!entry(library))
        return false;
    entered = true;
    return true;
}

void ExitModule(LibraryHandle library)
{
    using ExitFunction = bool (*)();
    if (auto exitModule = reinterpret_cast<ExitFunction>(LibrarySymbol(library, "ModuleExit")))
        exitModule();
}

} // namespace ostrel::host
