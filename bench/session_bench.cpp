// A whole session through the VST 3 entry points on one thread: 64 instances
// at 48 kHz in 128-frame blocks, as a mix engineer's big project has them
// (8 Sources, 32 Maskers spread over them, 8 Self, 16 Off), with every
// instance's idle tick run every 20 ms of
// audio between blocks, untimed as the host's main thread would run it.
// Reported: the share of the real-time budget the audio thread uses (by the
// clock, and by the thread's processor time, also split by role), the worst
// block and the 99.9th-percentile block against the block's duration.
#include "bench_material.h"
#include "vector_versions.h"
#include "vst3_bench_rig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{

using namespace ostrel_bench;

constexpr int kSessionBlock = 128;
constexpr double kRate = 48000.0;
constexpr int kLoopBlocks = 1500; // 4 s of material, looped
constexpr int kTickEvery = 8;     // blocks between idle ticks (about 20 ms)

// Material for one instance: voice-like harmonics for a Source, noise with
// a harmonic series for the others, each with its own seed.
std::vector<float> material(bool source, uint32_t seed)
{
    std::vector<float> s(static_cast<size_t>(kLoopBlocks) * kSessionBlock);
    uint32_t x = seed;
    const double f0 = source ? 180.0 + seed % 40 : 110.0 + seed % 30;
    for (size_t t = 0; t < s.size(); ++t)
    {
        x = x * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(x) / 4294967296.0 - 0.5) * (source ? 0.0 : 0.2);
        double tone = 0.0;
        for (int h = 1; h <= 12; ++h)
            tone += std::sin(2.0 * 3.141592653589793 * f0 * h * static_cast<double>(t) / kRate) /
                    (h * 8.0);
        s[t] = static_cast<float>(noise + tone);
    }
    return s;
}

struct Member
{
    std::unique_ptr<Rig> rig;
    std::vector<float> signal;
};

void BM_Session64Instances(benchmark::State& state)
{
    // Role (0 Off, 1 Source, 2 Masker, 3 Self) and Channel of each instance.
    std::vector<std::pair<int, int>> layout;
    for (int s = 0; s < 8; ++s)
        layout.push_back({1, s + 1});
    for (int m = 0; m < 32; ++m)
        layout.push_back({2, m % 8 + 1});
    for (int i = 0; i < 8; ++i)
        layout.push_back({3, 1});
    for (int i = 0; i < 16; ++i)
        layout.push_back({0, 1});

    std::vector<Member> members;
    Changes setup;
    setup.queues.resize(3);
    for (Queue& q : setup.queues)
        q.points = 1;
    for (size_t i = 0; i < layout.size(); ++i)
    {
        Member m;
        m.rig = std::make_unique<Rig>(false, false, kSessionBlock);
        m.signal = material(layout[i].first == 1, static_cast<uint32_t>(i + 1));
        setup.queues[0].id = 0; // Role
        setup.queues[0].fixed = layout[i].first / 3.0;
        setup.queues[1].id = 1; // Channel
        setup.queues[1].fixed = (layout[i].second - 1) / 63.0;
        setup.queues[2].id = 2; // Depth
        setup.queues[2].fixed = 1.0;
        m.rig->changes = &setup;
        m.rig->Block();
        m.rig->changes = nullptr;
        members.push_back(std::move(m));
    }

    const double blockSeconds = kSessionBlock / kRate;
    double worst = 0.0;
    double total = 0.0;
    double totalCpu = 0.0;
    long blocks = 0;
    double roleCpu[4] = {}; // processor time of each role's instances
    std::vector<double> times;
    times.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state)
    {
        const size_t offset = static_cast<size_t>(blocks % kLoopBlocks) * kSessionBlock;
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = threadSeconds();
        double roleStart = startCpu;
        for (size_t i = 0; i < members.size(); ++i)
        {
            Member& m = members[i];
            for (int c = 0; c < 2; ++c)
                std::copy_n(m.signal.data() + offset, kSessionBlock, m.rig->in32[c].data());
            m.rig->Block();
            // The layout groups the roles: a role's time is read at its end.
            if (i + 1 == members.size() || layout[i + 1].first != layout[i].first)
            {
                const double now = threadSeconds();
                roleCpu[layout[i].first] += now - roleStart;
                roleStart = now;
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totalCpu += roleStart - startCpu;
        // The idle ticks belong to the host's main thread: run, not timed.
        if (blocks % kTickEvery == kTickEvery - 1)
            for (Member& m : members)
                m.rig->plugin->IdleTick();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
        times.push_back(seconds);
        total += seconds;
        ++blocks;
    }
    state.counters["budget_used"] = total / (static_cast<double>(blocks) * blockSeconds);
    // The same share from the thread's own processor time: what the session
    // asks of one core, without the moments a loaded machine ran others.
    state.counters["budget_used_cpu"] = totalCpu / (static_cast<double>(blocks) * blockSeconds);
    // Where that share goes, role by role (they add up to budget_used_cpu).
    const char* roleNames[4] = {"cpu_off", "cpu_source", "cpu_masker", "cpu_self"};
    for (int r = 0; r < 4; ++r)
        state.counters[roleNames[r]] = roleCpu[r] / (static_cast<double>(blocks) * blockSeconds);
    state.counters["worst_block_vs_duration"] = worst / blockSeconds;
    // The worst block on a shared machine is often a scheduling delay; the
    // block that only one in a thousand exceeds shows the plug-ins' own peaks.
    if (!times.empty())
    {
        const auto rank = times.begin() + static_cast<long>(times.size() * 999 / 1000);
        std::nth_element(times.begin(), rank, times.end());
        state.counters["block_p999_vs_duration"] = *rank / blockSeconds;
    }
}
// In every measured vector version (vector_versions.h).
const bool registered = []
{
    for (benchmark::internal::Benchmark* b :
         registerPerVectorVersion("BM_Session64Instances", BM_Session64Instances))
        b->UseManualTime()->Iterations(3000);
    return true;
}();

} // namespace
