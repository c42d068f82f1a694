// What each role costs through the VST 3 process call, as a multiple of the
// reference bank of 72 biquads (bench_material.h) timed in the same
// iterations, so the machine's speed and load cancel out of the ratio. At
// 48 kHz stereo, 512- and 64-frame blocks:
// - Masker, worst case: a live Source under it, dips in most bands, the four
//   bells active at full depth, the idle tick every 20 ms;
// - Self, worst case: tones standing out in many bands, four bells;
// - Masker, its Source silent: the gates released and at rest, the bells on;
// - Source: measuring and publishing;
// - Off, settled: a delay line, in 32- and 64-bit samples, with four
//   automated parameters that the host resends unchanged in every block, and
//   set up for 1024-frame blocks but called with shorter ones; also in 128-,
//   32- and 1-frame blocks, where the fixed cost of a call dominates.
// The Masker and Self measure their dip meters only while an editor shows
// them; their EditorOpen cases time that too.
// Every case runs in each vector version measured (vector_versions.h).
// Counters: ns_per_sample (the instance), bank_ns_per_sample and x_bank.
// Each block is timed alone (wall time less the clock's own cost), its input
// freshly written as a host would; blocks during which the thread was
// preempted are left out.
#include "bench_material.h"
#include "vector_versions.h"
#include "vst3_bench_rig.h"

#include "plugin/ostrel_params.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

namespace
{

using namespace ostrel_bench;

constexpr int kBatch = 4096;        // samples timed at once
constexpr size_t kLoop = 48000 * 4; // material, looped
constexpr int kTickSamples = 960;   // an idle tick every 20 ms of audio

enum class Role
{
    Off = 0,
    Source = 1,
    Masker = 2,
    Self = 3
};

void setParameters(Rig& rig, const std::vector<std::pair<int, double>>& plainValues)
{
    Changes changes;
    changes.queues.resize(plainValues.size());
    for (size_t i = 0; i < plainValues.size(); ++i)
    {
        Queue& q = changes.queues[i];
        q.id = static_cast<Vst::ParamID>(plainValues[i].first);
        q.points = 1;
        q.fixed = rig.plugin->plainParamToNormalized(q.id, plainValues[i].second);
    }
    rig.changes = &changes;
    rig.Block();
    rig.changes = nullptr;
}

std::unique_ptr<Rig> instance(Role role, bool use64, int block, int setupBlock = 0)
{
    auto rig = std::make_unique<Rig>(use64, false, block, setupBlock);
    std::vector<std::pair<int, double>> values = {{ostrel::kParamRole, static_cast<int>(role)},
                                                  {ostrel::kParamChannel, 7.0},
                                                  {ostrel::kParamDepth, 100.0},
                                                  {ostrel::kParamSelectivity, 3.0}};
    for (int b = 0; b < 4; ++b)
    {
        values.push_back({ostrel::bellParam(b, ostrel::kBellFreqOffset), 250.0 * (1 << (2 * b))});
        values.push_back({ostrel::bellParam(b, ostrel::kBellDepthOffset), 100.0});
        values.push_back({ostrel::bellParam(b, ostrel::kBellActiveOffset), 1.0});
    }
    setParameters(*rig, values);
    return rig;
}

// Material in both sample sizes; a block points into it, nothing is copied.
struct Material
{
    std::vector<double> d[2];
    std::vector<float> f[2];

    Material(std::vector<double> left, std::vector<double> right)
    {
        // The loop is extended by one batch so a block never wraps.
        for (int c = 0; c < 2; ++c)
        {
            std::vector<double>& v = d[c];
            v = c == 0 ? std::move(left) : std::move(right);
            const std::vector<double> head(v.begin(),
                                           v.begin() + std::min<size_t>(v.size(), kBatch));
            v.insert(v.end(), head.begin(), head.end());
            f[c].assign(v.begin(), v.end());
        }
    }

    // Copies a block into the rig's own buffers, as a host fills its
    // buffers just before calling process (so they are in the cache).
    void feed(Rig& rig, size_t at) const
    {
        const bool use64 = rig.data.symbolicSampleSize == Vst::kSample64;
        const size_t n = static_cast<size_t>(rig.block);
        for (int c = 0; c < 2; ++c)
        {
            if (use64)
                std::copy_n(d[c].data() + at, n, rig.in64[c].data());
            else
                std::copy_n(f[c].data() + at, n, rig.in32[c].data());
        }
    }
};

// Wall time of one call, less what reading the clock costs: blocks are too
// short for the thread's CPU clock, whose reading is a system call.
class BlockTimer
{
public:
    BlockTimer()
    {
        double least = 1.0;
        for (int i = 0; i < 1000; ++i)
        {
            const auto t0 = Clock::now();
            least = std::min(least, seconds(t0, Clock::now()));
        }
        overhead = least;
    }
    template <class F> double time(F&& f) const
    {
        const auto t0 = Clock::now();
        f();
        return std::max(0.0, seconds(t0, Clock::now()) - overhead);
    }

private:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::time_point a, Clock::time_point b)
    {
        return std::chrono::duration<double>(b - a).count();
    }
    double overhead = 0.0;
};

// The sum of a batch's block times, without the blocks during which the
// thread was evidently preempted (over ten times the batch's median).
double robustSum(std::vector<double>& times)
{
    std::vector<double> sorted = times;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0.0;
    size_t kept = 0;
    for (double t : times)
        if (t <= 10.0 * median + 1e-7)
        {
            sum += t;
            ++kept;
        }
    return kept > 0 ? sum * static_cast<double>(times.size()) / static_cast<double>(kept) : 0.0;
}

Material materialOf(Role role)
{
    switch (role)
    {
    case Role::Self:
        return Material(selfInput(kLoop, 11), selfInput(kLoop, 12));
    case Role::Source:
        return Material(harmonicSource(kLoop, 0.1), harmonicSource(kLoop, 0.1));
    default:
        return Material(noise(kLoop, 11, 0.5), noise(kLoop, 12, 0.5));
    }
}

struct Scene
{
    std::unique_ptr<Rig> source; // the Masker's partner
    std::unique_ptr<Rig> measured;
    Material sourceSignal{{}, {}};
    Material signal;
    size_t at = 0;
    BlockTimer timer;
    std::vector<double> times;
    Changes automation; // what a host reading automation resends every block

    Scene(Role role, bool use64, int block, bool editorShown, double sourceLevel = 0.02,
          bool automated = false, int setupBlock = 0)
        : signal(materialOf(role))
    {
        if (role == Role::Masker)
        {
            source = instance(Role::Source, false, block);
            sourceSignal =
                Material(harmonicSource(kLoop, sourceLevel), harmonicSource(kLoop, sourceLevel));
        }
        measured = instance(role, use64, block, setupBlock);
        // What an open editor asks of the engine: its meters measured.
        measured->plugin->Engine().setMetersWanted(editorShown);
        if (automated)
        {
            // Four automated lanes whose values hold still.
            for (const int id : {static_cast<int>(ostrel::kParamDepth),
                                 static_cast<int>(ostrel::kParamSelectivity),
                                 ostrel::bellParam(0, ostrel::kBellFreqOffset),
                                 ostrel::bellParam(0, ostrel::kBellDepthOffset)})
            {
                Queue q;
                q.id = static_cast<Vst::ParamID>(id);
                q.points = 1;
                q.fixed = measured->plugin->getParamNormalized(q.id);
                automation.queues.push_back(q);
            }
            measured->changes = &automation;
        }
        // Warm up (about 2 s): envelopes, statistics and gates reach their
        // working state; an Off instance settles.
        for (int i = 0; i < 24; ++i)
            batch();
    }

    // One batch of kBatch samples; returns the measured instance's CPU time.
    double batch()
    {
        const int block = measured->block;
        if (source)
        {
            // The Source runs the batch first, as a host may run it a whole
            // block ahead; the Masker finds its levels in the slot's history.
            for (int done = 0; done < kBatch; done += block)
            {
                sourceSignal.feed(*source, at + static_cast<size_t>(done));
                source->Block();
            }
        }
        times.clear();
        for (int done = 0; done < kBatch; done += block)
        {
            signal.feed(*measured, at + static_cast<size_t>(done));
            times.push_back(timer.time([&] { measured->Call(); }));
            measured->Advance();
        }
        const double seconds = robustSum(times);
        // The idle ticks belong to the host's
        // main thread: run between batches, untimed.
        if (source)
            source->plugin->IdleTick();
        measured->plugin->IdleTick();
        at = (at + kBatch) % kLoop;
        return seconds;
    }
};

void runScene(benchmark::State& state, Role role, bool use64, bool editorShown = false,
              double sourceLevel = 0.02, bool automated = false, int setupBlock = 0)
{
    const int block = static_cast<int>(state.range(0));
    Scene scene(role, use64, block, editorShown, sourceLevel, automated, setupBlock);
    ReferenceBank bank;
    const std::vector<double> left = noise(kBatch, 21, 0.5);
    const std::vector<double> right = noise(kBatch, 22, 0.5);
    std::vector<double> out(kBatch);
    double instanceSeconds = 0.0;
    double bankSeconds = 0.0;
    std::vector<double> bankTimes;
    for (auto _ : state)
    {
        const double seconds = scene.batch();
        // The bank in the same block size as the instance, timed alike.
        bankTimes.clear();
        for (int done = 0; done < kBatch; done += block)
            bankTimes.push_back(scene.timer.time(
                [&]
                { bank.run(left.data() + done, right.data() + done, out.data() + done, block); }));
        const double bank1 = robustSum(bankTimes);
        benchmark::DoNotOptimize(out.data());
        instanceSeconds += seconds;
        bankSeconds += bank1;
        state.SetIterationTime(seconds);
    }
    const double samples = static_cast<double>(state.iterations()) * kBatch;
    state.counters["ns_per_sample"] = instanceSeconds / samples * 1e9;
    state.counters["bank_ns_per_sample"] = bankSeconds / samples * 1e9;
    state.counters["x_bank"] = instanceSeconds / bankSeconds;
}

// Each case in every measured vector version (vector_versions.h).
const bool registered = []
{
    const std::pair<const char*, void (*)(benchmark::State&)> cases[] = {
        {"BM_CostMaskerWorstCase", [](benchmark::State& s) { runScene(s, Role::Masker, false); }},
        {"BM_CostSelfWorstCase", [](benchmark::State& s) { runScene(s, Role::Self, false); }},
        {"BM_CostMaskerWorstCaseEditorOpen",
         [](benchmark::State& s) { runScene(s, Role::Masker, false, true); }},
        {"BM_CostSelfWorstCaseEditorOpen",
         [](benchmark::State& s) { runScene(s, Role::Self, false, true); }},
        {"BM_CostMaskerSourceSilent",
         [](benchmark::State& s) { runScene(s, Role::Masker, false, false, 0.0); }},
        {"BM_CostSource", [](benchmark::State& s) { runScene(s, Role::Source, false); }},
        {"BM_CostOffSettled32", [](benchmark::State& s) { runScene(s, Role::Off, false); }},
        {"BM_CostOffSettled64", [](benchmark::State& s) { runScene(s, Role::Off, true); }},
        {"BM_CostOffSettled32Automated",
         [](benchmark::State& s) { runScene(s, Role::Off, false, false, 0.02, true); }},
        {"BM_CostOffSettled32SetUpFor1024",
         [](benchmark::State& s) { runScene(s, Role::Off, false, false, 0.02, false, 1024); }},
    };
    for (const auto& [name, run] : cases)
        for (benchmark::internal::Benchmark* b : registerPerVectorVersion(name, run))
        {
            b->Arg(512)->Arg(64)->UseManualTime()->Unit(benchmark::kMicrosecond);
            // A settled Off call is mostly its fixed cost: shorter blocks too.
            if (std::string_view(name).starts_with("BM_CostOffSettled"))
                b->Arg(128)->Arg(32)->Arg(1);
        }
    return true;
}();

} // namespace
