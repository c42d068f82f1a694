// Helpers for the engine tests: a heap-allocated engine, signal generators and
// a driver that feeds whole signals through processBlock in host blocks of
// given sizes.
#pragma once

#include "engine/block_driver.h"
#include "engine/spectral_engine.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

namespace ostrel::testing
{

inline std::unique_ptr<SpectralEngine> makeEngine(double sampleRate = 48000.0)
{
    auto engine = std::make_unique<SpectralEngine>();
    engine->resetEngine(sampleRate);
    return engine;
}

inline std::vector<double> sine(double hz, double sampleRate, int n, double amplitude = 0.5,
                                double phase = 0.0)
{
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i)
        s[i] = amplitude * std::sin(2.0 * std::numbers::pi * hz * i / sampleRate + phase);
    return s;
}

// Deterministic white noise in -amplitude..amplitude.
inline std::vector<double> noise(int n, uint32_t seed, double amplitude = 0.5)
{
    std::vector<double> s(n);
    uint32_t x = seed ? seed : 1;
    for (int i = 0; i < n; ++i)
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = amplitude * (static_cast<double>(x) / 4294967295.0 * 2.0 - 1.0);
    }
    return s;
}

struct StereoOut
{
    std::vector<double> left, right;
};

// Feeds left/right through processBlock in blocks whose sizes cycle through
// blockSizes; the host position starts at startPos and advances by each block.
inline StereoOut runStereo(SpectralEngine& engine, const std::vector<double>& left,
                           const std::vector<double>& right, const std::vector<int>& blockSizes,
                           double startPos = 0.0)
{
    StereoOut out;
    out.left.assign(left.size(), 0.0);
    out.right.assign(right.size(), 0.0);
    std::vector<double> inL = left;
    std::vector<double> inR = right;
    std::vector<double> scratch;
    const int total = static_cast<int>(left.size());
    int done = 0;
    size_t which = 0;
    while (done < total)
    {
        const int n = std::min(blockSizes[which++ % blockSizes.size()], total - done);
        double* ins[2] = {inL.data() + done, inR.data() + done};
        double* outs[2] = {out.left.data() + done, out.right.data() + done};
        const bool connected[2] = {true, true};
        ChannelList inputs{ins, connected, 2};
        ChannelList outputs{outs, connected, 2};
        HostTransport transport{startPos + done, true};
        processBlock(engine, inputs, outputs, 2, transport, n, scratch);
        done += n;
    }
    return out;
}

// The same through a mono main bus (one input, one output channel).
inline std::vector<double> runMono(SpectralEngine& engine, const std::vector<double>& in,
                                   const std::vector<int>& blockSizes, std::vector<double>& scratch)
{
    std::vector<double> out(in.size(), 0.0);
    std::vector<double> input = in;
    const int total = static_cast<int>(in.size());
    int done = 0;
    size_t which = 0;
    while (done < total)
    {
        const int n = std::min(blockSizes[which++ % blockSizes.size()], total - done);
        double* ins[1] = {input.data() + done};
        double* outs[1] = {out.data() + done};
        const bool connected[1] = {true};
        ChannelList inputs{ins, connected, 1};
        ChannelList outputs{outs, connected, 1};
        processBlock(engine, inputs, outputs, 2, HostTransport{double(done), true}, n, scratch);
        done += n;
    }
    return out;
}

// Amplitude of the component at hz over samples [from, to) (single-bin DFT).
inline double toneAmplitude(const std::vector<double>& s, double hz, double sampleRate, int from,
                            int to)
{
    double re = 0.0, im = 0.0;
    for (int i = from; i < to; ++i)
    {
        const double a = 2.0 * std::numbers::pi * hz * i / sampleRate;
        re += s[i] * std::cos(a);
        im += s[i] * std::sin(a);
    }
    return 2.0 * std::sqrt(re * re + im * im) / (to - from);
}

// RMS level of s[from, to).
inline double rms(const std::vector<double>& s, int from, int to)
{
    double sum = 0.0;
    for (int t = from; t < to; ++t)
        sum += s[t] * s[t];
    return std::sqrt(sum / (to - from));
}

inline double dB(double ratio)
{
    return 20.0 * std::log10(ratio);
}

// A channel index per test that uses the registry, so tests never share a slot.
inline int uniqueChannelIndex()
{
    static int next = 40;
    return next++ & 63;
}

} // namespace ostrel::testing
