// What loading a VST 3 module asks of the platform (module_library_<platform>.cpp):
// where a bundle keeps the module, opening it and finding its exports, and
// the entry and exit calls this platform's hosts make around its use.
// Paths are UTF-8.
#pragma once

#include <string>

namespace ostrel::host
{

using LibraryHandle = void*;

// "Contents/x86_64-linux/Name.so" or "Contents/x86_64-win/Name.vst3".
std::string ModuleInBundle(const std::string& bundleRoot, const std::string& name);
bool IsPathSeparator(char c);

// nullptr with the system's reason in `error`.
LibraryHandle OpenLibrary(const std::string& path, std::string& error);
void* LibrarySymbol(LibraryHandle library, const char* name);
void CloseLibrary(LibraryHandle library);

// The module's entry call (Linux: ModuleEntry with the handle; Windows:
// InitDll). `entered` tells whether there was one to call, so that
// ExitModule is called exactly when it was; false when the module refused.
bool EnterModule(LibraryHandle library, bool& entered);
// ModuleExit or ExitDll.
void ExitModule(LibraryHandle library);

} // namespace ostrel::host
