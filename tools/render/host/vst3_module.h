// A VST 3 module loaded the way a host of this platform loads it: the
// bundle's module opened, its entry call (ModuleEntry on Linux, InitDll on
// Windows), GetPluginFactory; on destruction the factory is released, the
// exit call made and the library closed (module_library.h).
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <string>

namespace ostrel::host
{

class Vst3Module
{
public:
    Vst3Module() = default;
    ~Vst3Module();

    Vst3Module(const Vst3Module&) = delete;
    Vst3Module& operator=(const Vst3Module&) = delete;

    // `path` is a bundle folder (Name.vst3) or the shared object itself.
    bool Load(const std::string& path, std::string& error);
    void Unload();

    Steinberg::IPluginFactory* Factory() const { return mFactory; }
    // The shared object actually loaded.
    const std::string& LibraryPath() const { return mLibraryPath; }
    void* Handle() const { return mHandle; }
    // An exported symbol of the module (nullptr when absent).
    void* Symbol(const char* name) const;

    // The shared object inside a bundle for this machine.
    static std::string LibraryInBundle(const std::string& bundlePath);

private:
    void* mHandle = nullptr;
    bool mEntered = false;
    Steinberg::IPluginFactory* mFactory = nullptr;
    std::string mLibraryPath;
};

} // namespace ostrel::host
