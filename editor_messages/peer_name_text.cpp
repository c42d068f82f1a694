#include "editor_messages/peer_name_text.h"

namespace ostrel
{

void AppendEscapedName(std::string& out, const char* name)
{
    size_t written = 0;
    for (const char* p = name; *p != '\0' && written < kEscapedNameLimit; ++p)
    {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 32 || c == '<' || c == '>')
            continue;
        if (c == '"' || c == '\\')
        {
            out += '\\';
            ++written;
        }
        out += static_cast<char>(c);
        ++written;
    }
}

void AppendEscapedSlotName(std::string& out, const PeerSlot& slot)
{
    char name[kPeerNameBytes];
    readName(slot, name);
    name[kPeerNameBytes - 1] = '\0';
    AppendEscapedName(out, name);
}

} // namespace ostrel
