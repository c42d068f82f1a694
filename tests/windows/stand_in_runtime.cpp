#include "stand_in_runtime.h"

#include <filesystem>

namespace stand_in
{

namespace
{

namespace fs = std::filesystem;

constexpr wchar_t kStableKey[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr const wchar_t* kVariables[] = {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                         L"WEBVIEW2_USER_DATA_FOLDER",
                                         L"WEBVIEW2_RELEASE_CHANNELS",
                                         L"WEBVIEW2_CHANNEL_SEARCH_KIND",
                                         L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE",
                                         L"OSTREL_STAND_IN_ANSWER",
                                         L"OSTREL_STAND_IN_ENVIRONMENT",
                                         L"OSTREL_STAND_IN_CONTROLLER",
                                         L"OSTREL_STAND_IN_SCRIPTS",
                                         L"OSTREL_STAND_IN_PAGE"};

fs::path TestFolder()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path();
}

std::wstring gDll;

template <typename Function> Function Export(const char* name)
{
    HMODULE runtime = gDll.empty() ? nullptr : GetModuleHandleW(gDll.c_str());
    return runtime
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(runtime, name)))
               : nullptr;
}

} // namespace

std::wstring Install()
{
    const fs::path folder = fs::temp_directory_path() /
                            ("ostrel-stand-in-" + std::to_string(GetCurrentProcessId())) /
                            "120.0.2210.91";
    const fs::path dll = folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll";
    // Fresh from the build unless this process has it loaded already (a
    // process id, and so the folder, may recur across runs).
    if (GetModuleHandleW(dll.c_str()) == nullptr)
    {
        fs::create_directories(dll.parent_path());
        fs::copy_file(TestFolder() / "runtime_stand_in" / "EmbeddedBrowserWebView.dll", dll,
                      fs::copy_options::overwrite_existing);
    }
    gDll = dll.wstring();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kStableKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
    {
        const std::wstring value = folder.wstring();
        RegSetValueExW(key, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    return folder.wstring();
}

void Clean()
{
    for (const wchar_t* name : kVariables)
        SetEnvironmentVariableW(name, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\EdgeUpdate");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Edge");
}

void Behave(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> settings)
{
    for (const auto& [name, value] : settings)
        SetEnvironmentVariableW(name, value);
}

StandInRecord Record()
{
    StandInRecord record{};
    if (auto read = Export<void (*)(StandInRecord*)>("StandInRecordOf"))
        read(&record);
    return record;
}

int RequestWindow(const std::wstring& uri)
{
    auto request = Export<int (*)(const wchar_t*)>("StandInRequestWindow");
    return request ? request(uri.c_str()) : -1;
}

HWND Click()
{
    auto click = Export<HWND (*)()>("StandInClick");
    return click ? click() : nullptr;
}

int TabOut(int reason)
{
    auto tab = Export<int (*)(int)>("StandInTabOut");
    return tab ? tab(reason) : -1;
}

void Reset()
{
    if (auto reset = Export<void (*)()>("StandInReset"))
        reset();
}

void Pump(int milliseconds)
{
    const DWORD until = GetTickCount() + static_cast<DWORD>(milliseconds);
    MSG msg;
    do
    {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(2);
    } while (static_cast<int>(until - GetTickCount()) > 0);
}

} // namespace stand_in
