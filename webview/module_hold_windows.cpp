#include "webview/module_hold_windows.h"

namespace plugfw
{

namespace
{

void CALLBACK DropModule(PTP_CALLBACK_INSTANCE instance, void* module)
{
    // The thread that dropped the hold may still be on its way out through
    // this module's code (a Release that just deleted its object); COM's own
    // delayed unloading waits for the same reason.
    Sleep(250);
    FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
}

} // namespace

ModuleHold::ModuleHold()
{
    // A counted reference, unlike the lookups elsewhere.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&DropModule), &mModule))
        mModule = nullptr;
}

ModuleHold::~ModuleHold()
{
    if (mModule == nullptr)
        return;
    // Freed from a pool thread after this code has returned, never here:
    // the last reference gone, the image is unmapped under our feet. Without
    // a pool thread the module stays loaded: safe, if wasteful.
    static_cast<void>(TrySubmitThreadpoolCallback(DropModule, mModule, nullptr));
}

} // namespace plugfw
