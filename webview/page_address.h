// The private address space under which the helper browser serves the editor
// page's folder (in place of file:// addresses, which browsers restrict), and
// the rules for what a page may navigate to. Standard library only: the
// helper and the tests share it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plugfw
{

// "ostrel://page/<file>" addresses name files of the mapped folder; the
// scheme is registered by the helper alone, so such addresses resolve
// nowhere else.
inline constexpr std::string_view kPageScheme = "ostrel";
inline constexpr std::string_view kPageHost = "page";

// The folder part of a page path (up to its last '/', "" when there is none)
// and the file name (the rest).
struct PagePathParts
{
    std::string folder;
    std::string fileName;
};
PagePathParts SplitPagePath(std::string_view path);

// The address of a file of the mapped folder; the name is percent-encoded
// except for unreserved characters and '/'.
std::string PageAddress(std::string_view fileName);

// The file that a request path ("/index.html", already without query) names
// inside `folder`, or nothing when it would leave the folder, is not valid
// percent-encoding or names no file within it. The folder must be absolute.
std::optional<std::string> ResolvePageFile(const std::string& folder, std::string_view requestPath);

// The MIME type the page's files are served with, by extension.
std::string PageMimeType(std::string_view path);

// What the browser does with a navigation request.
enum class NavigationVerdict
{
    kAskOwner,       // a page address: the plug-in decides
    kAllow,          // an empty document (about:blank)
    kOpenExternally, // a web link: the user's browser opens it
    kRefuse,
};

// `newWindow`: a link with a new-window target or a script opening a window.
// `userLink`: the user followed a link (not a script or redirect).
NavigationVerdict JudgeNavigation(std::string_view address, bool newWindow, bool userLink);

} // namespace plugfw
