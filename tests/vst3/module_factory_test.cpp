// The module as a host sees it: its exported entry points, the factory and
// the one class it offers.
#include "bundle_fixture.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <algorithm>
#include <cstdio>
#include <set>

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

TEST(ModuleExports, OnlyTheEntryPointsAreVisible)
{
    const std::string command = "nm -D --defined-only '" + Bundle().LibraryPath() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (fgets(line, sizeof(line), pipe))
    {
        std::string text(line);
        text.erase(text.find_last_not_of("\r\n") + 1);
        names.insert(text.substr(text.find_last_of(' ') + 1));
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit",
                                            "InitDll", "ExitDll"}));
}

TEST(ModuleExports, InitAndExitCountUsers)
{
    using Entry = bool (*)();
    auto initDll = reinterpret_cast<Entry>(Bundle().Symbol("InitDll"));
    auto exitDll = reinterpret_cast<Entry>(Bundle().Symbol("ExitDll"));
    ASSERT_NE(initDll, nullptr);
    ASSERT_NE(exitDll, nullptr);
    // The test's loader holds one use (ModuleEntry); two more come and go.
    EXPECT_TRUE(initDll());
    EXPECT_TRUE(initDll());
    EXPECT_TRUE(exitDll());
    EXPECT_TRUE(exitDll());
    // Counting out the loader's use too, and one more: the extra call is
    // refused and must not leave the count below zero, so the next InitDll
    // is the first user again.
    EXPECT_TRUE(exitDll());
    EXPECT_FALSE(exitDll());
    EXPECT_TRUE(initDll());
    EXPECT_NE(Factory(), nullptr);
}

TEST(PluginFactory, OffersOneAudioEffectClass)
{
    IPluginFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->countClasses(), 1);

    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Talmesh");
    EXPECT_EQ(info.flags & PFactoryInfo::kUnicode, PFactoryInfo::kUnicode);

    FUnknownPtr<IPluginFactory2> factory2(factory);
    ASSERT_TRUE(factory2);
    PClassInfo2 c{};
    ASSERT_EQ(factory2->getClassInfo2(0, &c), kResultOk);
    EXPECT_STREQ(c.category, "Audio Module Class");
    EXPECT_STREQ(c.subCategories, "Fx|Tools");
    EXPECT_STREQ(c.name, "Ostrel");
    EXPECT_STREQ(c.version, "1.9.45");
    EXPECT_STREQ(c.sdkVersion, "VST 3.8.0");
    EXPECT_STREQ(c.vendor, "");
    EXPECT_EQ(c.classFlags, 2u);
    EXPECT_EQ(c.cardinality, PClassInfo::kManyInstances);
    EXPECT_TRUE(FUID::fromTUID(c.cid) == FUID(0xF2AEE70D, 0x00DE4F4E, 0x544C4D53, 0x4F53544C));
    EXPECT_EQ(factory2->getClassInfo2(1, &c), kInvalidArgument);
}

TEST(PluginFactory, UnicodeClassInfoMatchesTheNarrowOne)
{
    FUnknownPtr<IPluginFactory3> factory3(Factory());
    ASSERT_TRUE(factory3);
    PClassInfoW w{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &w), kResultOk);
    EXPECT_EQ(host::FromString128(w.name), "Ostrel");
    EXPECT_EQ(host::FromString128(w.version), "1.9.45");
    EXPECT_EQ(host::FromString128(w.sdkVersion), "VST 3.8.0");
    EXPECT_STREQ(w.subCategories, "Fx|Tools");
}

TEST(PluginFactory, RepeatedLookupsShareOneCountedFactory)
{
    auto getFactory = reinterpret_cast<GetFactoryProc>(Bundle().Symbol("GetPluginFactory"));
    ASSERT_NE(getFactory, nullptr);
    IPluginFactory* again = getFactory();
    EXPECT_EQ(again, Factory());
    // The extra reference is ours to give back; the factory stays alive.
    again->release();
    EXPECT_EQ(Factory()->countClasses(), 1);
}

TEST(PluginFactory, CreatesInstancesAndRefusesUnknownClasses)
{
    PClassInfo info{};
    ASSERT_EQ(Factory()->getClassInfo(0, &info), kResultOk);
    void* obj = nullptr;
    ASSERT_EQ(Factory()->createInstance(info.cid, Vst::IComponent::iid, &obj), kResultOk);
    ASSERT_NE(obj, nullptr);
    auto* component = static_cast<Vst::IComponent*>(obj);
    // Processor and controller are one object: no controller class.
    TUID controllerId{};
    EXPECT_EQ(component->getControllerClassId(controllerId), kNotImplemented);
    FUnknownPtr<Vst::IEditController> controller(component);
    FUnknownPtr<Vst::IAudioProcessor> processor(component);
    EXPECT_TRUE(controller);
    EXPECT_TRUE(processor);
    component->release();

    TUID other{};
    obj = reinterpret_cast<void*>(1);
    EXPECT_NE(Factory()->createInstance(other, Vst::IComponent::iid, &obj), kResultOk);
    EXPECT_EQ(obj, nullptr);
}

} // namespace
} // namespace ostrel::test
