// Cost of the Masker and Self paths at 48 kHz, stereo, 512-sample blocks, in
// the worst case: a live Source that publishes every block, the gains shared
// with it worked out every period, and dips active in most bands (broadband material on
// both sides; for Self, tones standing out in many bands), with the four
// bells active. Only the dipping instance's chunk
// is timed (thread CPU time). Reported as nanoseconds per sample and as the real-time factor
// (how many times faster than the audio plays).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

#include "engine/spectral_engine.h"
#include "link/monotonic_clock.h"

#include "bench_material.h"

namespace
{

using namespace ostrel;
using namespace ostrel_bench;

constexpr int kBlock = 512;
constexpr double kRate = kBenchRate;
constexpr int kSignalBlocks = 400; // about 4 s, looped
constexpr size_t kSignalLength = static_cast<size_t>(kSignalBlocks) * kBlock;

struct Rig
{
    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::unique_ptr<SpectralEngine> source;
    std::unique_ptr<SpectralEngine> dipper;
    std::vector<double> src0, src1, in0, in1, out0, out1;

    static std::unique_ptr<SpectralEngine> engineOn(PeerRegistry& registry, int role)
    {
        auto e = std::make_unique<SpectralEngine>();
        e->adoptRegistry(registry);
        e->settings().role = role;
        e->settings().channelIndex = 7;
        e->settings().setDepth(DepthDb{-48.0f, -36.0f}); // Depth 100 %
        e->settings().selectivity = 3.0f;
        for (int b = 0; b < kBellCount; ++b)
        {
            e->settings().bellActive[b] = 1;
            e->settings().bellDepthPercent[b] = 100.0f;
            e->settings().bellFreqHz[b] = 250.0f * (1 << (2 * b));
        }
        e->resetEngine(kRate);
        return e;
    }

    explicit Rig(int role)
    {
        source = engineOn(*registry, kRoleSource);
        dipper = engineOn(*registry, role);
        src0 = src1 = harmonicSource(kSignalLength, 0.02);
        in0 = role == kRoleSelf ? selfInput(kSignalLength, 11) : noise(kSignalLength, 11, 0.5);
        in1 = role == kRoleSelf ? selfInput(kSignalLength, 12) : noise(kSignalLength, 12, 0.5);
        out0.assign(in0.size(), 0.0);
        out1.assign(in1.size(), 0.0);
        // Warm up: envelopes, statistics and gates reach their working state.
        for (int i = 0; i < 200; ++i)
            step(i, nullptr);
    }

    // One block of both instances; returns the dipping chunk's time in seconds
    // through `seconds` when given.
    void step(int64_t index, double* seconds)
    {
        const size_t at = static_cast<size_t>(index % kSignalBlocks) * kBlock;
        const int64_t pos = index * kBlock;
        source->processChunk(src0.data() + at, src1.data() + at, out0.data() + at, out1.data() + at,
                             kBlock, pos, true, nullptr, nullptr);
        const double start = threadSeconds();
        dipper->processChunk(in0.data() + at, in1.data() + at, out0.data() + at, out1.data() + at,
                             kBlock, pos, true, nullptr, nullptr);
        const double end = threadSeconds();
        if (seconds != nullptr)
            *seconds = end - start;
    }

    int dippedBands() const
    {
        int dipped = 0;
        for (int k = 0; k < kBandCount; ++k)
            dipped += dipper->meters().dipDb[k] < -0.5f ? 1 : 0;
        return dipped;
    }
};

void runPath(benchmark::State& state, int role)
{
    Rig rig(role);
    int64_t index = 200;
    double total = 0.0;
    double dipped = 0.0;
    for (auto _ : state)
    {
        double seconds = 0.0;
        rig.step(index++, &seconds);
        state.SetIterationTime(seconds);
        total += seconds;
        dipped += rig.dippedBands();
        benchmark::DoNotOptimize(rig.out0.data());
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ns_per_sample"] = total / iterations / kBlock * 1e9;
    state.counters["realtime_factor"] = (kBlock / kRate) / (total / iterations);
    state.counters["dipped_bands"] = dipped / iterations;
}

void BM_MaskerPathLiveSource(benchmark::State& state)
{
    runPath(state, kRoleMasker);
}
BENCHMARK(BM_MaskerPathLiveSource)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SelfPath(benchmark::State& state)
{
    runPath(state, kRoleSelf);
}
BENCHMARK(BM_SelfPath)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
