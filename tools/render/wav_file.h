// Audio files for the render tool: a whole file read into 64-bit channel
// buffers, and channel buffers written as a 32-bit float WAV file
// (wav_file_<platform>.cpp: libsndfile on Linux, wave_codec.h on Windows).
#pragma once

#include <string>
#include <vector>

namespace ostrel::render
{

struct AudioData
{
    double sampleRate = 0.0;
    std::vector<std::vector<double>> channels; // channels[c][frame]

    int NumChannels() const { return static_cast<int>(channels.size()); }
    long NumFrames() const { return channels.empty() ? 0 : static_cast<long>(channels[0].size()); }
};

// False with a message (missing file, not audio, unreadable) on failure.
bool ReadAudioFile(const std::string& path, AudioData& audio, std::string& error);
bool WriteWavFile(const std::string& path, const AudioData& audio, std::string& error);

// Root mean square over every channel and frame, in dB relative to full
// scale (-inf for silence).
double RmsDbfs(const AudioData& audio);

} // namespace ostrel::render
