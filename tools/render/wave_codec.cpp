#include "tools/render/wave_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace ostrel::render
{

namespace
{

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The GUID of an extensible format chunk's subformat after its first two
// bytes, which hold the plain format tag.
constexpr unsigned char kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint32_t read16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t read32(const unsigned char* p)
{
    return read16(p) | read16(p + 2) << 16;
}

bool isId(const unsigned char* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

std::string chunkName(const unsigned char* p)
{
    std::string name;
    for (int i = 0; i < 4; ++i)
        name += p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?';
    return name;
}

struct Format
{
    uint16_t tag = 0;
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t blockAlign = 0;
    uint32_t bits = 0;
};

bool readFormat(const unsigned char* body, uint32_t size, Format& format, std::string& error)
{
    if (size < 16)
    {
        error = "its format chunk is too short (" + std::to_string(size) + " bytes)";
        return false;
    }
    format.tag = static_cast<uint16_t>(read16(body));
    format.channels = read16(body + 2);
    format.sampleRate = read32(body + 4);
    format.blockAlign = read16(body + 12);
    format.bits = read16(body + 14);
    if (format.tag == kFormatExtensible)
    {
        if (size < 40 || std::memcmp(body + 26, kSubformatTail, sizeof kSubformatTail) != 0)
        {
            error = "its extensible format chunk names no PCM or float subformat";
            return false;
        }
        format.tag = static_cast<uint16_t>(read16(body + 24));
    }
    const bool pcm = format.tag == kFormatPcm && (format.bits == 8 || format.bits == 16 ||
                                                  format.bits == 24 || format.bits == 32);
    const bool floating = format.tag == kFormatFloat && (format.bits == 32 || format.bits == 64);
    if (!pcm && !floating)
    {
        error = "its sample format (tag " + std::to_string(format.tag) + ", " +
                std::to_string(format.bits) +
                " bits) is not PCM of 8, 16, 24 or 32 bits or float of 32 or 64 bits";
        return false;
    }
    if (format.channels == 0 || format.sampleRate == 0)
    {
        error = "its format chunk gives " + std::to_string(format.channels) + " channels at " +
                std::to_string(format.sampleRate) + " Hz";
        return false;
    }
    if (format.blockAlign != format.channels * (format.bits / 8))
    {
        error = "its frame size (" + std::to_string(format.blockAlign) + " bytes) does not match " +
                std::to_string(format.channels) + " channels of " + std::to_string(format.bits) +
                " bits";
        return false;
    }
    return true;
}

double readSample(const unsigned char* p, const Format& format)
{
    if (format.tag == kFormatFloat)
    {
        if (format.bits == 32)
        {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
        double v;
        std::memcpy(&v, p, 8);
        return v;
    }
    switch (format.bits)
    {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0;
    case 16:
        return static_cast<int16_t>(read16(p)) / 32768.0;
    case 24:
        // In the top three bytes of a 32-bit word, which carries the sign.
        return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                    static_cast<uint32_t>(p[1]) << 16 |
                                    static_cast<uint32_t>(p[2]) << 24) /
               2147483648.0;
    default:
        return static_cast<int32_t>(read32(p)) / 2147483648.0;
    }
}

void put16(std::vector<unsigned char>& out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putId(std::vector<unsigned char>& out, const char* id)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(id[i]));
}

// Rounded to the nearest step and clipped to the format's range.
int64_t quantise(double v, uint32_t bits)
{
    const double scale = std::ldexp(1.0, static_cast<int>(bits) - 1);
    const double q = std::nearbyint((std::isfinite(v) ? v : 0.0) * scale);
    return static_cast<int64_t>(std::clamp(q, -scale, scale - 1.0));
}

void putSample(std::vector<unsigned char>& out, double v, WaveSampleFormat format)
{
    switch (format)
    {
    case WaveSampleFormat::Pcm8:
        out.push_back(static_cast<unsigned char>(quantise(v, 8) + 128));
        return;
    case WaveSampleFormat::Pcm16:
        put16(out, static_cast<uint32_t>(quantise(v, 16)) & 0xFFFF);
        return;
    case WaveSampleFormat::Pcm24:
    {
        const auto q = static_cast<uint32_t>(quantise(v, 24));
        put16(out, q & 0xFFFF);
        out.push_back(static_cast<unsigned char>(q >> 16));
        return;
    }
    case WaveSampleFormat::Pcm32:
        put32(out, static_cast<uint32_t>(quantise(v, 32)));
        return;
    case WaveSampleFormat::Float32:
    {
        const auto f = static_cast<float>(v);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(out, bits);
        return;
    }
    case WaveSampleFormat::Float64:
    {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        put32(out, static_cast<uint32_t>(bits));
        put32(out, static_cast<uint32_t>(bits >> 32));
        return;
    }
    }
}

} // namespace

bool DecodeWave(const std::vector<unsigned char>& bytes, AudioData& audio, std::string& error)
{
    if (bytes.size() < 12 || !isId(bytes.data(), "RIFF") || !isId(bytes.data() + 8, "WAVE"))
    {
        error = "not a RIFF/WAVE file";
        return false;
    }
    // A RIFF size past the end (or a placeholder left by a writer that never
    // finished) is taken as the end of the file; a smaller one ends the chunks.
    const uint64_t riffEnd = 8 + static_cast<uint64_t>(read32(bytes.data() + 4));
    const uint64_t end = std::min<uint64_t>(riffEnd < 12 ? bytes.size() : riffEnd, bytes.size());
    Format format;
    bool haveFormat = false;
    uint64_t pos = 12;
    while (pos + 8 <= end)
    {
        const unsigned char* header = bytes.data() + pos;
        const uint32_t size = read32(header + 4);
        const uint64_t body = pos + 8;
        if (isId(header, "data"))
        {
            if (!haveFormat)
            {
                error = "its data comes before any format chunk";
                return false;
            }
            const uint64_t frames = size / format.blockAlign;
            const uint64_t readable = (end - body) / format.blockAlign;
            if (frames > readable)
            {
                error = "it is cut short (" + std::to_string(readable) + " of " +
                        std::to_string(frames) + " frames readable)";
                return false;
            }
            const uint32_t width = format.bits / 8;
            audio.sampleRate = format.sampleRate;
            audio.channels.assign(format.channels, std::vector<double>(frames));
            for (uint64_t f = 0; f < frames; ++f)
                for (uint32_t c = 0; c < format.channels; ++c)
                    audio.channels[c][f] =
                        readSample(bytes.data() + body + f * format.blockAlign + c * width, format);
            return true;
        }
        if (size > end - body)
        {
            error = "its '" + chunkName(header) + "' chunk runs past the end of the file";
            return false;
        }
        if (isId(header, "fmt "))
        {
            if (!readFormat(bytes.data() + body, size, format, error))
                return false;
            haveFormat = true;
        }
        // Chunks of an odd size are followed by a pad byte.
        pos = body + size + (size & 1u);
    }
    error = haveFormat ? "it holds no data chunk" : "it holds no format chunk";
    return false;
}

std::vector<unsigned char> EncodeWave(const AudioData& audio, WaveSampleFormat format)
{
    uint32_t bits = 0;
    bool floating = false;
    switch (format)
    {
    case WaveSampleFormat::Pcm8:
        bits = 8;
        break;
    case WaveSampleFormat::Pcm16:
        bits = 16;
        break;
    case WaveSampleFormat::Pcm24:
        bits = 24;
        break;
    case WaveSampleFormat::Pcm32:
        bits = 32;
        break;
    case WaveSampleFormat::Float32:
        bits = 32;
        floating = true;
        break;
    case WaveSampleFormat::Float64:
        bits = 64;
        floating = true;
        break;
    }
    const auto channels = static_cast<uint32_t>(audio.NumChannels());
    const auto frames = static_cast<uint32_t>(audio.NumFrames());
    const uint32_t blockAlign = channels * (bits / 8);
    const uint32_t dataSize = frames * blockAlign;
    const bool extensible = channels > 2;
    const uint16_t tag = floating ? kFormatFloat : kFormatPcm;
    const uint32_t formatSize = extensible ? 40 : floating ? 18 : 16;

    std::vector<unsigned char> out;
    out.reserve(64 + dataSize);
    putId(out, "RIFF");
    put32(out, 0); // filled in below
    putId(out, "WAVE");
    putId(out, "fmt ");
    put32(out, formatSize);
    put16(out, extensible ? kFormatExtensible : tag);
    put16(out, channels);
    put32(out, static_cast<uint32_t>(audio.sampleRate));
    put32(out, static_cast<uint32_t>(audio.sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, bits);
    if (formatSize > 16)
        put16(out, formatSize - 18);
    if (extensible)
    {
        put16(out, bits); // valid bits
        put32(out, 0);    // no speaker positions
        put16(out, tag);
        for (unsigned char b : kSubformatTail)
            out.push_back(b);
    }
    if (floating)
    {
        putId(out, "fact");
        put32(out, 4);
        put32(out, frames);
    }
    putId(out, "data");
    put32(out, dataSize);
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t c = 0; c < channels; ++c)
            putSample(out, audio.channels[c][f], format);
    if (dataSize & 1u)
        out.push_back(0);
    const auto riffSize = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + static_cast<size_t>(i)] = static_cast<unsigned char>(riffSize >> (8 * i));
    return out;
}

} // namespace ostrel::render
