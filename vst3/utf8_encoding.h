// UTF-8 encoding of one code point, shared by the texts that come from the
// host (UTF-16 names) and the key presses it forwards.
#pragma once

#include <string>

namespace plugfw
{

// Longest encoding of one code point.
inline constexpr int kMaxUtf8Bytes = 4;

// Writes the 1 to 4 bytes of `c` (at most U+10FFFF; the caller keeps
// surrogates out) to `out`, without a terminator. Returns how many.
int EncodeUtf8(char32_t c, char* out);

void AppendUtf8(std::string& out, char32_t c);

} // namespace plugfw
