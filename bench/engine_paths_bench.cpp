// Cost of one processChunk per path at 48 kHz, stereo, 512-sample blocks:
// the settled Off pass-through, the release path while dips glide back (its
// spectral frames included), and the Source path with its measurement and
// publication. Reported as nanoseconds per sample.
#include "engine/spectral_engine.h"
#include "tests/engine/bell_stage_probe.h"
#include "tests/engine/engine_parts_probe.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace
{

using ostrel::SpectralEngine;

constexpr int kBlock = 512;

struct Fixture
{
    std::unique_ptr<SpectralEngine> engine = std::make_unique<SpectralEngine>();
    std::vector<double> in0, in1, out0, out1;

    explicit Fixture(int role, int channelIndex)
    {
        engine->resetEngine(48000.0);
        engine->settings().role = role;
        engine->settings().channelIndex = channelIndex;
        uint32_t x = 12345;
        for (auto* v : {&in0, &in1})
        {
            v->resize(kBlock);
            for (double& s : *v)
            {
                x = x * 1664525u + 1013904223u;
                s = (static_cast<double>(x) / 4294967296.0 - 0.5) * 0.5;
            }
        }
        out0.assign(kBlock, 0.0);
        out1.assign(kBlock, 0.0);
    }

    void chunk(int64_t pos)
    {
        engine->processChunk(in0.data(), in1.data(), out0.data(), out1.data(), kBlock, pos, true,
                             nullptr, nullptr);
    }
};

void reportPerSample(benchmark::State& state)
{
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::OneK::kIs1000);
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_ChunkOffSettled(benchmark::State& state)
{
    Fixture f(ostrel::kRoleOff, 60);
    f.chunk(0); // the first chunk performs the role-change reset
    int64_t pos = kBlock;
    for (auto _ : state)
    {
        f.chunk(pos);
        pos += kBlock;
        benchmark::DoNotOptimize(f.out0.data());
    }
    reportPerSample(state);
}
BENCHMARK(BM_ChunkOffSettled);

void BM_ChunkReleasing(benchmark::State& state)
{
    Fixture f(ostrel::kRoleOff, 61);
    int64_t pos = 0;
    for (auto _ : state)
    {
        // Keep the glide going: every band and bell still has a dip to release.
        ostrel::EnginePartsProbe::holdBandDips(*f.engine, 0.5);
        for (int b = 0; b < ostrel::kBellCount; ++b)
        {
            ostrel::DynamicBell& bell =
                ostrel::BellStageProbe::bell(ostrel::EnginePartsProbe::bellStage(*f.engine), b);
            bell.bellGain0 = bell.bellGain1 = 0.5;
        }
        f.chunk(pos);
        pos += kBlock;
        benchmark::DoNotOptimize(f.out0.data());
    }
    reportPerSample(state);
}
BENCHMARK(BM_ChunkReleasing);

void BM_ChunkSource(benchmark::State& state)
{
    Fixture f(ostrel::kRoleSource, 62);
    int64_t pos = 0;
    for (auto _ : state)
    {
        f.chunk(pos);
        pos += kBlock;
        benchmark::DoNotOptimize(f.out0.data());
    }
    reportPerSample(state);
}
BENCHMARK(BM_ChunkSource);

} // namespace
