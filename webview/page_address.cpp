#include "webview/page_address.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace plugfw
{

namespace fs = std::filesystem;

namespace
{

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int hi = HexValue(text[i + 1]);
        const int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

std::string PageAddressPrefix()
{
    return std::string(kPageScheme) + "://" + std::string(kPageHost) + "/";
}

} // namespace

PagePathParts SplitPagePath(std::string_view path)
{
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string_view::npos)
        return {"", std::string(path)};
    return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string PageAddress(std::string_view fileName)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string address = PageAddressPrefix();
    for (const char c : fileName)
    {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/')
        {
            address.push_back(c);
        }
        else
        {
            address.push_back('%');
            address.push_back(kHex[u >> 4]);
            address.push_back(kHex[u & 15]);
        }
    }
    return address;
}

std::optional<std::string> ResolvePageFile(const std::string& folder, std::string_view requestPath)
{
    if (folder.empty() || folder.front() != '/')
        return std::nullopt;
    const auto decoded = PercentDecode(requestPath);
    if (!decoded || decoded->find('\0') != std::string::npos)
        return std::nullopt;
    std::error_code error;
    const fs::path root = fs::weakly_canonical(fs::path(folder), error);
    if (error)
        return std::nullopt;
    const size_t first = decoded->find_first_not_of('/');
    if (first == std::string::npos)
        return std::nullopt;
    const std::string relative = decoded->substr(first);
    // Symbolic links are followed before the containment check, so no link
    // inside the folder can lead out of it.
    const fs::path file = fs::weakly_canonical(root / relative, error);
    if (error)
        return std::nullopt;
    const auto [rootEnd, fileIt] =
        std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (rootEnd != root.end() || fileIt == file.end())
        return std::nullopt;
    if (!fs::is_regular_file(file, error))
        return std::nullopt;
    return file.string();
}

std::string PageMimeType(std::string_view path)
{
    struct Entry
    {
        std::string_view extension;
        std::string_view type;
    };
    static constexpr Entry kTypes[] = {
        {".html", "text/html"},      {".htm", "text/html"},  {".js", "text/javascript"},
        {".mjs", "text/javascript"}, {".css", "text/css"},   {".json", "application/json"},
        {".svg", "image/svg+xml"},   {".png", "image/png"},  {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},     {".gif", "image/gif"},  {".webp", "image/webp"},
        {".ico", "image/x-icon"},    {".woff", "font/woff"}, {".woff2", "font/woff2"},
        {".ttf", "font/ttf"},        {".otf", "font/otf"},   {".wasm", "application/wasm"},
        {".txt", "text/plain"},
    };
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    {
        const std::string_view extension = path.substr(dot);
        for (const Entry& e : kTypes)
            if (extension.size() == e.extension.size() && StartsWithNoCase(extension, e.extension))
                return std::string(e.type);
    }
    return "application/octet-stream";
}

NavigationVerdict JudgeNavigation(std::string_view address, bool newWindow, bool userLink)
{
    const bool web = StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
    if (newWindow)
        return web ? NavigationVerdict::kOpenExternally : NavigationVerdict::kRefuse;
    if (StartsWithNoCase(address, PageAddressPrefix()))
        return NavigationVerdict::kAskOwner;
    if (address == "about:blank")
        return NavigationVerdict::kAllow;
    // The editor never leaves its page: a followed web link goes to the
    // user's browser, anything else (scripts, redirects, other schemes) is
    // refused.
    if (web && userLink)
        return NavigationVerdict::kOpenExternally;
    return NavigationVerdict::kRefuse;
}

} // namespace plugfw
