// Cost of the spectral stage's parts: one transform of a frame, and a whole
// frame of both channels or of one (window, transform, band masks, inverse,
// overlap-add), which runs once per hop; each in every vector version
// measured (vector_versions.h).
#include "vector_versions.h"

#include "engine/band_layout.h"
#include "engine/stft_frame_engine.h"
#include "tests/engine/stft_frame_probe.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_bench::registerPerVectorVersion;

void BM_Fft1024(benchmark::State& state)
{
    std::vector<double> re(kStftSize), im(kStftSize);
    for (int i = 0; i < kStftSize; ++i)
    {
        re[i] = (i * 37 % 101) * 0.01 - 0.5;
        im[i] = (i * 53 % 97) * 0.01 - 0.5;
    }
    int direction = -1;
    for (auto _ : state)
    {
        fft(re.data(), im.data(), direction);
        direction = -direction;
        benchmark::DoNotOptimize(re.data());
    }
}

// A stage with both input rings full of a fixed signal, and band gains that
// dip every other band.
std::unique_ptr<StftFrameEngine> primedFrameStage(double (&gains)[kBandCount])
{
    auto stage = std::make_unique<StftFrameEngine>();
    double edges[kEdgeCount];
    computeBandEdges(edges);
    stage->init(edges, 48000.0);
    for (int i = 0; i < kStftSize; ++i)
    {
        StftFrameProbe::state(*stage).inputRing[0][i] = (i * 37 % 101) * 0.01 - 0.5;
        StftFrameProbe::state(*stage).inputRing[1][i] = (i * 53 % 97) * 0.01 - 0.5;
    }
    for (int m = 0; m < kBandCount; ++m)
        gains[m] = m % 2 == 0 ? 0.5 : 1.0;
    return stage;
}

void BM_SpectralFrameBothChannels(benchmark::State& state)
{
    double gains[kBandCount];
    auto stage = primedFrameStage(gains);
    for (auto _ : state)
    {
        StftFrameProbe::bothChannels(*stage, gains, gains);
        benchmark::DoNotOptimize(StftFrameProbe::state(*stage).outputRing[0][0]);
    }
}

// A frame in which one channel dips and the other does not.
void BM_SpectralFrameOneChannel(benchmark::State& state)
{
    double gains[kBandCount];
    auto stage = primedFrameStage(gains);
    for (auto _ : state)
    {
        StftFrameProbe::oneChannel(*stage, 0, gains);
        benchmark::DoNotOptimize(StftFrameProbe::state(*stage).outputRing[0][0]);
    }
}

const bool registered = []
{
    registerPerVectorVersion("BM_Fft1024", BM_Fft1024);
    registerPerVectorVersion("BM_SpectralFrameBothChannels", BM_SpectralFrameBothChannels);
    registerPerVectorVersion("BM_SpectralFrameOneChannel", BM_SpectralFrameOneChannel);
    return true;
}();

} // namespace
