// Module-wide state of the plug-in's shared object: the use counter behind
// InitDll/ExitDll, the module's handle and file path, and the host context
// the host handed to the factory. Main thread only.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <string>

namespace plugfw
{

// The loader's handle of the module, where the platform hands it over at
// load time (DllMain on Windows), for InitDll to record.
void ModuleLoaded(void* handle);
// The module is being unloaded (Windows: DLL_PROCESS_DETACH by FreeLibrary):
// unregisters what belongs to this load of it.
void ModuleUnloading();
// InitDll: counts a user; the first one records the module handle (`handle`,
// else the one given at load).
bool ModuleInit(void* handle);
// ExitDll: counts a user out; the last one runs the module clean-up. False
// when there was no user left to count out.
bool ModuleExit();
int ModuleUseCount();
void* ModuleHandle();

// Full path of the module's file and its folder (with a trailing separator),
// found from the address of the module's own code (module_state_<platform>.cpp).
const std::string& ModulePath();
std::string ModuleFolder();

// The context given to IPluginFactory3::setHostContext (nullptr if none).
void SetFactoryHostContext(Steinberg::FUnknown* context);
Steinberg::FUnknown* FactoryHostContext();

} // namespace plugfw
