#include "webview/helper_protocol.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace plugfw::helper_protocol
{

namespace
{

// Reads one unsigned or signed decimal integer followed by a space or the end.
template <typename T> bool ReadNumber(std::string_view& text, T& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first)
        return false;
    // A separator must be followed by something.
    if (end != last && (*end != ' ' || end + 1 == last))
        return false;
    text.remove_prefix(static_cast<size_t>(end - first));
    if (!text.empty())
        text.remove_prefix(1);
    return true;
}

int CeilToInt(double v)
{
    const double c = std::ceil(v);
    if (!(c > static_cast<double>(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (!(c < static_cast<double>(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max() - 1;
    return static_cast<int>(c);
}

} // namespace

std::string BoundsText(const Bounds& b)
{
    return std::to_string(b.x) + ' ' + std::to_string(b.y) + ' ' + std::to_string(b.width) + ' ' +
           std::to_string(b.height);
}

std::optional<Bounds> ParseBounds(std::string_view text)
{
    Bounds b;
    if (!ReadNumber(text, b.x) || !ReadNumber(text, b.y) || !ReadNumber(text, b.width) ||
        !ReadNumber(text, b.height) || !text.empty())
        return std::nullopt;
    if (b.width < 0 || b.height < 0)
        return std::nullopt;
    return b;
}

std::string ScaleText(float scale)
{
    // Scales are small numbers; thousandths are exact enough and the format
    // has no locale in it.
    const long milli = std::lround(static_cast<double>(scale) * 1000.0);
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%03ld", milli / 1000, milli % 1000);
    return text;
}

std::optional<float> ParseScale(std::string_view text)
{
    // Accepts "<int>" or "<int>.<digits>" only.
    long whole = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    auto [afterWhole, error] = std::from_chars(p, end, whole);
    if (error != std::errc() || afterWhole == p || whole < 0 || whole > 1000)
        return std::nullopt;
    double value = static_cast<double>(whole);
    p = afterWhole;
    if (p != end)
    {
        if (*p != '.' || p + 1 == end)
            return std::nullopt;
        double place = 0.1;
        for (++p; p != end; ++p)
        {
            if (*p < '0' || *p > '9')
                return std::nullopt;
            value += (*p - '0') * place;
            place /= 10.0;
        }
    }
    if (!(value > 0.0))
        return std::nullopt;
    return static_cast<float>(value);
}

std::string QuestionText(unsigned id, std::string_view subject)
{
    std::string text = std::to_string(id);
    text.push_back(' ');
    text.append(subject);
    return text;
}

std::optional<Question> ParseQuestion(std::string_view text)
{
    Question q;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first, first + text.size(), q.id);
    if (error != std::errc() || end == first || end == first + text.size() || *end != ' ')
        return std::nullopt;
    q.subject.assign(end + 1, first + text.size());
    return q;
}

std::string AnswerText(unsigned id, bool yes)
{
    return std::to_string(id) + (yes ? " 1" : " 0");
}

std::optional<Answer> ParseAnswer(std::string_view text)
{
    Answer a;
    int yes = 0;
    if (!ReadNumber(text, a.id) || !ReadNumber(text, yes) || !text.empty() ||
        (yes != 0 && yes != 1))
        return std::nullopt;
    a.yes = yes == 1;
    return a;
}

PixelRect ScaledPixelRect(const Bounds& b, float scale)
{
    const double s = std::isfinite(scale) && scale > 0.0f ? static_cast<double>(scale) : 1.0;
    PixelRect r;
    r.left = CeilToInt(b.x * s);
    r.top = CeilToInt(b.y * s);
    r.right = CeilToInt((static_cast<double>(b.x) + b.width) * s) + 1;
    r.bottom = CeilToInt((static_cast<double>(b.y) + b.height) * s) + 1;
    return r;
}

} // namespace plugfw::helper_protocol
