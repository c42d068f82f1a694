// The built Windows bundle loaded like a host loads it: LoadLibrary on
// Contents/x86_64-win/Ostrel.vst3, its three entry points, the factory's one
// class, and an instance that initialises, offers a window-handle editor and
// goes away again.
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

using namespace Steinberg;

std::wstring BundleModulePath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    for (const char* c = OSTREL_TEST_BUNDLE_MODULE; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

template <typename Function> Function EntryPoint(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class WindowsBundle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryW(BundleModulePath().c_str());
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        initDll = EntryPoint<bool (*)()>(module, "InitDll");
        exitDll = EntryPoint<bool (*)()>(module, "ExitDll");
        getFactory = EntryPoint<IPluginFactory* (*)()>(module, "GetPluginFactory");
        ASSERT_TRUE(initDll && exitDll && getFactory);
        ASSERT_TRUE(initDll());
    }
    void TearDown() override
    {
        if (exitDll)
        {
            EXPECT_TRUE(exitDll());
        }
        if (module)
            FreeLibrary(module);
    }

    HMODULE module = nullptr;
    bool (*initDll)() = nullptr;
    bool (*exitDll)() = nullptr;
    IPluginFactory* (*getFactory)() = nullptr;
};

TEST_F(WindowsBundle, ExportsNothingButTheThreeEntryPoints)
{
    auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    ASSERT_EQ(exports->NumberOfNames, 3u);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::string all;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        all += std::string(reinterpret_cast<const char*>(base + names[i])) + " ";
    EXPECT_EQ(all, "ExitDll GetPluginFactory InitDll ");
}

TEST_F(WindowsBundle, FactoryOffersOneEffectWhoseEditorEmbedsInAWindowHandle)
{
    IPluginFactory* factory = getFactory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(getFactory(), factory) << "later calls return the same factory";
    factory->release();

    PFactoryInfo info;
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Talmesh");
    ASSERT_EQ(factory->countClasses(), 1);
    PClassInfo classInfo;
    ASSERT_EQ(factory->getClassInfo(0, &classInfo), kResultOk);
    EXPECT_STREQ(classInfo.category, "Audio Module Class");
    EXPECT_STREQ(classInfo.name, "Ostrel");

    Vst::IComponent* component = nullptr;
    ASSERT_EQ(factory->createInstance(classInfo.cid, Vst::IComponent::iid,
                                      reinterpret_cast<void**>(&component)),
              kResultOk);
    ASSERT_NE(component, nullptr);
    ASSERT_EQ(component->initialize(nullptr), kResultOk);

    Vst::IEditController* controller = nullptr;
    ASSERT_EQ(
        component->queryInterface(Vst::IEditController::iid, reinterpret_cast<void**>(&controller)),
        kResultOk);
    IPlugView* view = controller->createView(Vst::ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    view->release();
    controller->release();

    // The idle timer ticks on this thread's message loop while initialised.
    MSG msg;
    for (int i = 0; i < 10; ++i)
    {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(20);
    }
    EXPECT_EQ(component->terminate(), kResultOk);
    component->release();
    factory->release();
}

} // namespace
