// Cost of the Masker and Self paths at 48 kHz, stereo, 512-sample blocks, in
// the worst case: a live Source that publishes every block, a coordinator
// pass every idle tick, and dips active in most bands (broadband material on
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

#include "engine/coordinator_pass.h"
#include "engine/spectral_engine.h"
#include "link/monotonic_clock.h"

namespace
{

using namespace ostrel;

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;
constexpr int kSignalBlocks = 400; // about 4 s, looped

std::vector<double> noise(uint32_t seed, double amplitude)
{
    std::vector<double> s(static_cast<size_t>(kSignalBlocks) * kBlock);
    uint32_t x = seed;
    for (double& v : s)
    {
        x = x * 1664525u + 1013904223u;
        v = (static_cast<double>(x) / 4294967296.0 - 0.5) * 2.0 * amplitude;
    }
    return s;
}

// A source that sits under the masker in most bands: a dense harmonic series
// (every 110 Hz up to 16 kHz) with a falling tilt, so the masker's bands stand
// out between the harmonics' neighbourhoods as they move.
std::vector<double> harmonicSource(double amplitude)
{
    std::vector<double> s(static_cast<size_t>(kSignalBlocks) * kBlock, 0.0);
    for (int h = 1; h * 110.0 < 16000.0; ++h)
    {
        const double a = amplitude / std::sqrt(static_cast<double>(h));
        const double w = 2.0 * 3.141592653589793 * 110.0 * h / kRate;
        for (size_t t = 0; t < s.size(); ++t)
            s[t] += a * std::sin(w * static_cast<double>(t) + h);
    }
    return s;
}

// Self's worst case: noise with a strong tone at the centre of every third
// band, the set of bands moving on every 0.25 s, so that at any time many
// bands stand out from their neighbourhood or are still releasing.
std::vector<double> selfInput(uint32_t seed)
{
    std::vector<double> s = noise(seed, 0.05);
    double edges[kEdgeCount];
    computeBandEdges(edges);
    const size_t segment = static_cast<size_t>(kRate / 4);
    for (size_t t = 0; t < s.size(); ++t)
    {
        const int offset = static_cast<int>((t / segment) % 3);
        for (int k = offset; k < kBandCount; k += 3)
        {
            const double hz = std::min(bandCentreHz(edges, k), 0.45 * kRate);
            s[t] += 0.05 * std::sin(2.0 * 3.141592653589793 * hz * static_cast<double>(t) / kRate);
        }
    }
    return s;
}

// CPU time of this thread: on a busy machine wall time would also count the
// moments the thread was not running.
double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

struct Rig
{
    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    std::unique_ptr<SpectralEngine> source;
    std::unique_ptr<SpectralEngine> dipper;
    std::vector<double> src0, src1, in0, in1, out0, out1;

    static std::unique_ptr<SpectralEngine> engineOn(PeerRegistry& registry, int role)
    {
        auto e = std::make_unique<SpectralEngine>();
        e->registry = &registry;
        e->settings.role = role;
        e->settings.channelIndex = 7;
        e->settings.setDepth(DepthDb{-48.0f, -36.0f}); // Depth 100 %
        e->settings.selectivity = 3.0f;
        for (int b = 0; b < kBellCount; ++b)
        {
            e->settings.bellActive[b] = 1;
            e->settings.bellDepthPercent[b] = 100.0f;
            e->settings.bellFreqHz[b] = 250.0f * (1 << (2 * b));
        }
        e->resetEngine(kRate);
        return e;
    }

    explicit Rig(int role)
    {
        source = engineOn(*registry, kRoleSource);
        dipper = engineOn(*registry, role);
        src0 = src1 = harmonicSource(0.02);
        in0 = role == kRoleSelf ? selfInput(11) : noise(11, 0.5);
        in1 = role == kRoleSelf ? selfInput(12) : noise(12, 0.5);
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
        // The idle tick runs about every 20 ms of audio.
        if (index % 2 == 1)
            coordinatorPass(*registry, monotonicMs());
    }

    int dippedBands() const
    {
        int dipped = 0;
        for (int k = 0; k < kBandCount; ++k)
            dipped += dipper->meters.dipMeter[k].load() < -0.5f ? 1 : 0;
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
