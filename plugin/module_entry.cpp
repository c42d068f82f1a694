// The module's entry points, compiled into the bundle only: the factory with
// its one class and InitDll/ExitDll. What a platform's hosts call around them
// is in module_entry_<platform>.cpp.
#include "link/peer_registry.h"
#include "link/registry_hub.h"
#include "plugin/ostrel.h"
#include "vst3/module_state.h"
#include "vst3/plugin_factory.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <mutex>

using namespace Steinberg;

namespace
{

// The last user leaving also frees the table the instances share, once no
// instance is left on it (a scanner loads and unloads the module many times).
bool exitModule()
{
    const bool counted = plugfw::ModuleExit();
    if (counted && plugfw::ModuleUseCount() == 0)
    {
        ostrel::releaseSharedRegistry();
        ostrel::leaveHostSession();
    }
    return counted;
}

// Processor and controller in one object: one class, no controller class.
const FUID kOstrelClassId(0xF2AEE70D, 0x00DE4F4E, 0x544C4D53, 0x4F53544C);

// The factory keeps the context a host gives it, so that instances can find
// the host's run loop there when `initialize` brings none.
class OstrelFactory : public CPluginFactory
{
public:
    using CPluginFactory::CPluginFactory;

    tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE
    {
        plugfw::SetFactoryHostContext(context);
        return kResultOk;
    }
};

std::mutex& creationMutex()
{
    static std::mutex mutex;
    return mutex;
}

FUnknown* createOstrel(void* /*context*/)
{
    // Instances are built one at a time (each draws from process-wide state).
    std::lock_guard<std::mutex> lock(creationMutex());
    try
    {
        auto* plugin = new ostrel::Ostrel();
        return static_cast<Vst::IAudioProcessor*>(plugin);
    }
    catch (...)
    {
        return nullptr;
    }
}

const PClassInfo2& ostrelClassInfo()
{
    static const PClassInfo2 info = []
    {
        TUID cid;
        kOstrelClassId.toTUID(cid);
        return PClassInfo2(cid, PClassInfo::kManyInstances, kVstAudioEffectClass, "Ostrel",
                           Vst::kSimpleModeSupported, "Fx|Tools", "", "1.9.45", "VST 3.8.0");
    }();
    return info;
}

std::mutex& factoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

extern "C"
{

    SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
    {
        std::lock_guard<std::mutex> lock(factoryMutex());
        if (!gPluginFactory)
        {
            static const PFactoryInfo factoryInfo("Talmesh", "https://www.talmesh.example",
                                                  "mailto:support@talmesh.example",
                                                  PFactoryInfo::kUnicode);
            auto* factory = new OstrelFactory(factoryInfo);
            factory->registerClass(&ostrelClassInfo(), createOstrel);
            gPluginFactory = factory;
        }
        else
        {
            gPluginFactory->addRef();
        }
        return gPluginFactory;
    }

    SMTG_EXPORT_SYMBOL bool InitDll()
    {
        return plugfw::ModuleInit(nullptr);
    }

    SMTG_EXPORT_SYMBOL bool ExitDll()
    {
        return exitModule();
    }

} // extern "C"
