#include "editor_messages/web_link.h"

namespace ostrel
{

namespace
{

WebLinkOpener gTestOpener = nullptr;

} // namespace

bool IsOpenableWebLink(std::string_view url)
{
    return url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0;
}

bool OpenWebLink(const std::string& url)
{
    if (!IsOpenableWebLink(url))
        return false;
    if (gTestOpener != nullptr)
        gTestOpener(url);
    else
        OpenUrlWithDefaultHandler(url);
    return true;
}

void setWebLinkOpenerForTesting(WebLinkOpener opener)
{
    gTestOpener = opener;
}

} // namespace ostrel
