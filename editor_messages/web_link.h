// Opening a web address from the page in the user's default browser. Only
// "http://" and "https://" addresses are opened (exact, case-sensitive
// prefixes); anything else is ignored. Success or failure is not reported.
#pragma once

#include <string>
#include <string_view>

namespace ostrel
{

bool IsOpenableWebLink(std::string_view url);

// Main thread. Returns whether the address was handed to the platform.
bool OpenWebLink(const std::string& url);

// The platform's "open with the default handler" (no shell involved).
void OpenUrlWithDefaultHandler(const std::string& url);

// Test seam: while set, OpenWebLink hands addresses here instead of to the
// platform. Pass nullptr to go back.
using WebLinkOpener = void (*)(const std::string& url);
void setWebLinkOpenerForTesting(WebLinkOpener opener);

} // namespace ostrel
