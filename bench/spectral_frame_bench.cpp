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

void BM_SpectralFrameBothChannels(benchmark::State& state)
{
    auto stage = std::make_unique<StftFrameEngine>();
    double edges[kEdgeCount];
    computeBandEdges(edges);
    stage->init(edges, 48000.0);
    for (int i = 0; i < kStftSize; ++i)
    {
        ostrel::StftFrameProbe::state(*stage).inputRing[0][i] = (i * 37 % 101) * 0.01 - 0.5;
        ostrel::StftFrameProbe::state(*stage).inputRing[1][i] = (i * 53 % 97) * 0.01 - 0.5;
    }
    double gains[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
        gains[m] = m % 2 == 0 ? 0.5 : 1.0;
    for (auto _ : state)
    {
        ostrel::StftFrameProbe::bothChannels(*stage, gains, gains);
        benchmark::DoNotOptimize(ostrel::StftFrameProbe::state(*stage).outputRing[0][0]);
    }
}

// A frame in which one channel dips and the other does not.
void BM_SpectralFrameOneChannel(benchmark::State& state)
{
    auto stage = std::make_unique<StftFrameEngine>();
    double edges[kEdgeCount];
    computeBandEdges(edges);
    stage->init(edges, 48000.0);
    for (int i = 0; i < kStftSize; ++i)
        ostrel::StftFrameProbe::state(*stage).inputRing[0][i] = (i * 37 % 101) * 0.01 - 0.5;
    double gains[kBandCount];
    for (int m = 0; m < kBandCount; ++m)
        gains[m] = m % 2 == 0 ? 0.5 : 1.0;
    for (auto _ : state)
    {
        ostrel::StftFrameProbe::oneChannel(*stage, 0, gains);
        benchmark::DoNotOptimize(ostrel::StftFrameProbe::state(*stage).outputRing[0][0]);
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
