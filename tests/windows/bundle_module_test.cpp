// The built Windows bundle loaded like a host loads it: LoadLibrary on
// Contents/x86_64-win/Ostrel.vst3, its three entry points, the factory's one
// class, and an instance that initialises, offers a window-handle editor and
// goes away again; the editor opened through the stand-in runtime across
// unloads and loads of the module (at another address, as when the old one
// is taken), and a module unloaded while its editor's browser is still being
// created.
#include "missing_dependency.h"
#include "stand_in_runtime.h"

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

// One load of the module with an instance whose editor a host window holds.
struct LoadedBundle
{
    HMODULE module = nullptr;
    bool (*exitDll)() = nullptr;
    IPluginFactory* factory = nullptr;
    Vst::IComponent* component = nullptr;
    IPlugView* view = nullptr;

    void Load()
    {
        module = LoadLibraryW(BundleModulePath().c_str());
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        exitDll = EntryPoint<bool (*)()>(module, "ExitDll");
        ASSERT_TRUE(EntryPoint<bool (*)()>(module, "InitDll")());
        factory = EntryPoint<IPluginFactory* (*)()>(module, "GetPluginFactory")();
        ASSERT_NE(factory, nullptr);
        PClassInfo classInfo;
        ASSERT_EQ(factory->getClassInfo(0, &classInfo), kResultOk);
        ASSERT_EQ(factory->createInstance(classInfo.cid, Vst::IComponent::iid,
                                          reinterpret_cast<void**>(&component)),
                  kResultOk);
        ASSERT_EQ(component->initialize(nullptr), kResultOk);
    }
    void OpenEditor(HWND parent)
    {
        Vst::IEditController* controller = nullptr;
        ASSERT_EQ(component->queryInterface(Vst::IEditController::iid,
                                            reinterpret_cast<void**>(&controller)),
                  kResultOk);
        view = controller->createView(Vst::ViewType::kEditor);
        controller->release();
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->attached(parent, kPlatformTypeHWND), kResultOk);
    }
    void CloseEditor()
    {
        if (!view)
            return;
        view->removed();
        view->release();
        view = nullptr;
    }
    // Everything a host lets go of before it unloads the module.
    void Unload()
    {
        CloseEditor();
        if (component)
        {
            component->terminate();
            component->release();
        }
        if (factory)
            factory->release();
        if (exitDll)
        {
            EXPECT_TRUE(exitDll());
        }
        if (module)
            FreeLibrary(module);
        *this = LoadedBundle{};
    }
    SIZE_T ImageSize() const
    {
        auto* base = reinterpret_cast<const unsigned char*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)
            ->OptionalHeader.SizeOfImage;
    }
};

// The editor's area in `parent`, made with a window procedure of the module
// loaded now; the runtime got one more page to show.
void ExpectEditorOfThisLoad(HWND parent, const LoadedBundle& bundle, int navigations,
                            const char* when)
{
    ASSERT_TRUE(
        stand_in::PumpUntil([&] { return stand_in::Record().navigations == navigations; }, 3000))
        << when << ": the page was never navigated to";
    HWND area = GetWindow(parent, GW_CHILD);
    ASSERT_NE(area, nullptr) << when << ": no editor window";
    const auto procedure = static_cast<ULONG_PTR>(GetClassLongPtrW(area, GCLP_WNDPROC));
    const auto base = reinterpret_cast<ULONG_PTR>(bundle.module);
    EXPECT_TRUE(procedure >= base && procedure < base + bundle.ImageSize())
        << when << ": the window procedure is not in the loaded module";
    wchar_t text[256] = {};
    GetWindowTextW(area, text, 256);
    EXPECT_STREQ(text, L"") << when;
    const StandInRecord record = stand_in::Record();
    EXPECT_EQ(record.navigationsBeforeScripts, 0) << when;
}

// Waits (the module's own hold is dropped from a pool thread) until the
// module file is no longer loaded.
bool Unloaded(const std::wstring& path)
{
    return stand_in::PumpUntil([&] { return GetModuleHandleW(path.c_str()) == nullptr; }, 3000);
}

class BundleEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stand_in::Clean();
        stand_in::Install();
        parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (parent == nullptr)
            OSTREL_SKIP_FOR_MISSING("no display for Wine's windows (xvfb-run)");
        stand_in::Pump(20);
        stand_in::Reset();
    }
    void TearDown() override
    {
        if (parent)
            DestroyWindow(parent);
        stand_in::Clean();
    }
    HWND parent = nullptr;
};

TEST_F(BundleEditor, OpensAfterTheModuleIsUnloadedAndLoadedAgainElsewhere)
{
    LoadedBundle bundle;
    ASSERT_NO_FATAL_FAILURE(bundle.Load());
    ASSERT_NO_FATAL_FAILURE(bundle.OpenEditor(parent));
    ExpectEditorOfThisLoad(parent, bundle, 1, "first load");
    bundle.CloseEditor();
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    const auto oldBase = reinterpret_cast<void*>(bundle.module);
    const SIZE_T oldSize = bundle.ImageSize();
    bundle.Unload();
    ASSERT_TRUE(Unloaded(BundleModulePath()));
    EXPECT_EQ(stand_in::Record().environmentRefs, 0)
        << "the shared environment outlived the module";
    EXPECT_EQ(stand_in::Record().controllersAlive, 0);

    // The old address taken, so the loader puts the module elsewhere.
    void* taken = VirtualAlloc(oldBase, oldSize, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NO_FATAL_FAILURE(bundle.Load());
    EXPECT_NE(reinterpret_cast<void*>(bundle.module), oldBase);
    for (int open = 2; open <= 3; ++open)
    {
        const std::string when = "open " + std::to_string(open) + " after the reload";
        ASSERT_NO_FATAL_FAILURE(bundle.OpenEditor(parent));
        ExpectEditorOfThisLoad(parent, bundle, open, when.c_str());
        bundle.CloseEditor();
        EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << when;
    }
    bundle.Unload();
    EXPECT_TRUE(Unloaded(BundleModulePath()));
    if (taken)
        VirtualFree(taken, 0, MEM_RELEASE);
}

TEST_F(BundleEditor, AModuleUnloadedWhileItsBrowserIsCreatedStaysUntilTheAnswer)
{
    stand_in::Behave({{L"OSTREL_STAND_IN_ENVIRONMENT", L"late"}});
    LoadedBundle bundle;
    ASSERT_NO_FATAL_FAILURE(bundle.Load());
    ASSERT_NO_FATAL_FAILURE(bundle.OpenEditor(parent));
    ASSERT_EQ(stand_in::Record().environmentCalls, 1);
    // The host lets go at once, before the runtime has answered.
    bundle.Unload();
    EXPECT_NE(GetModuleHandleW(BundleModulePath().c_str()), nullptr)
        << "unloaded while the runtime still holds its handler";
    // The answer arrives (into code that must still be there), then the
    // module goes, keeping nothing of the runtime's.
    EXPECT_TRUE(Unloaded(BundleModulePath()));
    EXPECT_EQ(stand_in::Record().environmentRefs, 0);
    EXPECT_EQ(stand_in::Record().controllersCreated, 0);
}

} // namespace
