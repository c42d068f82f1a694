#include "tools/render/host/vst3_module.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace ostrel::host
{

namespace
{

bool isDirectory(const std::string& path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string stem(const std::string& bundlePath)
{
    std::string name = bundlePath;
    while (!name.empty() && name.back() == '/')
        name.pop_back();
    const auto slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    const auto dot = name.rfind(".vst3");
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return name;
}

} // namespace

Vst3Module::~Vst3Module()
{
    Unload();
}

std::string Vst3Module::LibraryInBundle(const std::string& bundlePath)
{
    std::string root = bundlePath;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root + "/Contents/x86_64-linux/" + stem(bundlePath) + ".so";
}

bool Vst3Module::Load(const std::string& path, std::string& error)
{
    Unload();
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
    {
        error = "no plug-in at '" + path + "'";
        return false;
    }
    mLibraryPath = isDirectory(path) ? LibraryInBundle(path) : path;
    mHandle = dlopen(mLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mHandle)
    {
        const char* why = dlerror();
        error = "cannot load '" + mLibraryPath + "': " + (why ? why : "unknown error");
        return false;
    }
    using EntryFunction = bool (*)(void*);
    if (auto entry = reinterpret_cast<EntryFunction>(Symbol("ModuleEntry")))
    {
        if (!entry(mHandle))
        {
            error = "ModuleEntry of '" + mLibraryPath + "' failed";
            Unload();
            return false;
        }
        mEntered = true;
    }
    auto getFactory = reinterpret_cast<GetFactoryProc>(Symbol("GetPluginFactory"));
    if (!getFactory)
    {
        error = "'" + mLibraryPath + "' exports no GetPluginFactory";
        Unload();
        return false;
    }
    mFactory = getFactory();
    if (!mFactory)
    {
        error = "GetPluginFactory of '" + mLibraryPath + "' returned nothing";
        Unload();
        return false;
    }
    return true;
}

void Vst3Module::Unload()
{
    if (mFactory)
    {
        mFactory->release();
        mFactory = nullptr;
    }
    if (mEntered)
    {
        using ExitFunction = bool (*)();
        if (auto exitModule = reinterpret_cast<ExitFunction>(Symbol("ModuleExit")))
            exitModule();
        mEntered = false;
    }
    if (mHandle)
    {
        dlclose(mHandle);
        mHandle = nullptr;
    }
}

void* Vst3Module::Symbol(const char* name) const
{
    return mHandle ? dlsym(mHandle, name) : nullptr;
}

} // namespace ostrel::host
