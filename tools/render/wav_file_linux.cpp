// Audio files on Linux, through libsndfile (any format it reads).
#include "tools/render/wav_file.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>

namespace ostrel::render
{

bool ReadAudioFile(const std::string& path, AudioData& audio, std::string& error)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
    {
        error = "cannot read '" + path + "': no such file";
        return false;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
    {
        error = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate <= 0 || info.frames < 0)
    {
        sf_close(file);
        error = "'" + path + "' holds no usable audio";
        return false;
    }
    const auto frames = static_cast<size_t>(info.frames);
    const auto channels = static_cast<size_t>(info.channels);
    std::vector<double> interleaved(frames * channels);
    const sf_count_t got = sf_readf_double(file, interleaved.data(), info.frames);
    sf_close(file);
    if (got != info.frames)
    {
        error = "'" + path + "' is cut short (" + std::to_string(got) + " of " +
                std::to_string(info.frames) + " frames readable)";
        return false;
    }
    audio.sampleRate = info.samplerate;
    audio.channels.assign(channels, std::vector<double>(frames));
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels; ++c)
        {
            const double v = interleaved[f * channels + c];
            audio.channels[c][f] = std::isfinite(v) ? v : 0.0;
        }
    return true;
}

bool WriteWavFile(const std::string& path, const AudioData& audio, std::string& error)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.sampleRate);
    info.channels = audio.NumChannels();
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
    {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    const auto frames = static_cast<size_t>(audio.NumFrames());
    const auto channels = static_cast<size_t>(audio.NumChannels());
    std::vector<double> interleaved(frames * channels);
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels; ++c)
            interleaved[f * channels + c] = audio.channels[c][f];
    const sf_count_t written =
        sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(frames));
    const int closed = sf_close(file);
    if (written != static_cast<sf_count_t>(frames) || closed != 0)
    {
        error = "writing '" + path + "' failed";
        return false;
    }
    return true;
}

} // namespace ostrel::render
