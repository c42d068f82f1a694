// What each per-sample loop of the Masker and Self paths costs in each vector
// version (vector_versions.h), so the versions can be compared loop by loop
// rather than only as a whole path: the band-pass banks of both channels, the
// band envelopes, the band gates, the logarithm of the gates on their ramp,
// and the glides with the stereo link. Each loop runs 512 samples over the
// 24 bands and both channels, its body built per version as the engine's
// are (vector_clones.h); this file is compiled as the engine is (no fused
// multiply-add), so the loops are the engine's own instructions.
// Counter: per_sample (seconds of one sample of the loop).
#include "bench_material.h"
#include "vector_versions.h"

#include "engine/band_gates.h"
#include "engine/band_layout.h"
#include "engine/filter_banks.h"
#include "engine/lane_log.h"
#include "engine/stereo_link.h"
#include "engine/vector_clones.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{

using namespace ostrel;
using namespace ostrel_bench;

constexpr int kSamples = 512;

// Two channels of every band, as the Masker path keeps them.
struct alignas(kLaneAlign) Bands
{
    alignas(kLaneAlign) double v[2][kBandCount] = {};
};

// Everything the loops read and write, set up so the gates open, ramp, hold
// and close along the way (noise whose level steps every 64 samples).
struct Loops
{
    BandPassBank bank[2];
    LowpassBank lowpass;
    std::vector<double> in[2];
    Bands x, envelope, amount, open, ramp, gain, gateGain;
    alignas(kLaneAlign) double attack[kBandCount], release[kBandCount];
    alignas(kLaneAlign) double eligibleClosed[kBandCount], eligibleOpen[kBandCount];
    alignas(kLaneAlign) double openPower[kBandCount], closePower[kBandCount], fullPower[kBandCount],
        targetGain[kBandCount];
    alignas(kLaneAlign) double rampScale[kBandCount], rampOffset[kBandCount];
    alignas(kLaneAlign) double link[kBandCount], linkRatio[kBandCount];
    alignas(kLaneAlign) double cumulative[kLowpassLanes] = {};
    double sink = 0.0;

    Loops()
    {
        double edges[kEdgeCount];
        computeBandEdges(edges);
        for (BandPassBank& b : bank)
            b.design(edges, kBenchRate);
        lowpass.design(edges, kBenchRate);
        for (int c = 0; c < 2; ++c)
        {
            in[c] = noise(kSamples, 31 + c, 0.5);
            for (int t = 0; t < kSamples; ++t)
                in[c][t] *= (t / 64) % 2 == 0 ? 1.0 : 0.01;
        }
        for (int m = 0; m < kBandCount; ++m)
        {
            attack[m] = 0.05;
            release[m] = 0.002;
            eligibleClosed[m] = m % 4 != 3 ? 1.0 : 0.0;
            eligibleOpen[m] = m % 4 != 3 ? 1.0 : 0.0;
            openPower[m] = 1e-4;
            closePower[m] = 5e-5;
            fullPower[m] = 1e-2;
            targetGain[m] = 0.25;
            const GateRampLine line = gateRampLine(GateSetup{.spreadDb = -40.0});
            rampScale[m] = line.scale;
            rampOffset[m] = line.offset;
            link[m] = (m % 3) * 0.5;
            linkRatio[m] = m % 3 == 0 ? kUnlinkedRatio : kFullLinkRatio;
            for (int c = 0; c < 2; ++c)
            {
                gain.v[c][m] = 1.0;
                gateGain.v[c][m] = 1.0;
                open.v[c][m] = (m + c) % 2 == 0 ? 1.0 : 0.0;
                amount.v[c][m] = 0.02 * m;
            }
        }
    }
};

OSTREL_VECTOR_BODY void bandPassBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        for (int c = 0; c < 2; ++c)
            l.bank[c].step(l.in[c][t], l.x.v[c]);
}
void bandPass(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(bandPassBody(l));
}

OSTREL_VECTOR_BODY void lowpassBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        l.lowpass.accumulate((l.in[0][t] + l.in[1][t]) * 0.5, l.cumulative);
}
void lowpass(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(lowpassBody(l));
}

OSTREL_VECTOR_BODY void envelopesBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        for (int c = 0; c < 2; ++c)
            for (int m = 0; m < kBandCount; ++m)
                followEnvelope(l.envelope.v[c][m], l.in[c][t] * (1.0 + 0.01 * m), l.attack[m],
                               l.release[m]);
}
void envelopes(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(envelopesBody(l));
}

OSTREL_VECTOR_BODY void gatesBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        for (int c = 0; c < 2; ++c)
            for (int m = 0; m < kBandCount; ++m)
            {
                l.envelope.v[c][m] = l.in[c][t] * l.in[c][t];
                l.ramp.v[c][m] = gateLaneStep(
                    l.open.v[c][m], l.amount.v[c][m], l.envelope.v[c][m], l.eligibleClosed[m],
                    l.eligibleOpen[m], l.openPower[m], l.closePower[m], l.fullPower[m], 0.9995);
            }
}
void gates(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(gatesBody(l));
}

OSTREL_VECTOR_BODY void rampLogBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        for (int c = 0; c < 2; ++c)
            for (int m = 0; m < kBandCount; ++m)
            {
                const double a =
                    gateRampAmountFromLn(logLane(l.in[c][t] * l.in[c][t] + 1e-30 + 1e-3 * m),
                                         l.rampScale[m], l.rampOffset[m]);
                l.amount.v[c][m] = l.ramp.v[c][m] != 0.0 ? a : l.amount.v[c][m];
            }
}
void rampLog(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(rampLogBody(l));
}

OSTREL_VECTOR_BODY void glideLinkBody(Loops& l)
{
    for (int t = 0; t < kSamples; ++t)
        for (int m = 0; m < kBandCount; ++m)
        {
            double g0 = l.gateGain.v[0][m];
            double g1 = l.gateGain.v[1][m];
            glideGainLane(g0, gateLaneTarget(l.open.v[0][m], l.amount.v[0][m], l.targetGain[m]),
                          0.001);
            glideGainLane(g1, gateLaneTarget(l.open.v[1][m], l.amount.v[1][m], l.targetGain[m]),
                          0.001);
            l.gateGain.v[0][m] = g0;
            l.gateGain.v[1][m] = g1;
            linkChannelGains(g0, g1, l.link[m], l.linkRatio[m]);
            l.gain.v[0][m] = g0;
            l.gain.v[1][m] = g1;
        }
}
void glideLink(Loops& l)
{
    OSTREL_VECTOR_DISPATCH(glideLinkBody(l));
}

void runLoop(benchmark::State& state, void (*loop)(Loops&))
{
    auto l = std::make_unique<Loops>();
    for (int i = 0; i < 8; ++i)
        loop(*l); // states and gates reach their working range
    for (auto _ : state)
    {
        loop(*l);
        benchmark::DoNotOptimize(l.get());
        benchmark::ClobberMemory();
    }
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSamples,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool registered = []
{
    const std::pair<const char*, void (*)(Loops&)> loops[] = {
        {"BM_LoopBandPassBanks", bandPass}, {"BM_LoopLowpassBank", lowpass},
        {"BM_LoopEnvelopes", envelopes},    {"BM_LoopGates", gates},
        {"BM_LoopRampLogarithm", rampLog},  {"BM_LoopGlidesAndLink", glideLink},
    };
    for (const auto& [name, loop] : loops)
        for (benchmark::internal::Benchmark* b :
             registerPerVectorVersion(name, [loop](benchmark::State& s) { runLoop(s, loop); }))
            b->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
