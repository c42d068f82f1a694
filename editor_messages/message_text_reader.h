// Reading values out of the small JSON texts that the page sends as product
// messages. The texts are not parsed as JSON: each value is found after a
// fixed key text (the member name in quotes, then a colon), so the page must
// write members as "key":value. The text ends at its first zero byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel
{

class MessageText
{
public:
    MessageText(const void* bytes, int byteCount);
    explicit MessageText(std::string_view text);

    std::string_view Text() const { return mText; }

    // Whether "name" (in quotes) occurs.
    bool Has(std::string_view name) const;

    // The integer after "name": (base 10, leading white space skipped, 0 when
    // no digit follows; saturated to the 32-bit range). Empty when the key is
    // missing.
    std::optional<int> Integer(std::string_view name) const;

    // The real after "name": (locale-independent, leading white space
    // skipped; 0 when no number follows or the number is not finite). Empty
    // when the key is missing.
    std::optional<double> Real(std::string_view name) const;

    // The text between "name":" and the next double quote; empty when either
    // is missing.
    std::string QuotedText(std::string_view name) const;

    // The numbers of the array after "name": ("[1,2.5, -3]"), in order, at
    // most `maxCount` of them. Reading stops at the closing bracket, at the
    // end of the text or at the first element that is no number; numbers out
    // of range read as 0. Empty when the key or the opening bracket is
    // missing.
    std::vector<double> NumberList(std::string_view name, size_t maxCount) const;

    // The string value of "name": after the key, the next colon, then the
    // next double quote; up to the next unescaped double quote, a backslash
    // taking the following byte literally. Empty when the colon, either quote
    // or the key is missing.
    std::string EscapedString(std::string_view name) const;

private:
    // Position right after the first occurrence of `key`, or npos.
    size_t After(std::string_view key) const;
    size_t AfterNameAndColon(std::string_view name) const;

    std::string_view mText;
};

} // namespace ostrel
