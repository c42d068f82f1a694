// The WebView2 runtime loader for real under Wine: runtimes registered in
// the test prefix's registry (as the runtime's installer registers them),
// each a stand-in DLL of ours that records what it receives and answers
// through the completion handler; the overrides by environment variable and
// by policy. editor_web_view_test.cpp has the editor's side.
#include "webview/webview2_loader_windows.h"
#include "webview/webview2_objects_windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using plugfw::FindWebView2Runtime;

constexpr const wchar_t* kStable = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr const wchar_t* kBeta = L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
constexpr const wchar_t* kCanary = L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}";
constexpr const wchar_t* kClientState = L"Software\\Microsoft\\EdgeUpdate\\ClientState\\";
constexpr const wchar_t* kPolicies = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";
constexpr const wchar_t* kVariables[] = {
    L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",  L"WEBVIEW2_USER_DATA_FOLDER",
    L"WEBVIEW2_RELEASE_CHANNELS",           L"WEBVIEW2_CHANNEL_SEARCH_KIND",
    L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"OSTREL_STAND_IN_ANSWER"};

fs::path TestFolder()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path();
}

void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
             REGSAM extra = 0)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | extra, nullptr, &opened,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

class WebView2Loader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clean();
        // A folder per test: runtimes the loader has loaded stay in use.
        root = fs::temp_directory_path() / ("ostrel-wv2-" + std::to_string(GetCurrentProcessId())) /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void TearDown() override
    {
        Clean();
        // The loader keeps runtimes loaded: their files stay until the end.
    }
    static void Clean()
    {
        for (const wchar_t* name : kVariables)
            SetEnvironmentVariableW(name, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\EdgeUpdate");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Edge");
    }

    // A runtime folder "<name>\<version>" holding the stand-in DLL.
    std::wstring Runtime(const std::wstring& name, const std::wstring& version)
    {
        const fs::path folder = root / name / version;
        fs::create_directories(folder / "EBWebView" / "x64");
        fs::copy_file(TestFolder() / "runtime_stand_in" / "EmbeddedBrowserWebView.dll",
                      folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll",
                      fs::copy_options::overwrite_existing);
        return folder.wstring();
    }
    std::wstring Register(const wchar_t* channel, const std::wstring& name,
                          const std::wstring& version = L"120.0.2210.91")
    {
        const std::wstring folder = Runtime(name, version);
        SetText(HKEY_CURRENT_USER, std::wstring(kClientState) + channel, L"EBWebView", folder);
        return folder;
    }
    static std::wstring Dll(const std::wstring& folder)
    {
        return folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
    }

    fs::path root;
};

TEST_F(WebView2Loader, SearchOrderAndChannelOverrides)
{
    const std::wstring stable = Register(kStable, L"stable");
    const std::wstring canary = Register(kCanary, L"canary");
    Register(kBeta, L"beta-too-old", L"80.0.361.0");

    struct Case
    {
        const wchar_t* variable;
        const wchar_t* value;
        std::wstring expected; // empty: no runtime
    };
    const Case cases[] = {
        {nullptr, nullptr, stable},
        {L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1", canary},
        {L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1", canary},
        {L"WEBVIEW2_RELEASE_CHANNELS", L"3", canary},
        {L"WEBVIEW2_RELEASE_CHANNELS", L"2,3,0", stable},
        // Beta is installed but older than the editor needs; Dev is not.
        {L"WEBVIEW2_RELEASE_CHANNELS", L"1,2", L""},
    };
    for (const Case& c : cases)
    {
        Clean();
        SetText(HKEY_CURRENT_USER, std::wstring(kClientState) + kStable, L"EBWebView", stable);
        SetText(HKEY_CURRENT_USER, std::wstring(kClientState) + kCanary, L"EBWebView", canary);
        SetText(HKEY_CURRENT_USER, std::wstring(kClientState) + kBeta, L"EBWebView",
                (root / "beta-too-old" / "80.0.361.0").wstring());
        if (c.variable)
            SetEnvironmentVariableW(c.variable, c.value);
        const auto runtime = FindWebView2Runtime(L"C:\\data");
        const std::wstring label = c.variable ? std::wstring(c.variable) + L"=" + c.value : L"none";
        if (c.expected.empty())
        {
            EXPECT_EQ(runtime.status, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
                << fs::path(label).string();
            continue;
        }
        EXPECT_EQ(runtime.status, S_OK) << fs::path(label).string();
        EXPECT_EQ(runtime.dll, Dll(c.expected)) << fs::path(label).string();
        EXPECT_EQ(runtime.kind, 0);
        EXPECT_EQ(runtime.userDataFolder, L"C:\\data");
    }
}

TEST_F(WebView2Loader, FolderOverridesByVariableAndPolicy)
{
    Register(kStable, L"stable");
    const std::wstring fixed = Runtime(L"fixed", L"any-name");

    SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", fixed.c_str());
    SetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", L"C:\\elsewhere");
    auto runtime = FindWebView2Runtime(L"C:\\data");
    EXPECT_EQ(runtime.status, S_OK);
    EXPECT_EQ(runtime.dll, Dll(fixed));
    EXPECT_EQ(runtime.kind, 1);
    EXPECT_EQ(runtime.userDataFolder, L"C:\\elsewhere");

    // The same by policy: the value named after this program, or "*" (which
    // does not count for the user data folder).
    Clean();
    Register(kStable, L"stable");
    SetText(HKEY_CURRENT_USER, std::wstring(kPolicies) + L"BrowserExecutableFolder", L"*", fixed);
    SetText(HKEY_CURRENT_USER, std::wstring(kPolicies) + L"UserDataFolder", L"*", L"C:\\star");
    runtime = FindWebView2Runtime(L"C:\\data");
    EXPECT_EQ(runtime.dll, Dll(fixed));
    EXPECT_EQ(runtime.userDataFolder, L"C:\\data");
    SetText(HKEY_CURRENT_USER, std::wstring(kPolicies) + L"UserDataFolder", L"test_windows.exe",
            L"C:\\mine");
    EXPECT_EQ(FindWebView2Runtime(L"C:\\data").userDataFolder, L"C:\\mine");

    // A fixed folder without the DLL, and the browser's own folder.
    SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", (root / "empty").c_str());
    EXPECT_EQ(FindWebView2Runtime(L"").status, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                            L"C:\\Program Files\\Microsoft\\Edge\\Application\\120.0");
    EXPECT_EQ(FindWebView2Runtime(L"").status, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
}

struct Received
{
    int calls = 0;
    HRESULT result = S_FALSE;
    bool environment = false;
};

HRESULT StartEnvironment(Received& received, bool withOptions)
{
    auto* handler = plugfw::wv2::EnvironmentCompleted::Make(
        [&received](HRESULT result, plugfw::wv2::ICoreWebView2Environment* environment)
        {
            ++received.calls;
            received.result = result;
            received.environment = environment != nullptr;
            return S_OK;
        });
    auto* options = plugfw::wv2::EnvironmentOptions::Make();
    const HRESULT started = plugfw::CreateWebView2Environment(
        L"C:\\data\\cache", withOptions ? options : nullptr, handler);
    options->Release();
    handler->Release();
    return started;
}

TEST_F(WebView2Loader, CreationReachesTheRuntimeAndAnswersThroughTheHandler)
{
    const std::wstring stable = Register(kStable, L"stable-create");
    Received ok;
    ASSERT_EQ(StartEnvironment(ok, true), S_OK);
    EXPECT_EQ(ok.calls, 1);
    EXPECT_EQ(ok.result, S_OK);
    EXPECT_TRUE(ok.environment);

    // What the runtime received, read from the very DLL the loader chose.
    HMODULE module = GetModuleHandleW(Dll(stable).c_str());
    ASSERT_NE(module, nullptr);
    using Calls = int (*)(int*, wchar_t*, int, int*);
    auto calls =
        reinterpret_cast<Calls>(reinterpret_cast<void*>(GetProcAddress(module, "StandInCalls")));
    ASSERT_NE(calls, nullptr);
    int kind = -1;
    int flags = 0;
    wchar_t folder[MAX_PATH] = {};
    EXPECT_EQ(calls(&kind, folder, MAX_PATH, &flags), 1);
    EXPECT_EQ(kind, 0);
    EXPECT_STREQ(folder, L"C:\\data\\cache");
    EXPECT_EQ(flags & 1, 1) << "first argument true";
    EXPECT_EQ(flags & 2, 0) << "a user data folder was passed";
    EXPECT_EQ(flags & 4, 4) << "options were passed";
    EXPECT_EQ(flags & 8, 0) << "single sign-on is off";

    // A runtime that fails later answers through the handler; one that
    // refuses at once returns its error and never calls it.
    SetEnvironmentVariableW(L"OSTREL_STAND_IN_ANSWER", L"fail");
    Received failed;
    EXPECT_EQ(StartEnvironment(failed, true), S_OK);
    EXPECT_EQ(failed.calls, 1);
    EXPECT_EQ(failed.result, E_FAIL);
    EXPECT_FALSE(failed.environment);
    SetEnvironmentVariableW(L"OSTREL_STAND_IN_ANSWER", L"refuse");
    Received refused;
    EXPECT_EQ(StartEnvironment(refused, false), E_ACCESSDENIED);
    EXPECT_EQ(refused.calls, 0);
}

TEST_F(WebView2Loader, NoRuntimeIsReportedAndTheHandlerNeverCalled)
{
    Received none;
    EXPECT_EQ(StartEnvironment(none, true), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(none.calls, 0);
}

} // namespace
