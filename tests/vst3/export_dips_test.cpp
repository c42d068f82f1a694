// What a user exports sounds like what they heard: a Source and three
// Maskers on one Channel, rendered through the bundle's VST 3 interfaces as
// hosts render, with the main thread ticking every 20 ms of audio (real
// time), every second (an export at 50x) or never (a host busy exporting),
// in small and large blocks, Source first or Maskers first, offline or in
// real time. Every run's per-band dips must match real-time playback.
#include "bundle_fixture.h"

#include "engine/band_layout.h"
#include "engine/filter_banks.h"
#include "peer_process/peer_material.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <thread>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ostrel::test
{
namespace
{

constexpr double kRate = 48000.0;
constexpr int kFrames = 3 * 48000;
constexpr int kMeasureFrom = kFrames / 2;
constexpr int kChannel = 37;
constexpr int kMaskers = 3;
constexpr double kNever = -1.0;

double rmsOf(const std::vector<double>& s)
{
    double sum = 0.0;
    for (double x : s)
        sum += x * x;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

void scaleToDbfs(std::vector<double>& s, double dbfs)
{
    const double k = std::pow(10.0, dbfs / 20.0) / rmsOf(s);
    for (double& x : s)
        x *= k;
}

// A voice: harmonics of 180 Hz shaped by three formants, sung in 250 ms
// syllables with 100 ms gaps.
std::vector<double> Voice()
{
    std::vector<double> s(kFrames);
    const double formants[3] = {700.0, 1200.0, 2600.0};
    for (int t = 0; t < kFrames; ++t)
    {
        const double inSyllable = std::fmod(t / kRate, 0.35);
        if (inSyllable > 0.25)
            continue;
        double x = 0.0;
        for (int h = 1; 180.0 * h < 9000.0; ++h)
        {
            const double hz = 180.0 * h;
            double weight = 0.0;
            for (double f : formants)
                weight += 1.0 / (1.0 + std::pow((hz - f) / 150.0, 2.0));
            x += weight * std::sin(2.0 * std::numbers::pi * hz * t / kRate) / h;
        }
        s[static_cast<size_t>(t)] = x * std::sin(std::numbers::pi * inSyllable / 0.25);
    }
    scaleToDbfs(s, -24.0);
    return s;
}

std::vector<double> PinkNoise(unsigned seed)
{
    peer::PinkNoise pink(seed);
    std::vector<double> s(kFrames);
    for (double& x : s)
        x = pink.next();
    scaleToDbfs(s, -8.0);
    return s;
}

struct Material
{
    std::vector<double> voice = Voice();
    std::vector<double> pads[kMaskers] = {PinkNoise(11), PinkNoise(12), PinkNoise(13)};
};

const Material& TheMaterial()
{
    static const Material m;
    return m;
}

enum class Order
{
    SourceFirst,
    MaskersFirst,
};

struct Render
{
    double tickEveryMs;
    int block;
    Order order;
    int32 mode = kOffline;
};

std::string NameOf(const Render& r)
{
    std::string name = r.tickEveryMs < 0
                           ? "NoTicks"
                           : "TickEvery" + std::to_string(static_cast<int>(r.tickEveryMs)) + "ms";
    name += "_Block" + std::to_string(r.block);
    name += r.order == Order::SourceFirst ? "_SourceFirst" : "_MaskersFirst";
    if (r.mode == kRealtime)
        name += "_Realtime";
    return name;
}

struct Track
{
    std::unique_ptr<Instance> instance;
    const std::vector<double>* input = nullptr;
    std::vector<double> output;
    host::ParameterChanges settings;
    double nextTickMs = 0.0;
};

void PrepareTrack(Track& t, double role, int priority, const Render& r)
{
    host::PluginInstance& plugin = **t.instance;
    host::BusLayout layout;
    layout.mainIn = 2;
    layout.out = 2;
    std::string error;
    ASSERT_TRUE(plugin.SetBusLayout(layout, error)) << error;
    ASSERT_TRUE(plugin.Prepare(kRate, r.block, false, error, r.mode)) << error;
    // The settings reach the processor with the first block.
    t.settings.Add(kRole, 0, role);
    t.settings.Add(kChannel, 0, (kChannel - 1) / 63.0);
    t.settings.Add(kDepth, 0, 1.0);
    t.settings.Add(kPriority, 0, (priority - 1) / 7.0);
}

// Renders the session and returns each Masker's output.
std::vector<std::vector<double>> RenderSession(const Render& r)
{
    const Material& m = TheMaterial();
    Track source;
    Track maskers[kMaskers];
    source.instance = std::make_unique<Instance>();
    source.input = &m.voice;
    PrepareTrack(source, 1.0 / 3.0, 4, r);
    const int priorities[kMaskers] = {1, 4, 8};
    for (int i = 0; i < kMaskers; ++i)
    {
        maskers[i].instance = std::make_unique<Instance>();
        maskers[i].input = &m.pads[i];
        PrepareTrack(maskers[i], 2.0 / 3.0, priorities[i], r);
    }
    std::vector<Track*> order;
    if (r.order == Order::SourceFirst)
        order.push_back(&source);
    for (Track& t : maskers)
        order.push_back(&t);
    if (r.order == Order::MaskersFirst)
        order.push_back(&source);

    for (Track* t : order)
    {
        t->output.assign(kFrames, 0.0);
        t->nextTickMs = r.tickEveryMs;
    }
    for (int start = 0; start < kFrames; start += r.block)
    {
        const int n = std::min(r.block, kFrames - start);
        const double audioMs = 1000.0 * (start + n) / kRate;
        for (Track* t : order)
        {
            host::PluginInstance& plugin = **t->instance;
            const double* in[2] = {t->input->data() + start, t->input->data() + start};
            std::vector<double> right(static_cast<size_t>(n));
            double* out[2] = {t->output.data() + start, right.data()};
            EXPECT_EQ(plugin.Process(in, nullptr, out, n, start == 0 ? &t->settings : nullptr),
                      kResultOk);
        }
        // The host's main thread, in audio time: one tick each time it
        // comes back, however many timer periods it missed.
        if (r.tickEveryMs > 0.0)
            for (Track* t : order)
                if (audioMs >= t->nextTickMs)
                {
                    host::HostRunLoop& loop = t->instance->Context().RunLoop();
                    loop.Advance(audioMs - loop.NowMs(), r.tickEveryMs <= 20.0);
                    while (t->nextTickMs <= audioMs)
                        t->nextTickMs += r.tickEveryMs;
                }
    }
    std::vector<std::vector<double>> outputs;
    for (Track& t : maskers)
        outputs.push_back(std::move(t.output));
    return outputs;
}

// Per-band dips of a Masker's output against its input over the second
// half, through the engine's own ERB band filters.
std::vector<double> BandDips(const std::vector<double>& input, const std::vector<double>& output)
{
    double edges[kEdgeCount];
    computeBandEdges(edges);
    BandPassBank filter[2];
    for (BandPassBank& f : filter)
    {
        f.design(edges, kRate);
        f.clearState();
    }
    double before[kBandCount] = {};
    double after[kBandCount] = {};
    double y[kBandCount];
    for (int t = 0; t + kLatency < kFrames; ++t)
    {
        filter[0].step(input[static_cast<size_t>(t)], y);
        if (t >= kMeasureFrom)
            for (int k = 0; k < kBandCount; ++k)
                before[k] += y[k] * y[k];
        filter[1].step(output[static_cast<size_t>(t + kLatency)], y);
        if (t >= kMeasureFrom)
            for (int k = 0; k < kBandCount; ++k)
                after[k] += y[k] * y[k];
    }
    std::vector<double> dips(kBandCount);
    for (int k = 0; k < kBandCount; ++k)
        dips[static_cast<size_t>(k)] = 10.0 * std::log10((after[k] + 1e-30) / (before[k] + 1e-30));
    return dips;
}

// The first sample at which two outputs differ in any bit, or -1.
long FirstDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0)
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

const std::vector<std::vector<double>>& RealTimePlayback()
{
    static const auto outputs = RenderSession({20.0, 512, Order::SourceFirst});
    return outputs;
}

class ExportDips : public ::testing::TestWithParam<Render>
{
};

TEST_P(ExportDips, EveryMaskerDipsAsInRealTimePlayback)
{
    const Render r = GetParam();
    const auto& reference = RealTimePlayback();
    const auto outputs = RenderSession(r);
    const Material& m = TheMaterial();
    // Up to 512 frames every render is the same to the bit, whatever the
    // block size, the main thread, the order or the process mode. A Masker that
    // the host runs first on a block of several periods has only the
    // levels its Source published before that block: it meets the voice's
    // onsets up to a block late (measured: 2.1 dB less dip in the worst band
    // with these hard syllable onsets, 0.001 dB with the Source first).
    const bool bitExact = r.block <= 512;
    const double tolerance = r.block > 512 && r.order == Order::MaskersFirst ? 2.5 : 0.5;
    double deepest = 0.0;
    for (int i = 0; i < kMaskers; ++i)
    {
        const std::vector<double> want = BandDips(m.pads[i], reference[static_cast<size_t>(i)]);
        const std::vector<double> got = BandDips(m.pads[i], outputs[static_cast<size_t>(i)]);
        for (int k = 0; k < kBandCount; ++k)
        {
            deepest = std::min(deepest, want[static_cast<size_t>(k)]);
            EXPECT_NEAR(got[static_cast<size_t>(k)], want[static_cast<size_t>(k)], tolerance)
                << "Masker " << i << ", band " << k;
        }
        if (bitExact)
        {
            EXPECT_EQ(
                FirstDifference(outputs[static_cast<size_t>(i)], reference[static_cast<size_t>(i)]),
                -1)
                << "Masker " << i << " differs from playback from that sample on";
        }
    }
    EXPECT_LT(deepest, -3.0) << "the Maskers really dip";
}

// A host that renders on two audio threads at once and never runs its main
// thread: the Source and one Masker on one thread, the other two Maskers on
// the other. Under ThreadSanitizer this proves that the shared gains need
// nothing but the registry's atomics; everywhere, that the Maskers still
// follow their Source.
TEST(ExportConcurrency, TwoAudioThreadsAndNoMainThread)
{
    const Material& m = TheMaterial();
    const Render r{kNever, 256, Order::SourceFirst};
    Track tracks[1 + kMaskers];
    for (int i = 0; i <= kMaskers; ++i)
    {
        tracks[i].instance = std::make_unique<Instance>();
        tracks[i].input = i == 0 ? &m.voice : &m.pads[i - 1];
        tracks[i].output.assign(kFrames, 0.0);
        PrepareTrack(tracks[i], i == 0 ? 1.0 / 3.0 : 2.0 / 3.0, 4, r);
    }
    auto render = [&](std::vector<Track*> mine)
    {
        std::vector<double> right(static_cast<size_t>(r.block));
        for (int start = 0; start < kFrames; start += r.block)
            for (Track* t : mine)
            {
                const int n = std::min(r.block, kFrames - start);
                const double* in[2] = {t->input->data() + start, t->input->data() + start};
                double* out[2] = {t->output.data() + start, right.data()};
                (**t->instance).Process(in, nullptr, out, n, start == 0 ? &t->settings : nullptr);
            }
    };
    std::thread first(render, std::vector<Track*>{&tracks[0], &tracks[1]});
    std::thread second(render, std::vector<Track*>{&tracks[2], &tracks[3]});
    first.join();
    second.join();
    for (int i = 1; i <= kMaskers; ++i)
    {
        const std::vector<double>& out = tracks[i].output;
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](double x) { return std::isfinite(x); }));
        const std::vector<double> dips = BandDips(m.pads[i - 1], out);
        EXPECT_LT(*std::min_element(dips.begin(), dips.end()), -3.0) << "Masker " << i;
    }
}

std::vector<Render> Renders()
{
    std::vector<Render> renders;
    for (double tick : {20.0, 1000.0, kNever})
        for (int block : {64, 512, 4096})
            for (Order order : {Order::SourceFirst, Order::MaskersFirst})
                renders.push_back({tick, block, order});
    renders.push_back({20.0, 512, Order::SourceFirst, kRealtime});
    return renders;
}

INSTANTIATE_TEST_SUITE_P(Renders, ExportDips, ::testing::ValuesIn(Renders()),
                         [](const ::testing::TestParamInfo<Render>& info)
                         { return NameOf(info.param); });

} // namespace
} // namespace ostrel::test
