// What Linux hosts call around InitDll/ExitDll: ModuleEntry with the
// library's handle, and ModuleExit.
#include "vst3/module_state.h"

#include "pluginterfaces/base/fplatform.h"

extern "C"
{

    SMTG_EXPORT_SYMBOL bool ExitDll();

    SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle)
    {
        return plugfw::ModuleInit(sharedLibraryHandle);
    }

    SMTG_EXPORT_SYMBOL bool ModuleExit()
    {
        return ExitDll();
    }

} // extern "C"
