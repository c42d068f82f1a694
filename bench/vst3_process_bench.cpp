// Cost of the VST 3 binding's process call for one 512-sample stereo block at
// 48 kHz: with the host's bypass on (the binding, sample conversion and the
// bypass delay only), with the plug-in Off (the engine's settled pass-through
// behind the binding), in 32-bit and 64-bit samples, and with a block that
// carries a change for every parameter. Reported as nanoseconds per sample.
#include "vst3_bench_rig.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{

using namespace ostrel_bench;

void reportPerSample(benchmark::State& state)
{
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::OneK::kIs1000);
}

void BM_Vst3ProcessHostBypass(benchmark::State& state)
{
    Rig rig(state.range(0) == 64, true);
    for (auto _ : state)
    {
        rig.Block();
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}
BENCHMARK(BM_Vst3ProcessHostBypass)->Arg(32)->Arg(64);

void BM_Vst3ProcessOff(benchmark::State& state)
{
    Rig rig(state.range(0) == 64, false);
    for (auto _ : state)
    {
        rig.Block();
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}
BENCHMARK(BM_Vst3ProcessOff)->Arg(32)->Arg(64);

// The fixed cost of one call of a settled Off instance in 32-bit samples:
// set up for range(0) frames, called with range(1), as a host that announces
// a larger maximum than it sends. Nanoseconds per call.
void BM_Vst3ProcessOffSettledCall(benchmark::State& state)
{
    Rig rig(false, false, static_cast<int>(state.range(1)), static_cast<int>(state.range(0)));
    for (int i = 0; i < 48000 / rig.block; ++i)
        rig.Block(); // past the engine's latency: settled
    for (auto _ : state)
    {
        rig.Block();
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_call"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_Vst3ProcessOffSettledCall)->Args({64, 64})->Args({1024, 64})->Args({128, 128});

// The same call as a session makes it: 64 settled Off instances called in
// turn, so each finds little of its own state left in the caches.
void BM_Vst3ProcessOffSettledCallInSession(benchmark::State& state)
{
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int i = 0; i < 64; ++i)
        rigs.push_back(std::make_unique<Rig>(false, false, static_cast<int>(state.range(1)),
                                             static_cast<int>(state.range(0))));
    for (int i = 0; i < 48000 / rigs[0]->block; ++i)
        for (auto& rig : rigs)
            rig->Block();
    for (auto _ : state)
    {
        for (auto& rig : rigs)
            rig->Block();
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_call"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(rigs.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
        benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_Vst3ProcessOffSettledCallInSession)->Args({128, 128})->Args({1024, 64});

void BM_Vst3ProcessAllParametersChanging(benchmark::State& state)
{
    Rig rig(false, false);
    Changes changes;
    changes.queues.resize(27);
    for (int i = 0; i < 27; ++i)
    {
        changes.queues[static_cast<size_t>(i)].id = static_cast<Vst::ParamID>(i);
        changes.queues[static_cast<size_t>(i)].points = 8;
    }
    // Role stays Off so that only the binding and the handler are measured.
    changes.queues[0].points = 1;
    changes.queues[0].id = 2; // a second Depth queue instead of Role
    rig.changes = &changes;
    bool odd = false;
    for (auto _ : state)
    {
        // Each block ends on another value, so every change is applied.
        odd = !odd;
        for (Queue& q : changes.queues)
            q.fixed = odd ? 0.3 : 0.35;
        rig.Block();
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}
BENCHMARK(BM_Vst3ProcessAllParametersChanging);

} // namespace
