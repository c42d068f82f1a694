// The same material dips the same whatever the host does: any block size
// (1 sample to 8192, odd, changing every block) and any common sample rate.
// Each case renders a Source and a Masker (through the registry, or with the
// Source on the Masker's sidechain) or a Self instance through processBlock,
// and measures the mean dip per band from the output against the delayed input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "masking_test_rig.h"

namespace ostrel
{
namespace
{

using testing::bandPowers;

enum class Pairing
{
    RegistryMasker,
    SidechainMasker,
    Self,
};

const char* nameOf(Pairing s)
{
    switch (s)
    {
    case Pairing::RegistryMasker:
        return "Masker";
    case Pairing::SidechainMasker:
        return "SidechainMasker";
    case Pairing::Self:
        return "Self";
    }
    return "";
}

// A voice: harmonics of 200 Hz with formants, sung in 250 ms syllables with
// 120 ms gaps, so its band levels swing the way real vocals do.
std::vector<double> voice(int n, double rate)
{
    std::vector<double> s(n, 0.0);
    const double formantHz[3] = {700.0, 1200.0, 2600.0};
    double phase = 0.0;
    for (int t = 0; t < n; ++t)
    {
        const double time = t / rate;
        const double f0 = 200.0 * (1.0 + 0.01 * std::sin(2.0 * std::numbers::pi * 5.0 * time));
        phase += 2.0 * std::numbers::pi * f0 / rate;
        double v = 0.0;
        for (int h = 1; h * 200.0 < 5000.0; ++h)
        {
            double a = 0.0;
            for (double fm : formantHz)
            {
                const double d = (h * 200.0 - fm) / 80.0;
                a += 1.0 / std::sqrt(1.0 + d * d);
            }
            v += a * std::sin(h * phase);
        }
        const double cycle = std::fmod(time, 0.37);
        const double envelope = cycle < 0.25 ? std::sin(std::numbers::pi * cycle / 0.25) : 0.0;
        s[t] = 0.02 * envelope * v;
    }
    return s;
}

// A bank of sinusoids whose partials lie at the same frequencies whatever the
// sample rate (noise made per sample would change its spectrum with the rate).
class PartialBank
{
public:
    void add(double hz, double amplitude, double rate, double phase)
    {
        const double w = 2.0 * std::numbers::pi * hz / rate;
        partials.push_back(
            {std::cos(w), std::sin(w), amplitude * std::cos(phase), amplitude * std::sin(phase)});
    }
    double next()
    {
        double sum = 0.0;
        for (Partial& p : partials)
        {
            const double re = p.re * p.c - p.im * p.s;
            p.im = p.re * p.s + p.im * p.c;
            p.re = re;
            sum += p.im;
        }
        return sum;
    }

private:
    struct Partial
    {
        double c, s, re, im;
    };
    std::vector<Partial> partials;
};

// Dense inharmonic partials from 40 Hz to 18 kHz falling 3 dB per octave: a
// noise-like bed with the same spectrum at every rate.
PartialBank noiseBed(double rate, uint32_t seed, double level)
{
    PartialBank bank;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 400; ++i)
    {
        const double hz = 40.0 * std::pow(450.0, unit(rng));
        bank.add(hz, level / std::sqrt(hz / 40.0), rate, 2.0 * std::numbers::pi * unit(rng));
    }
    return bank;
}

// A strummed guitar stand-in: a noise bed with a 110 Hz harmonic series,
// re-struck every 0.5 s and decaying.
std::vector<double> guitar(int n, double rate, uint32_t seed)
{
    PartialBank bank = noiseBed(rate, seed, 0.02);
    for (int h = 1; h * 110.0 < 6000.0; ++h)
        bank.add(110.0 * h, 0.1 / h, rate, 0.0);
    std::vector<double> s(n);
    for (int t = 0; t < n; ++t)
        s[t] = std::exp(-std::fmod(t / rate, 0.5) * 3.0) * bank.next();
    return s;
}

// A track with one band standing out from its neighbours (for Self).
std::vector<double> toneOverNoise(int n, double rate, uint32_t seed)
{
    PartialBank bank = noiseBed(rate, seed, 0.01);
    std::vector<double> s(n);
    for (int t = 0; t < n; ++t)
    {
        const double time = t / rate;
        const double swell = 0.6 + 0.4 * std::sin(2.0 * std::numbers::pi * 1.3 * time);
        s[t] = bank.next() + 0.08 * swell * std::sin(2.0 * std::numbers::pi * 1500.0 * time);
    }
    return s;
}

// Host block sizes: a fixed size, or (0) a random size from 1 to 1024 every block.
using BlockSizes = std::function<int()>;

BlockSizes fixedBlocks(int n)
{
    return [n] { return n; };
}

BlockSizes randomBlocks(uint32_t seed)
{
    auto rng = std::make_shared<std::mt19937>(seed);
    return [rng] { return std::uniform_int_distribution<int>(1, 1024)(*rng); };
}

constexpr double kSeconds = 4.0;
// The rate comparison listens longer: gates decide by thresholds, so a
// slightly different moment can flip a decision, and only a longer average
// shows what the rate itself changes.
constexpr double kRateSeconds = 10.0;
constexpr double kMeasureFrom = 1.0; // seconds: after the dips have settled in

// Mean dip per band (dB) of the dipped track of one render.
std::vector<double> renderDips(Pairing setup, double rate, const BlockSizes& nextBlock,
                               double seconds = kSeconds)
{
    const int total = static_cast<int>(seconds * rate);
    auto registry = testing::makeRegistry();
    const int channel = 5;
    auto source = testing::makeEngineOn(*registry, kRoleSource, channel, 100.0, rate);
    const int dippedRole = setup == Pairing::Self ? kRoleSelf : kRoleMasker;
    auto dipped = testing::makeEngineOn(*registry, dippedRole, channel, 100.0, rate);

    const std::vector<double> vocal = voice(total, rate);
    const std::vector<double> track =
        setup == Pairing::Self ? toneOverNoise(total, rate, 7) : guitar(total, rate, 11);
    const bool sidechain = setup == Pairing::SidechainMasker;
    dipped->settings().sidechainOn = sidechain ? 1 : 0;

    std::vector<double> out0(total), out1(total), sourceOut0(total), sourceOut1(total);
    std::vector<double> scratch(8192);
    for (int pos = 0; pos < total;)
    {
        const int n = std::min(nextBlock(), total - pos);
        const HostTransport transport{static_cast<double>(pos), true};
        if (setup == Pairing::RegistryMasker)
        {
            double* in[2] = {const_cast<double*>(vocal.data()) + pos,
                             const_cast<double*>(vocal.data()) + pos};
            double* out[2] = {sourceOut0.data() + pos, sourceOut1.data() + pos};
            processBlock(*source, ChannelList{in, nullptr, 2}, ChannelList{out, nullptr, 2}, 2,
                         transport, n, scratch);
        }
        double* side = const_cast<double*>(vocal.data()) + pos;
        double* in[4] = {const_cast<double*>(track.data()) + pos,
                         const_cast<double*>(track.data()) + pos, side, side};
        double* out[2] = {out0.data() + pos, out1.data() + pos};
        processBlock(*dipped, ChannelList{in, nullptr, sidechain ? 4 : 2},
                     ChannelList{out, nullptr, 2}, 2, transport, n, scratch);
        pos += n;
    }

    const std::vector<double> dry = testing::delayed(track, kEngineLatency);
    const int from = static_cast<int>(kMeasureFrom * rate);
    const std::vector<double> before = bandPowers(dry, from, total, rate);
    std::vector<double> dips = testing::bandChangeDb(before, bandPowers(out0, from, total, rate));
    // A band the material hardly reaches says nothing about its dip.
    const double strongest = *std::max_element(before.begin(), before.end());
    for (int k = 0; k < kBandCount; ++k)
        if (before[k] < 1e-6 * strongest)
            dips[k] = 0.0;
    return dips;
}

// Bands where the dip is worth comparing: some signal and a measurable dip
// in the reference (elsewhere both runs must stay within the small tolerance).
void expectSameDips(const std::vector<double>& reference, const std::vector<double>& dips,
                    double deepTolerance, double shallowTolerance, const std::string& what)
{
    for (int k = 0; k < kBandCount; ++k)
    {
        const double tolerance = reference[k] < -3.0 ? deepTolerance : shallowTolerance;
        EXPECT_NEAR(dips[k], reference[k], tolerance) << what << ", band " << k;
    }
}

std::string dipRow(const std::vector<double>& dips)
{
    std::string row;
    char cell[16];
    for (double d : dips)
    {
        std::snprintf(cell, sizeof cell, " %6.1f", d);
        row += cell;
    }
    return row;
}

struct BlockCase
{
    const char* name;
    int size; // 0: random every block
};

class BlockSizeIndependence : public ::testing::TestWithParam<Pairing>
{
};

TEST_P(BlockSizeIndependence, EveryBlockSizeDipsAsAt512)
{
    const Pairing setup = GetParam();
    const std::vector<double> reference = renderDips(setup, 48000.0, fixedBlocks(512));
    double deepest = 0.0;
    for (double d : reference)
        deepest = std::min(deepest, d);
    EXPECT_LT(deepest, -3.0) << "the material must really be dipped";
    std::printf("%-16s %6s%s\n", nameOf(setup), "512", dipRow(reference).c_str());

    const BlockCase cases[] = {{"1", 1},     {"16", 16},     {"64", 64},     {"100", 100},
                               {"333", 333}, {"4096", 4096}, {"8192", 8192}, {"random", 0}};
    for (const BlockCase& c : cases)
    {
        const std::vector<double> dips =
            renderDips(setup, 48000.0, c.size > 0 ? fixedBlocks(c.size) : randomBlocks(99));
        std::printf("%-16s %6s%s\n", nameOf(setup), c.name, dipRow(dips).c_str());
        expectSameDips(reference, dips, 1.0, 0.5, std::string("blocks of ") + c.name);
    }
}

TEST_P(BlockSizeIndependence, EverySampleRateDipsAsAt48k)
{
    const Pairing setup = GetParam();
    const std::vector<double> reference =
        renderDips(setup, 48000.0, fixedBlocks(512), kRateSeconds);
    for (double rate : {44100.0, 88200.0, 96000.0})
    {
        const std::vector<double> dips = renderDips(setup, rate, randomBlocks(7), kRateSeconds);
        std::printf("%-16s %6.0f%s\n", nameOf(setup), rate, dipRow(dips).c_str());
        expectSameDips(reference, dips, 1.5, 1.5, "rate " + std::to_string(rate));
    }
}

INSTANTIATE_TEST_SUITE_P(Setups, BlockSizeIndependence,
                         ::testing::Values(Pairing::RegistryMasker, Pairing::SidechainMasker,
                                           Pairing::Self),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

} // namespace
} // namespace ostrel
