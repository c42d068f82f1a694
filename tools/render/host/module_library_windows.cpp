// Modules on Windows: Contents/x86_64-win/<name>.vst3, a DLL opened with
// LoadLibraryW (the UTF-8 path widened, with the system's separators),
// entered with InitDll() and left with ExitDll().
#include "tools/render/host/module_library.h"

#include <windows.h>

namespace ostrel::host
{

namespace
{

std::wstring widePath(const std::string& path)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                        length);
    for (auto& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

std::string systemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text)
    {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                             nullptr, nullptr);
        message.resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size,
                            nullptr, nullptr);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                    message.back() == ' ' || message.back() == '.'))
            message.pop_back();
    }
    if (text)
        LocalFree(text);
    return message.empty() ? "error " + std::to_string(code) : message;
}

template <typename Function> Function entryPoint(LibraryHandle library, const char* name)
{
    return reinterpret_cast<Function>(LibrarySymbol(library, name));
}

} // namespace

std::string ModuleInBundle(const std::string& bundleRoot, const std::string& name)
{
    return bundleRoot + "\\Contents\\x86_64-win\\" + name + ".vst3";
}

bool IsPathSeparator(char c)
{
    return c == '/' || c == '\\';
}

LibraryHandle OpenLibrary(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryW(widePath(path).c_str());
    if (!module)
        error = systemMessage(GetLastError());
    return reinterpret_cast<LibraryHandle>(module);
}

void* LibrarySymbol(LibraryHandle library, const char* name)
{
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(LibraryHandle library)
{
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

bool EnterModule(LibraryHandle library, bool& entered)
{
    entered = false;
    auto initDll = entryPoint<bool (*)()>(library, "InitDll");
    if (!initDll)
        return true;
    if (!initDll())
        return false;
    entered = true;
    return true;
}

void ExitModule(LibraryHandle library)
{
    if (auto exitDll = entryPoint<bool (*)()>(library, "ExitDll"))
        exitDll();
}

} // namespace ostrel::host
