// The yardstick the engine's paths are measured against, in the same binary
// so that the machine's speed cancels out of the ratios: a bare bank of 72
// band-pass biquads per stereo sample (24 per channel plus 24 on the output),
// transposed direct form II in doubles, structure of arrays, nothing else.
// Reported as nanoseconds per stereo sample at 512- and 64-frame blocks.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

constexpr int kBands = 24;
constexpr int kFilters = 3 * kBands; // left, right, output
constexpr double kRate = 48000.0;

struct Bank
{
    alignas(64) double b0[kFilters], b2[kFilters], a1[kFilters], a2[kFilters];
    alignas(64) double s1[kFilters] = {}, s2[kFilters] = {};

    Bank()
    {
        for (int i = 0; i < kFilters; ++i)
        {
            // Constant-peak band-passes spread over the audible range.
            const double hz = 30.0 * std::pow(600.0, (i % kBands + 0.5) / kBands);
            const double w = 2.0 * 3.141592653589793 * hz / kRate;
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
};

void BM_ReferenceBiquadBank(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    Bank bank;
    std::vector<double> left(static_cast<size_t>(block)), right(left.size()), out(left.size());
    uint32_t seed = 1;
    for (size_t t = 0; t < left.size(); ++t)
    {
        seed = seed * 1664525u + 1013904223u;
        left[t] = static_cast<double>(seed) / 4294967296.0 - 0.5;
        right[t] = -left[t];
    }
    for (auto _ : state)
    {
        for (int t = 0; t < block; ++t)
            out[static_cast<size_t>(t)] =
                bank.step(left[static_cast<size_t>(t)], right[static_cast<size_t>(t)]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * block,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReferenceBiquadBank)->Arg(512)->Arg(64);

} // namespace
