// Where the editor page is found relative to the module's folder: the bundle's
// Resources folder one level above the module folder first, then Resources
// or a bare web folder inside the module folder.
#pragma once

#include <string>
#include <vector>

namespace plugfw
{

// The candidate paths of "index.html", in the order they are tried.
std::vector<std::string> EditorPageCandidates(const std::string& moduleFolder);

// The first candidate that exists (as any file-system entry); the bare name
// "index.html" when none does (its navigation then fails).
std::string FindEditorPage(const std::string& moduleFolder);

} // namespace plugfw
