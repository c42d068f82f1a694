// Steinberg::CPluginFactory: the class factory a VST 3 module hands to its
// host. The SDK subset we build against lacks it, so it is written here with
// the SDK's name and interface: factory information, registered classes
// (8-bit and UTF-16 forms), instance creation and the host context.
#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

#include <vector>

namespace Steinberg
{

class CPluginFactory : public IPluginFactory3
{
public:
    using CreateFunction = FUnknown* (*)(void* context);

    explicit CPluginFactory(const PFactoryInfo& info);
    virtual ~CPluginFactory();

    CPluginFactory(const CPluginFactory&) = delete;
    CPluginFactory& operator=(const CPluginFactory&) = delete;

    bool registerClass(const PClassInfo* info, CreateFunction createFunc, void* context = nullptr);
    bool registerClass(const PClassInfo2* info, CreateFunction createFunc, void* context = nullptr);
    bool registerClass(const PClassInfoW* info, CreateFunction createFunc, void* context = nullptr);
    bool isClassRegistered(const FUID& cid);
    void removeAllClasses();

    DECLARE_FUNKNOWN_METHODS

    // IPluginFactory
    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
    int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) SMTG_OVERRIDE;

    // IPluginFactory2
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;

    // IPluginFactory3
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
    tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

protected:
    struct PClassEntry
    {
        PClassInfo2 info8;
        PClassInfoW info16;
        CreateFunction createFunc = nullptr;
        void* context = nullptr;
        bool isUnicode = false;
    };

    PFactoryInfo factoryInfo;
    std::vector<PClassEntry> classes;
};

// The module's factory while the host holds it (cleared when it is freed).
extern IPluginFactory* gPluginFactory;

} // namespace Steinberg
