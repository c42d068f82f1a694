// A web view back end for tests: records every script the plug-in runs and
// decodes the arbitrary messages ("SAMFD") they carry.
#pragma once

#include "framework/base64.h"
#include "framework/iweb_view.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace ostrel_test
{

struct PageMessage
{
    int tag = 0;
    int lengthArgument = 0;
    std::string base64;
    std::string text; // decoded
};

class RecordingWebView : public plugfw::WebViewBackend
{
public:
    void EvaluateScript(const std::string& script) override { scripts.push_back(script); }
    void TakeFocus() override { ++focusCount; }
    void ReleaseFocus() override { ++releaseCount; }
    void SetBounds(int x, int y, int width, int height) override
    {
        bounds.push_back(std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) +
                         " " + std::to_string(height));
    }

    // The SAMFD calls among the recorded scripts, decoded; a tick's scripts
    // arrive joined into one and are taken apart here.
    std::vector<PageMessage> Messages() const
    {
        std::vector<PageMessage> out;
        for (const std::string& s : Statements())
        {
            PageMessage m;
            if (Parse(s, m))
                out.push_back(m);
        }
        return out;
    }

    std::vector<std::string> Statements() const
    {
        std::vector<std::string> out;
        for (const std::string& s : scripts)
            for (size_t from = 0;;)
            {
                const size_t cut = s.find(";\n", from);
                out.push_back(s.substr(from, cut == std::string::npos ? cut : cut - from));
                if (cut == std::string::npos)
                    break;
                from = cut + 2;
            }
        return out;
    }

    std::vector<PageMessage> MessagesWithTag(int tag) const
    {
        std::vector<PageMessage> out;
        for (const PageMessage& m : Messages())
            if (m.tag == tag)
                out.push_back(m);
        return out;
    }

    std::vector<std::string> ScriptsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const std::string& s : Statements())
            if (s.rfind(prefix, 0) == 0)
                out.push_back(s);
        return out;
    }

    static bool Parse(const std::string& script, PageMessage& m)
    {
        if (script.rfind("SAMFD(", 0) != 0)
            return false;
        const char* p = script.c_str() + 6;
        char* end = nullptr;
        m.tag = static_cast<int>(std::strtol(p, &end, 10));
        if (end[0] != ',' || end[1] != ' ')
            return false;
        m.lengthArgument = static_cast<int>(std::strtol(end + 2, &end, 10));
        if (end[0] != ',' || end[1] != ' ' || end[2] != '\'')
            return false;
        const std::string rest(end + 3);
        const size_t close = rest.find('\'');
        if (close == std::string::npos || rest.substr(close) != "')")
            return false;
        m.base64 = rest.substr(0, close);
        std::string bytes(m.base64.size(), '\0');
        const size_t n =
            plugfw::Base64Decode(m.base64, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        bytes.resize(n);
        m.text = bytes;
        return true;
    }

    std::vector<std::string> scripts;
    int focusCount = 0;
    int releaseCount = 0;
    std::vector<std::string> bounds; // "x y w h" of each SetBounds
};

} // namespace ostrel_test
