#include "vst3/module_state.h"

#include "webview/editor_web_view.h"

#include "pluginterfaces/base/smartpointer.h"

namespace plugfw
{

namespace
{

int gUseCount = 0;
void* gHandle = nullptr;
void* gLoadedHandle = nullptr;
Steinberg::IPtr<Steinberg::FUnknown> gFactoryHostContext;

} // namespace

void ModuleLoaded(void* handle)
{
    gLoadedHandle = handle;
}

bool ModuleInit(void* handle)
{
    if (gUseCount++ == 0)
        gHandle = handle ? handle : gLoadedHandle;
    return true;
}

bool ModuleExit()
{
    // Unbalanced calls must not drive the count below zero: a later
    // ModuleInit would then not see itself as the first user.
    if (gUseCount <= 0)
        return false;
    if (--gUseCount == 0)
    {
        // Last user: the host may unload the module now, so what the
        // editors share goes (a creation still pending keeps the module
        // loaded until it has answered).
        gFactoryHostContext = nullptr;
        ReleaseEditorWebViewsAtModuleExit();
    }
    return true;
}

int ModuleUseCount()
{
    return gUseCount;
}

void* ModuleHandle()
{
    return gHandle;
}

void SetFactoryHostContext(Steinberg::FUnknown* context)
{
    gFactoryHostContext = context;
}

Steinberg::FUnknown* FactoryHostContext()
{
    return gFactoryHostContext.get();
}

} // namespace plugfw
