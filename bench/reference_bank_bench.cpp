// The yardstick alone (bench_material.h): nanoseconds per stereo sample of
// the bare 72-biquad bank at 512- and 64-frame blocks.
#include "bench_material.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

using namespace ostrel_bench;

void BM_ReferenceBiquadBank(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    ReferenceBank bank;
    const std::vector<double> left = noise(static_cast<size_t>(block), 1, 0.5);
    std::vector<double> right(left.size()), out(left.size());
    for (size_t t = 0; t < left.size(); ++t)
        right[t] = -left[t];
    for (auto _ : state)
    {
        bank.run(left.data(), right.data(), out.data(), block);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * block,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReferenceBiquadBank)->Arg(512)->Arg(64);

} // namespace
