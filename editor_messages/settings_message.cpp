#include "editor_messages/settings_message.h"

#include "framework/number_text.h"

namespace ostrel
{

namespace
{

void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += c;
        }
        else if (byte < 0x20)
        {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
        else
        {
            out += c;
        }
    }
    out += '"';
}

} // namespace

std::string BuildSettingsMessage(const SettingsView& view)
{
    std::string out = "{\"t\":\"settings\",\"slot\":";
    plugfw::AppendInt(out, view.slot);
    out += ",\"preset\":";
    AppendJsonString(out, view.presetName);
    out += ",\"modified\":";
    out += view.modified ? '1' : '0';
    out += '}';
    return out;
}

} // namespace ostrel
