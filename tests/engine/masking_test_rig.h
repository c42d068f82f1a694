// A rig for the Masker/Self tests: engines on a private registry (so tests
// never meet each other's instances), test signals (a vowel-like tone with
// formants, white and pink noise), per-band spectra measured with the
// engine's own band edges, and a lock-step driver that runs a Source and its
// Maskers chunk by chunk.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/reference_paths.h"
#include "engine/spectral_engine.h"
#include "engine/stft_frame_engine.h"
#include "engine_test_support.h"
#include "link/monotonic_clock.h"

namespace ostrel::testing
{

constexpr double kRigRate = 48000.0;

// A registry of the test's own; engines made here use it instead of the
// process-wide one. Declare it before the engines so it outlives them.
inline std::unique_ptr<PeerRegistry> makeRegistry()
{
    return std::make_unique<PeerRegistry>();
}

inline std::unique_ptr<SpectralEngine> makeEngineOn(PeerRegistry& registry, int role,
                                                    int channelIndex, double depthPercent = 100.0,
                                                    double sampleRate = kRigRate)
{
    auto e = std::make_unique<SpectralEngine>();
    e->adoptRegistry(registry);
    e->settings().role = role;
    e->settings().channelIndex = channelIndex;
    const double f = std::clamp(depthPercent * 0.01, 0.0, 1.0);
    e->settings().setDepth(
        DepthDb{static_cast<float>(-48.0 * f), static_cast<float>(-(30.0 * f + 6.0))});
    e->resetEngine(sampleRate);
    return e;
}

// Scales s to the RMS level `level` over all its samples.
inline void scaleToRms(std::vector<double>& s, double level)
{
    const double scale = level / rms(s, 0, static_cast<int>(s.size()));
    for (double& v : s)
        v *= scale;
}

// A sung vowel: harmonics of f0 (with a slow vibrato) shaped by three
// formants, up to 5 kHz.
inline std::vector<double> vowel(int n, double rms, double f0 = 180.0)
{
    const double formantHz[3] = {700.0, 1200.0, 2600.0};
    const double formantBw[3] = {130.0, 100.0, 180.0};
    const double formantGain[3] = {1.0, 0.6, 0.3};
    std::vector<double> s(n, 0.0);
    const int harmonics = static_cast<int>(5000.0 / f0);
    std::vector<double> amp(harmonics + 1, 0.0);
    for (int h = 1; h <= harmonics; ++h)
    {
        const double f = h * f0;
        double a = 0.0;
        for (int i = 0; i < 3; ++i)
        {
            const double d = (f - formantHz[i]) / (0.5 * formantBw[i]);
            a += formantGain[i] / std::sqrt(1.0 + d * d);
        }
        amp[h] = a;
    }
    double phase = 0.0;
    for (int t = 0; t < n; ++t)
    {
        const double f = f0 * (1.0 + 0.01 * std::sin(2.0 * std::numbers::pi * 5.0 * t / kRigRate));
        phase += 2.0 * std::numbers::pi * f / kRigRate;
        double v = 0.0;
        for (int h = 1; h <= harmonics; ++h)
            v += amp[h] * std::sin(h * phase);
        s[t] = v;
    }
    scaleToRms(s, rms);
    return s;
}

// White noise at an RMS level (uniform, so its peak is sqrt(3) times that).
inline std::vector<double> whiteNoise(int n, uint32_t seed, double rms)
{
    return noise(n, seed, rms * std::sqrt(3.0));
}

// Pink noise (-3 dB per octave) from white noise through a fixed filter set.
inline std::vector<double> pinkNoise(int n, uint32_t seed, double rms)
{
    std::vector<double> w = whiteNoise(n, seed, 1.0);
    std::vector<double> s(n);
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    for (int i = 0; i < n; ++i)
    {
        const double x = w[i];
        b0 = 0.99886 * b0 + x * 0.0555179;
        b1 = 0.99332 * b1 + x * 0.0750759;
        b2 = 0.96900 * b2 + x * 0.1538520;
        b3 = 0.86650 * b3 + x * 0.3104856;
        b4 = 0.55000 * b4 + x * 0.5329522;
        b5 = -0.7616 * b5 - x * 0.0168980;
        s[i] = b0 + b1 + b2 + b3 + b4 + b5 + b6 + x * 0.5362;
        b6 = x * 0.115926;
    }
    scaleToRms(s, rms);
    return s;
}

// Power per ERB band of s[from, to), averaged over Hann-windowed 4096-point frames.
inline std::vector<double> bandPowers(const std::vector<double>& s, int from, int to,
                                      double sampleRate = kRigRate)
{
    constexpr int kN = 4096;
    double edges[kEdgeCount];
    computeBandEdges(edges);
    std::vector<double> power(kBandCount, 0.0);
    std::vector<double> re(kN), im(kN);
    for (int start = from; start + kN <= to; start += kN / 2)
    {
        for (int i = 0; i < kN; ++i)
        {
            const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kN);
            re[i] = s[start + i] * w;
            im[i] = 0.0;
        }
        reference::fft(re.data(), im.data(), kN, -1);
        for (int j = 1; j < kN / 2; ++j)
        {
            const double hz = j * sampleRate / kN;
            int band = 0;
            while (band < kEdgeCount && hz >= edges[band])
                ++band;
            power[band] += re[j] * re[j] + im[j] * im[j];
        }
    }
    return power;
}

// Level change per band, in dB, from `before` to `after`.
inline std::vector<double> bandChangeDb(const std::vector<double>& before,
                                        const std::vector<double>& after)
{
    std::vector<double> d(kBandCount);
    for (int k = 0; k < kBandCount; ++k)
        d[k] = 10.0 * std::log10((after[k] + 1e-30) / (before[k] + 1e-30));
    return d;
}

// x delayed by `delay` samples (zeros in front).
inline std::vector<double> delayed(const std::vector<double>& x, int delay)
{
    std::vector<double> d(x.size(), 0.0);
    for (size_t i = static_cast<size_t>(delay); i < x.size(); ++i)
        d[i] = x[i - delay];
    return d;
}

// One engine's stereo input and output over a run.
struct Track
{
    SpectralEngine* engine = nullptr;
    std::vector<double> in0, in1;
    std::vector<double> out0, out1;
    const double* side0 = nullptr;
    const double* side1 = nullptr;
};

// A Source singing a vowel `samples` long and a Masker of the given depth on
// one channel of a private registry; the tests give the Masker its input.
struct SourceAndMasker
{
    SourceAndMasker(int channel, int samples, double maskerDepthPercent = 100.0)
        : source(makeEngineOn(*registry, kRoleSource, channel)),
          masker(makeEngineOn(*registry, kRoleMasker, channel, maskerDepthPercent))
    {
        sourceTrack.engine = source.get();
        sourceTrack.in0 = sourceTrack.in1 = vowel(samples, 0.05);
        maskerTrack.engine = masker.get();
    }

    std::unique_ptr<PeerRegistry> registry = makeRegistry();
    std::unique_ptr<SpectralEngine> source;
    std::unique_ptr<SpectralEngine> masker;
    Track sourceTrack;
    Track maskerTrack;
};

// Runs every track chunk by chunk in lock step (same host positions).
// Allocates nothing once the outputs have their size.
inline void runLockStep(std::initializer_list<Track*> tracks, int chunk, int64_t startPos = 0,
                        int from = 0, int to = -1)
{
    const int total = static_cast<int>((*tracks.begin())->in0.size());
    if (to < 0 || to > total)
        to = total;
    for (Track* tr : tracks)
    {
        tr->out0.resize(total, 0.0);
        tr->out1.resize(total, 0.0);
    }
    for (int done = from; done < to; done += chunk)
    {
        const int n = std::min(chunk, to - done);
        for (Track* tr : tracks)
            tr->engine->processChunk(tr->in0.data() + done, tr->in1.data() + done,
                                     tr->out0.data() + done, tr->out1.data() + done, n,
                                     startPos + done, true, tr->side0 ? tr->side0 + done : nullptr,
                                     tr->side1 ? tr->side1 + done : nullptr);
    }
}

} // namespace ostrel::testing
