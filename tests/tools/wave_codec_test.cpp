// The WAVE reader and writer of the Windows build: every format round-trips
// exactly for the values it can hold, and damaged or foreign files are
// refused with a message that says what is wrong, never read past their end.
#include "tools/render/wave_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace
{

using ostrel::render::AudioData;
using ostrel::render::DecodeWave;
using ostrel::render::EncodeWave;
using ostrel::render::WaveSampleFormat;

struct FormatCase
{
    const char* name;
    WaveSampleFormat format;
    int bits;
    bool floating;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

const FormatCase kFormats[] = {
    {"Pcm8", WaveSampleFormat::Pcm8, 8, false},
    {"Pcm16", WaveSampleFormat::Pcm16, 16, false},
    {"Pcm24", WaveSampleFormat::Pcm24, 24, false},
    {"Pcm32", WaveSampleFormat::Pcm32, 32, false},
    {"Float32", WaveSampleFormat::Float32, 32, true},
    {"Float64", WaveSampleFormat::Float64, 64, true},
};

// Values the format holds exactly: steps of its grid for PCM (full scale
// negative included), awkward fractions for float.
AudioData Exact(const FormatCase& f, int channels, int frames)
{
    AudioData a;
    a.sampleRate = 44100;
    a.channels.assign(static_cast<size_t>(channels),
                      std::vector<double>(static_cast<size_t>(frames)));
    const double step = f.floating ? 0.0 : std::ldexp(1.0, 1 - f.bits);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
        {
            double v = std::sin(0.37 * i + c) * 0.99;
            if (f.floating)
                v = f.bits == 32 ? static_cast<float>(v / 3.0) : v / 3.0;
            else
                v = std::nearbyint(v / step) * step;
            a.channels[static_cast<size_t>(c)][static_cast<size_t>(i)] = v;
        }
    if (!f.floating)
        a.channels[0][0] = -1.0;
    return a;
}

class WaveRoundTrip : public ::testing::TestWithParam<std::tuple<FormatCase, int>>
{
};

TEST_P(WaveRoundTrip, DecodesWhatWasEncoded)
{
    const auto& [format, channels] = GetParam();
    // An odd frame count, so 8- and 24-bit mono data needs a pad byte.
    const AudioData in = Exact(format, channels, 101);
    const auto bytes = EncodeWave(in, format.format);
    EXPECT_EQ(bytes.size() % 2, 0u);
    AudioData out;
    std::string error;
    ASSERT_TRUE(DecodeWave(bytes, out, error)) << error;
    EXPECT_EQ(out.sampleRate, 44100);
    ASSERT_EQ(out.NumChannels(), channels);
    ASSERT_EQ(out.NumFrames(), 101);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 101; ++i)
            ASSERT_EQ(out.channels[static_cast<size_t>(c)][static_cast<size_t>(i)],
                      in.channels[static_cast<size_t>(c)][static_cast<size_t>(i)])
                << "channel " << c << " frame " << i;
}

INSTANTIATE_TEST_SUITE_P(FormatsAndChannels, WaveRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::Values(1, 2, 6)),
                         [](const auto& info)
                         {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "ch";
                         });

TEST(WaveEncoding, PcmIsRoundedAndClippedToItsRange)
{
    AudioData a;
    a.sampleRate = 48000;
    a.channels = {{1.0, -1.5, 2.0 / 65536.0 * 1.4, NAN}};
    AudioData out;
    std::string error;
    ASSERT_TRUE(DecodeWave(EncodeWave(a, WaveSampleFormat::Pcm16), out, error)) << error;
    EXPECT_EQ(out.channels[0][0], 32767.0 / 32768.0);
    EXPECT_EQ(out.channels[0][1], -1.0);
    EXPECT_EQ(out.channels[0][2], 1.0 / 32768.0);
    EXPECT_EQ(out.channels[0][3], 0.0);
}

// A valid stereo 16-bit file with a LIST chunk of odd size (and its pad
// byte) between the format and the data, to damage in the cases below.
std::vector<unsigned char> ValidFile()
{
    AudioData a;
    a.sampleRate = 48000;
    a.channels = {{0.5, -0.25, 0.125}, {0.0, 0.75, -0.5}};
    auto bytes = EncodeWave(a, WaveSampleFormat::Pcm16);
    const std::vector<unsigned char> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list.begin(), list.end());
    const auto riff = static_cast<uint32_t>(bytes.size() - 8);
    std::memcpy(bytes.data() + 4, &riff, 4);
    return bytes;
}

constexpr size_t kFormatBody = 20; // after "RIFF" size "WAVE" "fmt " size
constexpr size_t kListChunk = 36;
constexpr size_t kDataChunk = 48;

void Put16(std::vector<unsigned char>& b, size_t at, uint16_t v)
{
    std::memcpy(b.data() + at, &v, 2);
}
void Put32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}

struct DamageCase
{
    const char* name;
    std::function<void(std::vector<unsigned char>&)> damage;
    const char* message; // nullptr: still readable
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

const DamageCase kDamage[] = {
    {"Empty", [](auto& b) { b.clear(); }, "not a RIFF/WAVE file"},
    {"NotRiff", [](auto& b) { b[0] = 'X'; }, "not a RIFF/WAVE file"},
    {"NotWave", [](auto& b) { b[8] = 'A'; }, "not a RIFF/WAVE file"},
    {"CutInFormat", [](auto& b) { b.resize(30); }, "'fmt ' chunk runs past the end"},
    {"CutInData", [](auto& b) { b.resize(b.size() - 5); }, "cut short (1 of 3 frames readable)"},
    {"HugeDataSize", [](auto& b) { Put32(b, kDataChunk + 4, 0xFFFFFFF0u); },
     "cut short (3 of 1073741820 frames readable)"},
    {"HugeChunkSize", [](auto& b) { Put32(b, kListChunk + 4, 0x7FFFFFFFu); },
     "'LIST' chunk runs past the end"},
    {"NoFormat", [](auto& b) { std::memcpy(b.data() + 12, "junk", 4); },
     "data comes before any format chunk"},
    {"NoData", [](auto& b) { std::memcpy(b.data() + kDataChunk, "junk", 4); },
     "holds no data chunk"},
    {"ShortFormat", [](auto& b) { Put32(b, 16, 14); }, "format chunk is too short"},
    {"NoChannels", [](auto& b) { Put16(b, kFormatBody + 2, 0); }, "gives 0 channels"},
    {"NoRate", [](auto& b) { Put32(b, kFormatBody + 4, 0); }, "at 0 Hz"},
    {"TwelveBits", [](auto& b) { Put16(b, kFormatBody + 14, 12); }, "is not PCM of 8, 16"},
    {"SixteenBitFloat", [](auto& b) { Put16(b, kFormatBody, 3); }, "(tag 3, 16 bits)"},
    {"Compressed", [](auto& b) { Put16(b, kFormatBody, 2); }, "(tag 2, 16 bits)"},
    {"WrongFrameSize", [](auto& b) { Put16(b, kFormatBody + 12, 6); },
     "frame size (6 bytes) does not match 2 channels of 16 bits"},
    {"ExtensibleWithoutSubformat", [](auto& b) { Put16(b, kFormatBody, 0xFFFE); },
     "names no PCM or float subformat"},
    // Writers that never finished leave the RIFF size at zero or at its
    // largest; what the file holds is still read.
    {"RiffSizeZero", [](auto& b) { Put32(b, 4, 0); }, nullptr},
    {"RiffSizeHuge", [](auto& b) { Put32(b, 4, 0xFFFFFFFFu); }, nullptr},
    {"TrailingGarbage",
     [](auto& b) {
         b.insert(b.end(), {'x', 'y', 'z'});
     },
     nullptr},
};

class WaveDamage : public ::testing::TestWithParam<DamageCase>
{
};

TEST_P(WaveDamage, IsRefusedWithAMessageOrReadWhole)
{
    auto bytes = ValidFile();
    GetParam().damage(bytes);
    AudioData out;
    std::string error;
    const bool read = DecodeWave(bytes, out, error);
    if (GetParam().message == nullptr)
    {
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(out.NumChannels(), 2);
        ASSERT_EQ(out.NumFrames(), 3);
        EXPECT_EQ(out.channels[1][1], 0.75);
        return;
    }
    EXPECT_FALSE(read);
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, WaveDamage, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// Every cut of a file, in every format, is either refused with a message or
// (a cut in a trailing pad byte) read whole; under the sanitizers this also
// proves no read goes past the end.
TEST(WaveDamage, EveryCutOfEveryFormatIsHandled)
{
    for (const auto& f : kFormats)
    {
        const auto whole = EncodeWave(Exact(f, 3, 5), f.format);
        for (size_t length = 0; length < whole.size(); ++length)
        {
            const std::vector<unsigned char> cut(whole.begin(),
                                                 whole.begin() + static_cast<long>(length));
            AudioData out;
            std::string error;
            if (DecodeWave(cut, out, error))
                EXPECT_EQ(out.NumFrames(), 5) << f.name << " cut to " << length;
            else
                EXPECT_FALSE(error.empty()) << f.name << " cut to " << length;
        }
    }
}

} // namespace
