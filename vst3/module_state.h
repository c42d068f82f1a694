// Module-wide state of the plug-in's shared object: the use counter behind
// InitDll/ExitDll, the module's handle and file path, and the host context
// the host handed to the factory. Main thread only.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <string>

namespace plugfw
{

// InitDll: counts a user; the first one records the module handle.
bool ModuleInit(void* handle);
// ExitDll: counts a user out; the last one runs the module clean-up. False
// when there was no user left to count out.
bool ModuleExit();
int ModuleUseCount();
void* ModuleHandle();

// Full path of the module's file and its folder (with a trailing '/'),
// found from the address of the module's own code.
const std::string& ModulePath();
std::string ModuleFolder();

// The context given to IPluginFactory3::setHostContext (nullptr if none).
void SetFactoryHostContext(Steinberg::FUnknown* context);
Steinberg::FUnknown* FactoryHostContext();

} // namespace plugfw
