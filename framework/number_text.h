// Locale-independent number texts for the page protocol. The host process may
// have switched the C locale to one with a decimal comma; the page parses
// JavaScript and JSON, which only know the point. These helpers write what
// printf's "%d" and "%.Nf" write in the "C" locale, whatever the locale is.
#pragma once

#include <cstdint>
#include <string>

namespace plugfw
{

// Appends "%d" of `value`.
void AppendInt(std::string& out, int64_t value);

// Appends "%.<decimals>f" of `value` (decimals 0..17). Non-finite values are
// written as printf writes them ("nan", "inf", "-inf").
void AppendFixed(std::string& out, double value, int decimals);

// As AppendFixed, but as if formatted into a buffer of `bufferSize` bytes
// (the text is cut to bufferSize - 1 characters).
void AppendFixedInBuffer(std::string& out, double value, int decimals, int bufferSize);

} // namespace plugfw
