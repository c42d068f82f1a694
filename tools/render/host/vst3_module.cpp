#include "tools/render/host/vst3_module.h"

#include "tools/render/host/module_library.h"
#include "tools/render/host/utf8_path.h"

#include <filesystem>
#include <system_error>

namespace ostrel::host
{

namespace
{

bool isDirectory(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(Utf8Path(path), ec);
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(Utf8Path(path), ec);
}

std::string withoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && IsPathSeparator(path.back()))
        path.pop_back();
    return path;
}

std::string stem(const std::string& bundlePath)
{
    std::string name = withoutTrailingSeparators(bundlePath);
    for (size_t i = name.size(); i > 0; --i)
        if (IsPathSeparator(name[i - 1]))
        {
            name = name.substr(i);
            break;
        }
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
    return ModuleInBundle(withoutTrailingSeparators(bundlePath), stem(bundlePath));
}

bool Vst3Module::Load(const std::string& path, std::string& error)
{
    Unload();
    if (!exists(path))
    {
        error = "no plug-in at '" + path + "'";
        return false;
    }
    mLibraryPath = isDirectory(path) ? LibraryInBundle(path) : path;
    std::string why;
    mHandle = OpenLibrary(mLibraryPath, why);
    if (!mHandle)
    {
        error = "cannot load '" + mLibraryPath + "': " + why;
        return false;
    }
    if (!EnterModule(mHandle, mEntered))
    {
        error = "the entry call of '" + mLibraryPath + "' failed";
        Unload();
        return false;
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
        ExitModule(mHandle);
        mEntered = false;
    }
    if (mHandle)
    {
        CloseLibrary(mHandle);
        mHandle = nullptr;
    }
}

void* Vst3Module::Symbol(const char* name) const
{
    return LibrarySymbol(mHandle, name);
}

} // namespace ostrel::host
