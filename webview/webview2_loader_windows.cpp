#include "webview/webview2_loader_windows.h"

#include <shlobj.h>

#include <array>
#include <vector>

namespace plugfw
{

namespace
{

constexpr wchar_t kPolicyRoot[] = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";
constexpr wchar_t kClientState[] = L"Software\\Microsoft\\EdgeUpdate\\ClientState\\";
constexpr wchar_t kRuntimeDll[] = L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
constexpr char kCreateExport[] = "CreateWebViewEnvironmentWithOptionsInternal";

// Most stable first: the runtime, Beta, Dev, Canary, Internal.
constexpr std::array<const wchar_t*, 5> kChannels = {
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
    L"{BE59E8FD-089A-411B-A3B0-051D9E417818}"};

// Runtimes older than this lack what the editor calls.
constexpr std::array<unsigned, 4> kMinimumVersion = {86, 0, 616, 0};

using CreateFunction = HRESULT(STDMETHODCALLTYPE*)(
    bool, int, PCWSTR, IUnknown*, wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

std::wstring EnvironmentText(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// A REG_SZ (or, for switches, REG_DWORD as decimal text) value; empty when
// missing.
std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM extra)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | extra, &opened) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
    if (RegQueryValueExW(opened, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS)
    {
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(wchar_t))
        {
            std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
            if (RegQueryValueExW(opened, name, nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &bytes) == ERROR_SUCCESS)
                text = buffer.data();
        }
        else if (type == REG_DWORD && bytes == sizeof(DWORD))
        {
            DWORD value = 0;
            if (RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                 &bytes) == ERROR_SUCCESS)
                text = std::to_wstring(value);
        }
    }
    RegCloseKey(opened);
    return text;
}

std::wstring ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The environment variable, else the policy (machine, then user; the value
// named after the host's executable, then "*" where allowed).
std::wstring Override(const wchar_t* variable, const wchar_t* policy, bool starAllowed)
{
    std::wstring value = EnvironmentText(variable);
    if (!value.empty())
        return value;
    const std::wstring exe = ExecutablePath();
    const std::wstring exeName = exe.substr(exe.find_last_of(L"\\/") + 1);
    const std::wstring key = std::wstring(kPolicyRoot) + policy;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        value = RegistryText(root, key, exeName.c_str(), 0);
        if (value.empty() && starAllowed)
            value = RegistryText(root, key, L"*", 0);
        if (!value.empty())
            return value;
    }
    return {};
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// "a.b.c.d" at the end of a runtime folder, at least the minimum.
bool UsableVersion(const std::wstring& folder)
{
    const std::wstring name = folder.substr(folder.find_last_of(L"\\/") + 1);
    std::array<unsigned, 4> parts{};
    size_t at = 0;
    for (size_t i = 0; i < parts.size(); ++i)
    {
        size_t digits = 0;
        unsigned value = 0;
        while (at < name.size() && name[at] >= L'0' && name[at] <= L'9' && digits < 9)
        {
            value = value * 10 + static_cast<unsigned>(name[at++] - L'0');
            ++digits;
        }
        if (digits == 0 || (i < 3 && (at >= name.size() || name[at++] != L'.')))
            return false;
        parts[i] = value;
    }
    return at == name.size() && parts >= kMinimumVersion;
}

// Bit n stands for channel n; an invalid entry counts as the runtime itself.
unsigned ChannelMask(const std::wstring& list)
{
    if (list.empty())
        return 0x1F;
    unsigned mask = 0;
    size_t start = 0;
    while (start <= list.size())
    {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos)
            end = list.size();
        std::wstring entry = list.substr(start, end - start);
        while (!entry.empty() && entry.front() == L' ')
            entry.erase(0, 1);
        while (!entry.empty() && entry.back() == L' ')
            entry.pop_back();
        const int channel =
            entry.size() == 1 && entry[0] >= L'0' && entry[0] <= L'3' ? entry[0] - L'0' : 0;
        mask |= 1u << channel;
        start = end + 1;
    }
    return mask;
}

} // namespace

WebView2Runtime FindWebView2Runtime(const std::wstring& userDataFolder)
{
    WebView2Runtime runtime;
    const std::wstring dataOverride =
        Override(L"WEBVIEW2_USER_DATA_FOLDER", L"UserDataFolder", false);
    runtime.userDataFolder = dataOverride.empty() ? userDataFolder : dataOverride;

    std::wstring folder =
        Override(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"BrowserExecutableFolder", true);
    if (!folder.empty())
    {
        // A fixed-version runtime: absolute ("C:\..." or "\\server\...") or
        // relative to the host's executable.
        const bool absolute = (folder.size() >= 3 && folder[1] == L':' &&
                               (folder[2] == L'\\' || folder[2] == L'/')) ||
                              folder.rfind(L"\\\\", 0) == 0;
        if (!absolute)
            folder = FolderOf(ExecutablePath()) + L"\\" + folder;
        if (folder.find(L"\\Edge\\Application\\") != std::wstring::npos)
        {
            runtime.status = HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
            return runtime;
        }
        runtime.dll = folder + kRuntimeDll;
        runtime.kind = 1;
        runtime.status = FileExists(runtime.dll) ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        return runtime;
    }

    const unsigned mask =
        ChannelMask(Override(L"WEBVIEW2_RELEASE_CHANNELS", L"ReleaseChannels", true));
    std::wstring searchKind = Override(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"ChannelSearchKind", true);
    if (searchKind.empty())
        searchKind =
            Override(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"ReleaseChannelPreference", true);
    const bool leastStableFirst = searchKind == L"1";

    for (size_t i = 0; i < kChannels.size(); ++i)
    {
        const size_t channel = leastStableFirst ? kChannels.size() - 1 - i : i;
        if ((mask & (1u << channel)) == 0)
            continue;
        const std::wstring key = std::wstring(kClientState) + kChannels[channel];
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        {
            const std::wstring location = RegistryText(root, key, L"EBWebView", KEY_WOW64_32KEY);
            if (location.empty() || !UsableVersion(location) || !FileExists(location + kRuntimeDll))
                continue;
            runtime.dll = location + kRuntimeDll;
            runtime.kind = 0;
            runtime.status = S_OK;
            return runtime;
        }
    }
    runtime.status = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return runtime;
}

HRESULT PrepareDataFolder(const std::wstring& folder)
{
    if (folder.empty())
        return E_INVALIDARG;
    const int created = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(created));
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return HRESULT_FROM_WIN32(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS); // a file in the way
    // Creatable is not writable (a read-only share, a full drive): try.
    const std::wstring probe = folder + L"\\write-check.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(file);
    return S_OK;
}

std::wstring EditorWebViewDataFolder(const std::wstring& localAppData, const std::wstring& temp)
{
    std::wstring base = localAppData.empty() ? temp : localAppData;
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    return base.empty() ? std::wstring() : base + L"\\Talmesh\\WebViewCache";
}

std::wstring EditorWebViewDataFolder()
{
    std::wstring local;
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) && known)
        local = known;
    CoTaskMemFree(known);
    std::wstring temp(MAX_PATH + 1, L'\0');
    const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    temp.resize(length <= MAX_PATH ? length : 0);
    return EditorWebViewDataFolder(local, temp);
}

HRESULT
CreateWebView2Environment(const std::wstring& userDataFolder,
                          wv2::ICoreWebView2EnvironmentOptions* options,
                          wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                          WebView2Attempt* attempt)
{
    WebView2Attempt local;
    WebView2Attempt& at = attempt ? *attempt : local;
    at = WebView2Attempt{};
    if (handler == nullptr)
        return E_POINTER;
    at.runtime = FindWebView2Runtime(userDataFolder);
    const WebView2Runtime& runtime = at.runtime;
    if (FAILED(runtime.status))
        return runtime.status;
    if (!runtime.userDataFolder.empty())
    {
        at.step = WebView2Attempt::Step::DataFolder;
        const HRESULT folder = PrepareDataFolder(runtime.userDataFolder);
        if (FAILED(folder))
            return folder;
    }
    // Kept loaded for the life of the process: the environment is shared by
    // every editor, and never unloading is always safe.
    at.step = WebView2Attempt::Step::LoadRuntime;
    HMODULE module = LoadLibraryW(runtime.dll.c_str());
    if (module == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    auto create = reinterpret_cast<CreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, kCreateExport)));
    if (create == nullptr)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    at.step = WebView2Attempt::Step::Create;
    return create(true, runtime.kind,
                  runtime.userDataFolder.empty() ? nullptr : runtime.userDataFolder.c_str(),
                  options, handler);
}

} // namespace plugfw
