// The module's own file on Windows: the module that holds this code, asked
// by address so it is right whether or not DllMain has run.
#include "vst3/module_state.h"

#include "webview/editor_area_windows.h"

#include <windows.h>

namespace plugfw
{

const std::string& ModulePath()
{
    static const std::string path = []
    {
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(&ModulePath), &module))
            return std::string();
        // Paths may be longer than MAX_PATH: grow until the name fits.
        std::wstring name(MAX_PATH, L'\0');
        for (;;)
        {
            const DWORD length =
                GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
            if (length == 0)
                return std::string();
            if (length < name.size())
            {
                name.resize(length);
                break;
            }
            name.resize(name.size() * 2);
        }
        const int size = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                             nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), utf8.data(),
                                size, nullptr, nullptr);
        return utf8;
    }();
    return path;
}

void ModuleUnloading()
{
    // Normally done at ExitDll already; this covers hosts that unload
    // without it.
    UnregisterEditorAreaClass();
}

std::string ModuleFolder()
{
    const std::string& path = ModulePath();
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace plugfw
