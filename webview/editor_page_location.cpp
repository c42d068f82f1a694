#include "webview/editor_page_location.h"

#include <filesystem>
#include <system_error>

namespace plugfw
{

namespace fs = std::filesystem;

std::vector<std::string> EditorPageCandidates(const std::string& moduleFolder)
{
    if (moduleFolder.empty())
        return {};
    fs::path folder(moduleFolder);
    // "x/y/" names the same folder as "x/y"; its parent must be "x".
    if (!folder.has_filename())
        folder = folder.parent_path();
    const fs::path page = fs::path("web") / "index.html";
    return {
        (folder.parent_path() / "Resources" / page).string(),
        (folder / "Resources" / page).string(),
        (folder / page).string(),
    };
}

std::string FindEditorPage(const std::string& moduleFolder)
{
    for (const std::string& candidate : EditorPageCandidates(moduleFolder))
    {
        std::error_code error;
        if (fs::exists(fs::symlink_status(candidate, error)))
            return candidate;
    }
    return "index.html";
}

} // namespace plugfw
