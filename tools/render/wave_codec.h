// RIFF/WAVE files in memory, for platforms without an audio file library:
// PCM of 8, 16, 24 and 32 bits and IEEE float of 32 and 64 bits, any number
// of channels, plain or extensible format chunk. The decoder takes what the
// bytes prove and refuses the rest with a message: a file cut short, chunk
// sizes past the end, a format it cannot read; it never reads outside the
// buffer. PCM maps to [-1, 1) by 2^(bits-1), as the Linux build's library
// reads it, so both builds see the same samples.
#pragma once

#include "tools/render/wav_file.h"

#include <string>
#include <vector>

namespace ostrel::render
{

enum class WaveSampleFormat
{
    Pcm8,
    Pcm16,
    Pcm24,
    Pcm32,
    Float32,
    Float64,
};

// False with a message (without the file's name) when the bytes are not a
// WAVE file this can read.
bool DecodeWave(const std::vector<unsigned char>& bytes, AudioData& audio, std::string& error);

// A complete file; PCM samples are rounded and clipped to the format's range.
// More than two channels get the extensible format chunk.
std::vector<unsigned char> EncodeWave(const AudioData& audio, WaveSampleFormat format);

} // namespace ostrel::render
