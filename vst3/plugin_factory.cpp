#include "vst3/plugin_factory.h"

#include <cstring>

namespace Steinberg
{

namespace
{

// UTF-16 class texts back to 8 bits for the older queries (non-ASCII
// characters become '?').
void narrow(char8* dst, const char16* src, size_t size)
{
    size_t i = 0;
    for (; i + 1 < size && src[i] != 0; ++i)
        dst[i] = src[i] < 0x80 ? static_cast<char8>(src[i]) : '?';
    for (; i < size; ++i)
        dst[i] = 0;
}

} // namespace

IPluginFactory* gPluginFactory = nullptr;

CPluginFactory::CPluginFactory(const PFactoryInfo& info)
    : factoryInfo(info){FUNKNOWN_CTOR}

      CPluginFactory::~CPluginFactory()
{
    // A later GetPluginFactory must build a new factory, not reuse a freed one.
    if (gPluginFactory == this)
        gPluginFactory = nullptr;
}

IMPLEMENT_REFCOUNT(CPluginFactory)

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, IPluginFactory::iid, IPluginFactory)
    QUERY_INTERFACE(iid, obj, IPluginFactory2::iid, IPluginFactory2)
    QUERY_INTERFACE(iid, obj, IPluginFactory3::iid, IPluginFactory3)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IPluginFactory)
    *obj = nullptr;
    return kNoInterface;
}

bool CPluginFactory::registerClass(const PClassInfo* info, CreateFunction createFunc, void* context)
{
    if (!info || !createFunc)
        return false;
    PClassInfo2 info2;
    std::memcpy(info2.cid, info->cid, sizeof(TUID));
    info2.cardinality = info->cardinality;
    std::memcpy(info2.category, info->category, sizeof(info2.category));
    std::memcpy(info2.name, info->name, sizeof(info2.name));
    return registerClass(&info2, createFunc, context);
}

bool CPluginFactory::registerClass(const PClassInfo2* info, CreateFunction createFunc,
                                   void* context)
{
    if (!info || !createFunc)
        return false;
    PClassEntry entry;
    entry.info8 = *info;
    entry.info16.fromAscii(*info); // UTF-16 fields by widening each byte
    entry.createFunc = createFunc;
    entry.context = context;
    entry.isUnicode = false;
    classes.push_back(entry);
    return true;
}

bool CPluginFactory::registerClass(const PClassInfoW* info, CreateFunction createFunc,
                                   void* context)
{
    if (!info || !createFunc)
        return false;
    PClassEntry entry;
    entry.info16 = *info;
    std::memcpy(entry.info8.cid, info->cid, sizeof(TUID));
    entry.info8.cardinality = info->cardinality;
    std::memcpy(entry.info8.category, info->category, sizeof(entry.info8.category));
    narrow(entry.info8.name, info->name, PClassInfo::kNameSize);
    entry.info8.classFlags = info->classFlags;
    std::memcpy(entry.info8.subCategories, info->subCategories, sizeof(entry.info8.subCategories));
    narrow(entry.info8.vendor, info->vendor, PClassInfo2::kVendorSize);
    narrow(entry.info8.version, info->version, PClassInfo2::kVersionSize);
    narrow(entry.info8.sdkVersion, info->sdkVersion, PClassInfo2::kVersionSize);
    entry.createFunc = createFunc;
    entry.context = context;
    entry.isUnicode = true;
    classes.push_back(entry);
    return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid)
{
    for (const auto& entry : classes)
        if (FUnknownPrivate::iidEqual(cid, entry.info8.cid))
            return true;
    return false;
}

void CPluginFactory::removeAllClasses()
{
    classes.clear();
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info)
{
    if (!info)
        return kInvalidArgument;
    std::memcpy(info, &factoryInfo, sizeof(PFactoryInfo));
    return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses()
{
    return static_cast<int32>(classes.size());
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
    if (!info || index < 0 || index >= countClasses())
        return kInvalidArgument;
    const PClassInfo2& entry = classes[static_cast<size_t>(index)].info8;
    std::memcpy(info->cid, entry.cid, sizeof(TUID));
    info->cardinality = entry.cardinality;
    std::memcpy(info->category, entry.category, sizeof(info->category));
    std::memcpy(info->name, entry.name, sizeof(info->name));
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
    if (!info || index < 0 || index >= countClasses())
        return kInvalidArgument;
    *info = classes[static_cast<size_t>(index)].info8;
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
    if (!info || index < 0 || index >= countClasses())
        return kInvalidArgument;
    *info = classes[static_cast<size_t>(index)].info16;
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid)
        return kInvalidArgument;
    for (const auto& entry : classes)
    {
        if (!FUnknownPrivate::iidEqual(cid, entry.info8.cid))
            continue;
        FUnknown* instance = entry.createFunc(entry.context);
        if (!instance)
            return kOutOfMemory;
        // The query adds the reference the caller owns; ours goes away.
        tresult result = instance->queryInterface(iid, obj);
        instance->release();
        if (result != kResultOk)
            *obj = nullptr;
        return result == kResultOk ? kResultOk : kNoInterface;
    }
    return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/)
{
    return kNotImplemented;
}

} // namespace Steinberg
