#include "editor_messages/message_text_reader.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace ostrel
{

namespace
{

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t SkipSpace(std::string_view text, size_t pos)
{
    while (pos < text.size() && IsCSpace(text[pos]))
        ++pos;
    return pos;
}

int ParseInteger(std::string_view text, size_t pos)
{
    pos = SkipSpace(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
    {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t magnitude = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
    {
        // Saturate: a huge index must not wrap around into a valid one.
        if (magnitude <= int64_t{INT_MAX} + 1)
            magnitude = magnitude * 10 + (text[pos] - '0');
        ++pos;
    }
    if (negative)
        return magnitude > int64_t{INT_MAX} ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > int64_t{INT_MAX} ? INT_MAX : static_cast<int>(magnitude);
}

// The real at `pos` (white space first); `end` is set to the position after
// it, or to npos when no number is there.
double ParseReal(std::string_view text, size_t pos, size_t* end = nullptr)
{
    if (end)
        *end = std::string_view::npos;
    pos = SkipSpace(text, pos);
    if (pos < text.size() && text[pos] == '+')
    {
        // from_chars takes no plus sign; a second sign is no number.
        if (pos + 1 < text.size() && text[pos + 1] == '-')
            return 0.0;
        ++pos;
    }
    double value = 0.0;
    const char* first = text.data() + pos;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    if (end)
        *end = static_cast<size_t>(result.ptr - text.data());
    if (result.ec == std::errc::result_out_of_range)
    {
        // Out of range: as strtod, overflow gives an infinity (caught below)
        // and underflow a zero.
        return 0.0;
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return value;
}

} // namespace

MessageText::MessageText(const void* bytes, int byteCount)
{
    if (bytes == nullptr || byteCount <= 0)
        return;
    const char* text = static_cast<const char*>(bytes);
    mText = std::string_view(text, strnlen(text, static_cast<size_t>(byteCount)));
}

MessageText::MessageText(std::string_view text) : mText(text.substr(0, text.find('\0'))) {}

size_t MessageText::After(std::string_view key) const
{
    const size_t pos = mText.find(key);
    return pos == std::string_view::npos ? pos : pos + key.size();
}

size_t MessageText::AfterNameAndColon(std::string_view name) const
{
    std::string key;
    key.reserve(name.size() + 3);
    key += '"';
    key += name;
    key += "\":";
    return After(key);
}

bool MessageText::Has(std::string_view name) const
{
    std::string key;
    key.reserve(name.size() + 2);
    key += '"';
    key += name;
    key += '"';
    return After(key) != std::string_view::npos;
}

std::optional<int> MessageText::Integer(std::string_view name) const
{
    const size_t pos = AfterNameAndColon(name);
    if (pos == std::string_view::npos)
        return std::nullopt;
    return ParseInteger(mText, pos);
}

std::optional<double> MessageText::Real(std::string_view name) const
{
    const size_t pos = AfterNameAndColon(name);
    if (pos == std::string_view::npos)
        return std::nullopt;
    return ParseReal(mText, pos);
}

std::vector<double> MessageText::NumberList(std::string_view name, size_t maxCount) const
{
    std::vector<double> values;
    size_t pos = AfterNameAndColon(name);
    if (pos == std::string_view::npos)
        return values;
    pos = SkipSpace(mText, pos);
    if (pos >= mText.size() || mText[pos] != '[')
        return values;
    ++pos;
    while (values.size() < maxCount)
    {
        size_t end = std::string_view::npos;
        const double value = ParseReal(mText, pos, &end);
        if (end == std::string_view::npos)
            break;
        values.push_back(value);
        pos = SkipSpace(mText, end);
        if (pos >= mText.size() || mText[pos] != ',')
            break;
        ++pos;
    }
    return values;
}

std::string MessageText::QuotedText(std::string_view name) const
{
    std::string key;
    key.reserve(name.size() + 4);
    key += '"';
    key += name;
    key += "\":\"";
    const size_t start = After(key);
    if (start == std::string_view::npos)
        return {};
    const size_t end = mText.find('"', start);
    if (end == std::string_view::npos)
        return {};
    return std::string(mText.substr(start, end - start));
}

std::string MessageText::EscapedString(std::string_view name) const
{
    std::string key;
    key.reserve(name.size() + 2);
    key += '"';
    key += name;
    key += '"';
    size_t pos = After(key);
    if (pos == std::string_view::npos)
        return {};
    pos = mText.find(':', pos);
    if (pos == std::string_view::npos)
        return {};
    pos = mText.find('"', pos);
    if (pos == std::string_view::npos)
        return {};
    std::string value;
    for (++pos; pos < mText.size(); ++pos)
    {
        const char c = mText[pos];
        if (c == '"')
            return value;
        if (c == '\\')
        {
            if (++pos >= mText.size())
                break;
            value += mText[pos];
            continue;
        }
        value += c;
    }
    // No closing quote: a cut-off text yields nothing rather than a guess.
    return {};
}

} // namespace ostrel
