// The demo's two tracks, synthesised deterministically: a vocal-like line
// (a sung, vibrato-laden harmonic voice through moving vowel formants, in
// syllables and phrases with pauses between them) and a competing part (a
// strummed steel-string guitar whose body resonances sit in the voice's
// formant range, played the whole time).
#pragma once

#include <cstdint>
#include <vector>

namespace ostrel::demo
{

// Mono voice, peak -6 dBFS.
std::vector<double> MakeVoice(double sampleRate, double seconds, uint32_t seed = 1);

// Stereo masker (two channels of equal length), RMS about -15 dBFS, peaks
// at most -1 dBFS.
std::vector<std::vector<double>> MakeMasker(double sampleRate, double seconds, uint32_t seed = 2);

} // namespace ostrel::demo
