#include "framework/base64.h"

namespace plugfw
{

namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string Base64Encode(const uint8_t* data, size_t size)
{
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3)
    {
        const uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const size_t rest = size - i;
    if (rest > 0)
    {
        uint32_t v = uint32_t{data[i]} << 16;
        if (rest == 2)
            v |= uint32_t{data[i + 1]} << 8;
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

int64_t Base64AnnouncedSize(std::string_view text)
{
    const auto d = static_cast<int64_t>(text.size());
    int64_t padding = 0;
    if (d >= 2 && text[d - 2] == '=')
        padding = 2;
    else if (d >= 1 && text[d - 1] == '=')
        padding = 1;
    return d * 3 / 4 - padding;
}

size_t Base64Decode(std::string_view text, uint8_t* out, size_t outSize)
{
    size_t written = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text)
    {
        const int sextet = SextetOf(c);
        if (sextet < 0 || written >= outSize)
            break;
        bits = (bits << 6) | static_cast<uint32_t>(sextet);
        bitCount += 6;
        if (bitCount >= 8)
        {
            bitCount -= 8;
            out[written++] = static_cast<uint8_t>((bits >> bitCount) & 0xFF);
        }
    }
    return written;
}

} // namespace plugfw
