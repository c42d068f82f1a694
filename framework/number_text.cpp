#include "framework/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plugfw
{

void AppendInt(std::string& out, int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

namespace
{

// Writes the fixed text into `buffer`; returns its length.
size_t FormatFixed(char* buffer, size_t size, double value, int decimals)
{
    decimals = std::clamp(decimals, 0, 17);
    if (std::isnan(value))
    {
        const char* text = std::signbit(value) ? "-nan" : "nan";
        const size_t n = std::char_traits<char>::length(text);
        std::copy(text, text + n, buffer);
        return n;
    }
    const auto result =
        std::to_chars(buffer, buffer + size, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? static_cast<size_t>(result.ptr - buffer) : 0;
}

} // namespace

void AppendFixed(std::string& out, double value, int decimals)
{
    // The longest fixed text of a double: 309 integer digits, sign, point and
    // the decimals.
    char buffer[340];
    out.append(buffer, FormatFixed(buffer, sizeof buffer, value, decimals));
}

void AppendFixedInBuffer(std::string& out, double value, int decimals, int bufferSize)
{
    char buffer[340];
    const size_t n = FormatFixed(buffer, sizeof buffer, value, decimals);
    const size_t room = bufferSize > 0 ? static_cast<size_t>(bufferSize - 1) : 0;
    out.append(buffer, std::min(n, room));
}

} // namespace plugfw
