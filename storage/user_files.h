// The three files the product keeps per user in the data folder: the page's
// presets (opaque bytes), the last parameter state (a JSON array of the 27
// normalised values) and the first-run flag (any content = onboarded).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel
{

inline constexpr char kPresetsFileName[] = "Ostrel.presets.json";
inline constexpr char kLastStateFileName[] = "Ostrel.laststate.json";
inline constexpr char kOnboardedFileName[] = "Ostrel.onboarded";
// "Link across processes": one word, "automatic" (also when missing),
// "never" or "always" (link/host_session.h reads it).
inline constexpr char kLinkPreferenceFileName[] = "Ostrel.link";
inline constexpr int kLastStateValueCount = 27;

// Larger files are refused unread. A last state is 244 bytes, so 1 MiB leaves
// room for any hand edit; presets are the page's own JSON of a few kilobytes
// per preset.
inline constexpr size_t kLastStateFileMaxBytes = size_t{1} << 20;
inline constexpr size_t kPresetsFileMaxBytes = size_t{16} << 20;

// "[" + the values formatted "%.6f" (a point whatever the locale) joined by
// "," + "]". A value that is not a finite number is written as 0.000000 so
// that the file stays a JSON array.
std::string BuildLastStateText(std::span<const double> values);

// The tolerant walk over a last-state text: skips "[", ",", spaces and line
// feeds, stops at "]", at the end, or where no finite number can be read, and
// returns the numbers read so far (at most 27).
std::vector<double> ParseLastStateText(std::string_view text);

// The reads of the three files (written through FileWorkQueue). Presets:
// returned unchanged (empty when missing or too large).
std::string ReadPresetsFile();

// Last state: the whole text (empty when missing, unreadable or too large);
// ParseLastStateText gives the numbers it holds.
std::string ReadLastStateFileText();

// First-run flag: length of the file (0 when missing); the product writes
// the single byte "1".
size_t OnboardedFileLength();

} // namespace ostrel
