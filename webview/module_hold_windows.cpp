#include "webview/module_hold_windows.h"

#include <atomic>

namespace plugfw
{

namespace
{

// Holds alive in this module: the first takes a reference on the module, the
// last lets it go (scripts run many times a second, each with a handler).
std::atomic<long> gHolds{0};

void CALLBACK DropModule(PTP_CALLBACK_INSTANCE instance, void* module)
{
    // The thread that dropped the last hold may still be on its way out
    // through this module's code (a Release that just deleted its object);
    // COM's own delayed unloading waits for the same reason.
    Sleep(250);
    FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
}

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DropModule), &module);
    return module;
}

} // namespace

ModuleHold::ModuleHold()
{
    if (gHolds.fetch_add(1) != 0)
        return;
    // A counted reference, unlike the lookups elsewhere (asked by the
    // address of our own code, it cannot fail).
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&DropModule), &module);
}

ModuleHold::~ModuleHold()
{
    if (gHolds.fetch_sub(1) != 1)
        return;
    // The last hold: the module may go, from a pool thread once this code has
    // returned, never here (the image would be unmapped under our feet).
    // Without a pool thread the module stays loaded: safe, if wasteful.
    static_cast<void>(TrySubmitThreadpoolCallback(DropModule, ThisModule(), nullptr));
}

} // namespace plugfw
