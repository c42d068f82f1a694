// Audio files on Windows, where there is no libsndfile: WAVE files through
// wave_codec.h, read and written whole, by UTF-8 paths.
#include "tools/render/wav_file.h"

#include "tools/render/host/utf8_path.h"
#include "tools/render/wave_codec.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace ostrel::render
{

bool ReadAudioFile(const std::string& path, AudioData& audio, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::exists(host::Utf8Path(path), ec))
    {
        error = "cannot read '" + path + "': no such file";
        return false;
    }
    std::ifstream file(host::Utf8Path(path), std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    if (!file && !file.eof())
    {
        error = "cannot read '" + path + "'";
        return false;
    }
    std::string why;
    if (!DecodeWave(bytes, audio, why))
    {
        error = "cannot read '" + path + "': " + why;
        return false;
    }
    for (auto& channel : audio.channels)
        for (double& v : channel)
            if (!std::isfinite(v))
                v = 0.0;
    return true;
}

bool WriteWavFile(const std::string& path, const AudioData& audio, std::string& error)
{
    const std::vector<unsigned char> bytes = EncodeWave(audio, WaveSampleFormat::Float32);
    std::ofstream file(host::Utf8Path(path), std::ios::binary | std::ios::trunc);
    if (!file)
    {
        error = "cannot write '" + path + "'";
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
    {
        error = "writing '" + path + "' failed";
        return false;
    }
    return true;
}

} // namespace ostrel::render
