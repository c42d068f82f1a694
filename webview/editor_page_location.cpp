#include "webview/editor_page_location.h"

#include <filesystem>
#include <system_error>

namespace plugfw
{

namespace fs = std::filesystem;

namespace
{

// Folders are UTF-8 strings here; on Windows a plain std::string path would
// go through the ANSI code page and lose any character outside it.
fs::path PathOfUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8Of(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::vector<std::string> EditorPageCandidates(const std::string& moduleFolder)
{
    if (moduleFolder.empty())
        return {};
    fs::path folder = PathOfUtf8(moduleFolder);
    // "x/y/" names the same folder as "x/y"; its parent must be "x".
    if (!folder.has_filename())
        folder = folder.parent_path();
    const fs::path page = fs::path("web") / "index.html";
    return {
        Utf8Of(folder.parent_path() / "Resources" / page),
        Utf8Of(folder / "Resources" / page),
        Utf8Of(folder / page),
    };
}

std::string FindEditorPage(const std::string& moduleFolder)
{
    for (const std::string& candidate : EditorPageCandidates(moduleFolder))
    {
        std::error_code error;
        if (fs::exists(fs::symlink_status(PathOfUtf8(candidate), error)))
            return candidate;
    }
    return "index.html";
}

} // namespace plugfw
