// The render tool's platform part on Windows: arguments from the wide
// command line converted to UTF-8, and the default bundle beside the
// program (build-windows/Ostrel.vst3 beside build-windows/ostrel-render.exe),
// where a build's bundle sits as on Linux; a path compiled in would be a
// path of the build machine.
#include "tools/render/render_platform.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace ostrel::render
{

namespace
{

std::string utf8(const wchar_t* text, size_t length)
{
    if (length == 0)
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
    return out;
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(utf8(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

std::string DefaultBundlePath()
{
    std::wstring self(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length =
            GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length < self.size())
        {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    const size_t slash = self.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : self.substr(0, slash);
    return utf8(folder.data(), folder.size()) + "\\Ostrel.vst3";
}

} // namespace ostrel::render
