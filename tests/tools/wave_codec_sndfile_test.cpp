// The Windows build's WAVE reader and writer against libsndfile, which the
// Linux build uses: each reads the other's files in every format to the
// same samples, so both builds render the same input.
#include "tools/render/wave_codec.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

using ostrel::render::AudioData;
using ostrel::render::WaveSampleFormat;

struct Pairing
{
    const char* name;
    WaveSampleFormat ours;
    int theirs;
};

void PrintTo(const Pairing& p, std::ostream* os)
{
    *os << p.name;
}

const Pairing kPairings[] = {
    {"Pcm8", WaveSampleFormat::Pcm8, SF_FORMAT_PCM_U8},
    {"Pcm16", WaveSampleFormat::Pcm16, SF_FORMAT_PCM_16},
    {"Pcm24", WaveSampleFormat::Pcm24, SF_FORMAT_PCM_24},
    {"Pcm32", WaveSampleFormat::Pcm32, SF_FORMAT_PCM_32},
    {"Float32", WaveSampleFormat::Float32, SF_FORMAT_FLOAT},
    {"Float64", WaveSampleFormat::Float64, SF_FORMAT_DOUBLE},
};

// One file per test case and process: CTest runs the cases side by side.
std::string TempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_');
    return std::string(dir ? dir : "/tmp") + "/ostrel_wave_" + name + "_" + test + "_" +
           std::to_string(getpid()) + ".wav";
}

// A signal the narrowest format cannot hold exactly, so each side's rounding
// shows as well as its scaling.
std::vector<double> Interleaved(int channels, int frames)
{
    std::vector<double> v(static_cast<size_t>(channels * frames));
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = 0.9 * std::sin(0.013 * static_cast<double>(i * i % 9973));
    return v;
}

AudioData ReadWithLibrary(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    AudioData a;
    if (!f)
    {
        ADD_FAILURE() << "libsndfile cannot read " << path << ": " << sf_strerror(nullptr);
        return a;
    }
    std::vector<double> v(static_cast<size_t>(info.frames * info.channels));
    sf_readf_double(f, v.data(), info.frames);
    sf_close(f);
    a.sampleRate = info.samplerate;
    a.channels.assign(static_cast<size_t>(info.channels),
                      std::vector<double>(static_cast<size_t>(info.frames)));
    for (size_t i = 0; i < v.size(); ++i)
        a.channels[i % a.channels.size()][i / a.channels.size()] = v[i];
    return a;
}

class WaveAgainstLibrary : public ::testing::TestWithParam<std::tuple<Pairing, int>>
{
};

TEST_P(WaveAgainstLibrary, OursReadsTheLibrarysFiles)
{
    const auto& [pairing, channels] = GetParam();
    const std::string path = TempPath(std::string("lib_") + pairing.name);
    SF_INFO info{};
    info.samplerate = 96000;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | pairing.theirs;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    const auto samples = Interleaved(channels, 333);
    sf_writef_double(f, samples.data(), 333);
    sf_close(f);

    const AudioData expected = ReadWithLibrary(path);
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    AudioData ours;
    std::string error;
    ASSERT_TRUE(ostrel::render::DecodeWave(bytes, ours, error)) << error;
    EXPECT_EQ(ours.sampleRate, 96000);
    ASSERT_EQ(ours.channels, expected.channels);
}

TEST_P(WaveAgainstLibrary, TheLibraryReadsOurFiles)
{
    const auto& [pairing, channels] = GetParam();
    AudioData ours;
    ours.sampleRate = 22050;
    const auto samples = Interleaved(channels, 333);
    ours.channels.assign(static_cast<size_t>(channels), std::vector<double>(333));
    for (size_t i = 0; i < samples.size(); ++i)
        ours.channels[i % ours.channels.size()][i / ours.channels.size()] = samples[i];
    const auto bytes = ostrel::render::EncodeWave(ours, pairing.ours);
    const std::string path = TempPath(std::string("ours_") + pairing.name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    const AudioData theirs = ReadWithLibrary(path);
    std::remove(path.c_str());
    AudioData decoded;
    std::string error;
    ASSERT_TRUE(ostrel::render::DecodeWave(bytes, decoded, error)) << error;
    EXPECT_EQ(theirs.sampleRate, 22050);
    ASSERT_EQ(theirs.channels, decoded.channels);
}

INSTANTIATE_TEST_SUITE_P(FormatsAndChannels, WaveAgainstLibrary,
                         ::testing::Combine(::testing::ValuesIn(kPairings),
                                            ::testing::Values(1, 2, 5)),
                         [](const auto& info)
                         {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "ch";
                         });

} // namespace
