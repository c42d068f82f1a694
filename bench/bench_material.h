// Test material and the yardstick shared by the benchmarks: seeded noise, a
// dense harmonic source, Self's worst case, and the reference bank of 72
// biquads that the engine's paths are measured against.
#pragma once

#include "engine/band_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

namespace ostrel_bench
{

inline constexpr double kBenchRate = 48000.0;

inline std::vector<double> noise(size_t length, uint32_t seed, double amplitude)
{
    std::vector<double> s(length);
    uint32_t x = seed;
    for (double& v : s)
    {
        x = x * 1664525u + 1013904223u;
        v = (static_cast<double>(x) / 4294967296.0 - 0.5) * 2.0 * amplitude;
    }
    return s;
}

// A source that sits under a masker in most bands: a harmonic every 110 Hz
// up to 16 kHz with a falling tilt.
inline std::vector<double> harmonicSource(size_t length, double amplitude)
{
    std::vector<double> s(length, 0.0);
    for (int h = 1; h * 110.0 < 16000.0; ++h)
    {
        const double a = amplitude / std::sqrt(static_cast<double>(h));
        const double w = 2.0 * 3.141592653589793 * 110.0 * h / kBenchRate;
        for (size_t t = 0; t < s.size(); ++t)
            s[t] += a * std::sin(w * static_cast<double>(t) + h);
    }
    return s;
}

// Self's worst case: noise with a strong tone at the centre of every third
// band, the set moving on every 0.25 s, so many bands stand out or release.
inline std::vector<double> selfInput(size_t length, uint32_t seed)
{
    std::vector<double> s = noise(length, seed, 0.05);
    double edges[ostrel::kEdgeCount];
    ostrel::computeBandEdges(edges);
    const size_t segment = static_cast<size_t>(kBenchRate / 4);
    for (size_t t = 0; t < s.size(); ++t)
    {
        const int offset = static_cast<int>((t / segment) % 3);
        for (int k = offset; k < ostrel::kBandCount; k += 3)
        {
            const double hz = std::min(ostrel::bandCentreHz(edges, k), 0.45 * kBenchRate);
            s[t] +=
                0.05 * std::sin(2.0 * 3.141592653589793 * hz * static_cast<double>(t) / kBenchRate);
        }
    }
    return s;
}

// CPU time of this thread: on a busy machine wall time would also count the
// moments the thread was not running.
inline double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The yardstick: a bare bank of 72 band-pass biquads per stereo sample (24
// per channel plus 24 on the output), transposed direct form II in doubles,
// structure of arrays, nothing else.
struct ReferenceBank
{
    static constexpr int kBands = 24;
    static constexpr int kFilters = 3 * kBands; // left, right, output

    alignas(64) double b0[kFilters], b2[kFilters], a1[kFilters], a2[kFilters];
    alignas(64) double s1[kFilters] = {}, s2[kFilters] = {};

    ReferenceBank()
    {
        for (int i = 0; i < kFilters; ++i)
        {
            // Constant-peak band-passes spread over the audible range.
            const double hz = 30.0 * std::pow(600.0, (i % kBands + 0.5) / kBands);
            const double w = 2.0 * 3.141592653589793 * hz / kBenchRate;
            const double alpha = std::sin(w) / (2.0 * 2.0);
            const double a0 = 1.0 + alpha;
            b0[i] = alpha / a0;
            b2[i] = -alpha / a0;
            a1[i] = -2.0 * std::cos(w) / a0;
            a2[i] = (1.0 - alpha) / a0;
        }
    }

    // One stereo sample: each channel through its 24 filters, their sum
    // through the 24 output filters. b1 of a band-pass is 0.
    double step(double left, double right)
    {
        double x[kFilters];
        for (int i = 0; i < kBands; ++i)
        {
            x[i] = left;
            x[kBands + i] = right;
        }
        double mid = 0.0;
        for (int i = 0; i < 2 * kBands; ++i)
        {
            const double y = b0[i] * x[i] + s1[i];
            s1[i] = s2[i] - a1[i] * y;
            s2[i] = b2[i] * x[i] - a2[i] * y;
            mid += y;
        }
        double out = 0.0;
        for (int i = 2 * kBands; i < kFilters; ++i)
        {
            const double y = b0[i] * mid + s1[i];
            s1[i] = s2[i] - a1[i] * y;
            s2[i] = b2[i] * mid - a2[i] * y;
            out += y;
        }
        return out;
    }

    void run(const double* left, const double* right, double* out, int n)
    {
        for (int t = 0; t < n; ++t)
            out[t] = step(left[t], right[t]);
    }
};

} // namespace ostrel_bench
