// Base64 (standard alphabet, "=" padding, no line breaks) as the page
// protocol carries arbitrary messages in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plugfw
{

// 4 * ceil(size / 3) characters.
std::string Base64Encode(const uint8_t* data, size_t size);

// The byte count that a posted base64 text announces: (d * 3) / 4 minus the
// padding (2 when the last-but-one character is "=", else 1 when the last
// one is). Negative for malformed texts such as a lone "=".
int64_t Base64AnnouncedSize(std::string_view text);

// Decodes `text` into `out` (at most `outSize` bytes), stopping at the first
// character outside the alphabet (padding included). Returns the number of
// whole bytes decoded. Bytes of `out` past that are left untouched.
size_t Base64Decode(std::string_view text, uint8_t* out, size_t outSize);

} // namespace plugfw
