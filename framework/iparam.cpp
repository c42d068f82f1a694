#include "framework/iparam.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace plugfw
{

namespace
{

// Copies `src` into a kTextSize field, cutting what does not fit.
void CopyText(char* dst, const char* src)
{
    const size_t n = src ? std::min(std::strlen(src), size_t(IParam::kTextSize - 1)) : 0;
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// printf's "%.Nf" in the "C" locale, whatever locale the host has set (a
// decimal comma would break the page's JSON and the host's display).
std::string FixedText(double v, int precision, bool forceSign = false)
{
    char buf[400]; // the longest double in fixed notation with 6 decimals fits
    char* p = buf;
    if (forceSign && !std::signbit(v))
        *p++ = '+';
    const auto res = std::to_chars(p, buf + sizeof(buf), v, std::chars_format::fixed, precision);
    return std::string(buf, res.ec == std::errc() ? res.ptr : p);
}

// atof() without the locale: leading white space, optional sign, a decimal
// number (or inf/nan); trailing text ignored; 0 when nothing can be read.
double ParseNumber(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    if (*p == '+')
        ++p;
    double v = 0.0;
    const auto res = std::from_chars(p, p + std::strlen(p), v);
    return res.ec == std::errc() ? v : 0.0;
}

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Appends one piece of text as a formatter with an 8192-byte buffer would.
void AppendPiece(std::string& out, const std::string& piece)
{
    constexpr size_t kMaxPiece = 8192 - 1;
    out.append(piece, 0, std::min(piece.size(), kMaxPiece));
}

} // namespace

IParam::IParam() : mShape(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

void IParam::DefineDouble(const char* name, double defaultValue, double min, double max,
                          double step, const char* label, int flags, const char* group,
                          const Shape& shape, int unitCode, DisplayFunc displayFunction)
{
    if (mType == kTypeNone)
        mType = kTypeDouble;
    CopyText(mName, name);
    CopyText(mLabel, label);
    CopyText(mGroup, group);
    mMin = min;
    mMax = std::max(max, min + step);
    mStep = step;
    mDefault = defaultValue;
    mUnitCode = unitCode;
    mFlags = flags;
    mDisplayFunction = std::move(displayFunction);
    Set(defaultValue);

    mDisplayPrecision = 0;
    for (double s = step; mDisplayPrecision <= 5 && s != std::floor(s); s *= 10.0)
        ++mDisplayPrecision;

    mShape = shape.Clone();
    mShape->Init(*this);
}

void IParam::DefineInt(const char* name, double defaultValue, double min, double max,
                       const char* label, int flags, const char* group)
{
    if (mType == kTypeNone)
        mType = kTypeInt;
    DefineDouble(name, defaultValue, min, max, 1.0, label, flags | Stepped, group, ShapeLinear(),
                 kUnitCustom, nullptr);
}

void IParam::DefineEnum(const char* name, double defaultValue, int count, const char* label,
                        int flags, const char* group, std::initializer_list<const char*> texts)
{
    if (mType == kTypeNone)
        mType = kTypeEnum;
    DefineDouble(name, defaultValue, 0.0, count - 1.0, 1.0, label, flags | Stepped, group,
                 ShapeLinear(), kUnitCustom, nullptr);
    int i = 0;
    for (const char* text : texts)
    {
        if (i >= count)
            break;
        AddValueText(i++, text);
    }
}

void IParam::DefineBool(const char* name, double defaultValue, const char* label, int flags,
                        const char* group, const char* offText, const char* onText)
{
    if (mType == kTypeNone)
        mType = kTypeBool;
    DefineEnum(name, defaultValue, 2, label, flags | Stepped, group);
    AddValueText(0.0, offText);
    AddValueText(1.0, onText);
}

double IParam::Clamp(double v) const
{
    if ((mFlags & Stepped) && mStep > 0.0)
        v = std::round(v / mStep) * mStep; // std::round takes halves away from zero
    // Written so that NaN ends up at min: a bad host value never poisons the state.
    v = std::max(mMin, v);
    return std::min(mMax, v);
}

double IParam::FromNormalised(double x) const
{
    return Clamp(mShape->NormalisedToValue(x, *this));
}

double IParam::ToNormalised(double v) const
{
    const double x = mShape->ValueToNormalised(Clamp(v), *this);
    if (!(x > 0.0))
        return 0.0;
    return std::min(x, 1.0);
}

void IParam::AddValueText(double value, const char* text)
{
    ValueText entry;
    entry.value = value;
    CopyText(entry.text, text);
    mValueTexts.push_back(entry);
}

const char* IParam::UnitLabel() const
{
    const double whole = std::trunc(Value());
    for (const ValueText& entry : mValueTexts)
        if (entry.value == whole && entry.text[0] != '\0')
            return "";
    return mLabel;
}

void IParam::FormatValue(double v, bool isNormalised, char* text, bool withValueTexts) const
{
    if (isNormalised)
        v = FromNormalised(v);
    if (mDisplayFunction)
    {
        text[0] = '\0';
        mDisplayFunction(v, text);
        return;
    }
    if (withValueTexts)
    {
        for (const ValueText& entry : mValueTexts)
        {
            if (entry.value == v && entry.text[0] != '\0')
            {
                CopyText(text, entry.text);
                return;
            }
        }
    }

    double d = (mFlags & NegatedDisplay) ? -v : v;
    if (d == 0.0)
        d = 0.0; // -0 shows as "0"
    std::string s;
    if (mDisplayPrecision == 0)
        s = std::isfinite(d) ? std::to_string(std::llround(d)) : FixedText(d, 0);
    else
        s = FixedText(d, mDisplayPrecision, (mFlags & SignedDisplay) && d != 0.0);
    CopyText(text, s.c_str());
}

std::string IParam::FormatValue(double v, bool isNormalised, bool withValueTexts) const
{
    char text[kTextSize];
    FormatValue(v, isNormalised, text, withValueTexts);
    return text;
}

double IParam::ParseText(const char* text) const
{
    for (const ValueText& entry : mValueTexts)
        if (std::strcmp(entry.text, text) == 0)
            return entry.value;
    if (mType == kTypeBool || mType == kTypeEnum)
        return 0.0;
    double v = ParseNumber(text);
    if (mFlags & NegatedDisplay)
        v = -v;
    return Clamp(v);
}

std::optional<double> IParam::ParseTypedText(std::string_view typed) const
{
    const std::string_view text = Trimmed(typed);
    if (text.empty())
        return std::nullopt;
    for (const ValueText& entry : mValueTexts)
        if (entry.text[0] != '\0' && EqualIgnoringCase(entry.text, text))
            return entry.value;

    // The number: a sign, digits with at most one decimal point or comma.
    std::string number;
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-')
        number += text[i++];
    bool digits = false;
    bool separator = false;
    for (; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c >= '0' && c <= '9')
        {
            digits = true;
            number += c;
        }
        else if ((c == '.' || c == ',') && !separator)
        {
            separator = true;
            number += '.';
        }
        else
            break;
    }
    if (!digits)
        return std::nullopt;

    // Then the unit, with or without a multiplier before it.
    std::string_view rest = Trimmed(text.substr(i));
    double multiplier = 1.0;
    const auto isUnit = [this](std::string_view u)
    { return u.empty() || EqualIgnoringCase(u, mLabel); };
    if (!isUnit(rest))
    {
        if (rest[0] == 'k' || rest[0] == 'K')
            multiplier = 1e3;
        else if (rest[0] == 'M')
            multiplier = 1e6;
        else
            return std::nullopt;
        rest = Trimmed(rest.substr(1));
        if (!isUnit(rest))
            return std::nullopt;
    }

    double v = 0.0;
    const char* first = number.data() + (number[0] == '+' ? 1 : 0);
    if (std::from_chars(first, number.data() + number.size(), v).ec != std::errc())
        return std::nullopt;
    v *= multiplier;
    if (!std::isfinite(v))
        return std::nullopt;
    if (mFlags & NegatedDisplay)
        v = -v;
    return Clamp(v);
}

void IParam::DescribeJson(int index, std::string& out) const
{
    static const char* const kTypeNames[] = {"", "bool", "int", "enum", "float"};
    AppendPiece(out, "{");
    AppendPiece(out, "\"id\":" + std::to_string(index) + ", ");
    AppendPiece(out, "\"name\":\"" + std::string(mName) + "\", ");
    if (mType >= kTypeBool && mType <= kTypeDouble)
        AppendPiece(out, "\"type\":\"" + std::string(kTypeNames[mType]) + "\", ");
    AppendPiece(out, "\"min\":" + FixedText(mMin, 6) + ", ");
    AppendPiece(out, "\"max\":" + FixedText(mMax, 6) + ", ");
    AppendPiece(out, "\"default\":" + FixedText(mDefault, 6) + ", ");
    AppendPiece(out, "\"display_type\":" + std::to_string(mShape->DisplayType()) + ", ");
    AppendPiece(out, "\"rate\":\"control\"");
    AppendPiece(out, "}");
}

} // namespace plugfw
