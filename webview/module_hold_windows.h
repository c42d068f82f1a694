// Keeps the module that holds this code loaded while the browser runtime
// holds one of our objects: a host may unload the plug-in the moment its
// last instance goes, and a creation still pending would then call back into
// freed code.
#pragma once

#include <windows.h>

namespace plugfw
{

class ModuleHold
{
public:
    ModuleHold();
    ~ModuleHold();
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;
};

} // namespace plugfw
