// The module's load on Windows: DllMain keeps the module's handle for InitDll
// and undoes what belongs to this load when it is unloaded.
#include "vst3/module_state.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        // No per-thread work: spare every host thread the call.
        DisableThreadLibraryCalls(instance);
        plugfw::ModuleLoaded(instance);
    }
    // Unloaded by FreeLibrary (at process end, `reserved` is set and
    // nothing needs undoing).
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        plugfw::ModuleUnloading();
    return TRUE;
}
