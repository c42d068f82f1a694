// The optimised paths against the reference (reference_paths.h): two worlds,
// each with its own registry, fed the same material in the same blocks, one
// run by the product's processChunk and one by the reference. Bit-exact
// where the product promises it (Off, bypass, Source, Depth 0 with no bell),
// elsewhere within 1e-9 of the input's RMS, at several rates and block
// patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/reference_paths.h"
#include "masking_test_rig.h"

namespace ostrel::testing
{
namespace
{

struct Case
{
    const char* name;
    int role;
    double depthPercent = 100.0;
    bool bypass = false;
    bool sidechain = false; // the Masker follows a sidechain, no Source peer
    bool listen = false;
    int bellListen = -1;
    bool switchRoles = false;      // Masker, then Off, Source and Masker again
    bool spikes = false;           // non-finite and absurd samples in the input
    bool sourcePause = false;      // the Source falls silent long enough for the gates to rest
    bool sourceLosesHighs = false; // the Source's high bands end while its low ones go on
    bool bells = true;             // the four bells active at full depth
    bool bellsSwitch = false;      // bells at mixed depths, switched off and on again
    bool floatSamples = false;     // material a 32-bit host delivers
    double rate = 48000.0;
    std::vector<int> blocks = {512};
    bool bitExact = false;
};

struct World
{
    std::unique_ptr<PeerRegistry> registry = makeRegistry();
    std::unique_ptr<SpectralEngine> source;
    std::unique_ptr<SpectralEngine> subject;
    bool reference = false;

    void chunk(SpectralEngine& e, const double* a, const double* b, double* o0, double* o1, int n,
               int64_t pos, const double* s0, const double* s1)
    {
        if (reference)
            reference::processChunk(e, a, b, o0, o1, n, pos, true, s0, s1);
        else
            e.processChunk(a, b, o0, o1, n, pos, true, s0, s1);
    }
};

void configure(SpectralEngine& e, const Case& c)
{
    e.settings().selectivity = 3.0f;
    e.settings().bypass = c.bypass ? 1 : 0;
    e.settings().listen = c.listen ? 1 : 0;
    e.settings().bellListen = c.bellListen;
    e.settings().sidechainOn = c.sidechain ? 1 : 0;
    for (int b = 0; b < kBellCount; ++b)
    {
        e.settings().bellActive[b] = c.bells ? 1 : 0;
        e.settings().bellDepthPercent[b] = 100.0f;
        e.settings().bellFreqHz[b] = static_cast<float>(300.0 * (1 << (2 * b)));
    }
}

// Bells 1 and 2 are switched off and on every tenth of the run, out of step,
// while the others dip on at their own depths.
void switchBells(EngineSettings& settings, int t, int length)
{
    constexpr float kDepths[kBellCount] = {100.0f, 60.0f, 35.0f, 80.0f};
    for (int b = 0; b < kBellCount; ++b)
        settings.bellDepthPercent[b] = kDepths[b];
    const int tenth = t / (length / 10);
    settings.bellActive[1] = tenth % 2 == 0 ? 1 : 0;
    settings.bellActive[2] = tenth % 3 != 1 ? 1 : 0;
}

World makeWorld(const Case& c, bool reference)
{
    World w;
    w.reference = reference;
    const int channel = 5;
    if (!c.sidechain)
        w.source = makeEngineOn(*w.registry, kRoleSource, channel, 100.0, c.rate);
    w.subject = makeEngineOn(*w.registry, c.role, channel, c.depthPercent, c.rate);
    configure(*w.subject, c);
    return w;
}

// The subject's role at sample t of a role-switching run.
int roleAt(const Case& c, int t, int length)
{
    if (!c.switchRoles)
        return c.role;
    const int quarter = length / 4;
    const int roles[4] = {kRoleMasker, kRoleOff, kRoleSource, kRoleMasker};
    return roles[std::min(3, t / quarter)];
}

struct Material
{
    std::vector<double> left, right, source;
};

Material materialFor(const Case& c, int length)
{
    Material m;
    m.source = vowel(length, 0.1);
    m.left = noise(length, 7, 0.3);
    m.right = noise(length, 8, 0.3);
    const std::vector<double> tone = vowel(length, 0.05, 130.0);
    for (int t = 0; t < length; ++t)
    {
        m.left[t] += tone[t];
        m.right[t] += 0.5 * tone[t];
    }
    if (c.sourceLosesHighs)
    {
        // A low tone throughout, with a first difference of noise (mostly
        // high bands) over its first 40 %.
        const std::vector<double> hiss = noise(length, 9, 0.1);
        for (int t = 0; t < length; ++t)
            m.source[t] = 0.1 * std::sin(0.02 * t) +
                          (t > 0 && t < length * 4 / 10 ? hiss[t] - hiss[t - 1] : 0.0);
    }
    if (c.sourcePause)
        std::fill(m.source.begin() + length * 3 / 10, m.source.begin() + length * 7 / 10, 0.0);
    if (c.spikes)
    {
        m.left[length / 3] = std::nan("");
        m.right[length / 3 + 7] = INFINITY;
        m.left[length / 2] = 1e200;
    }
    if (c.floatSamples)
        for (auto* v : {&m.left, &m.right, &m.source})
            for (double& x : *v)
                x = static_cast<double>(static_cast<float>(x));
    return m;
}

// 1e-9 of the signal's RMS at each output sample, or, where an absurd input
// sample's frames reach the output, of that sample spread over a frame.
std::vector<double> toleranceAlong(const Material& m, int length, double signalRms)
{
    std::vector<double> tolerance(static_cast<size_t>(length), 1e-9 * signalRms);
    for (int i = 0; i < length; ++i)
    {
        const double peak = std::max(std::fabs(m.left[static_cast<size_t>(i)]),
                                     std::fabs(m.right[static_cast<size_t>(i)]));
        if (!std::isfinite(peak) || peak < 1e3)
            continue;
        const double spread = 1e-9 * peak / std::sqrt(static_cast<double>(kStftSize));
        const int from = std::max(0, i + kEngineLatency - 2 * kStftSize);
        const int to = std::min(length, i + kEngineLatency + 2 * kStftSize);
        for (int j = from; j < to; ++j)
            tolerance[static_cast<size_t>(j)] = std::max(tolerance[static_cast<size_t>(j)], spread);
    }
    return tolerance;
}

class ReferenceEquivalence : public ::testing::TestWithParam<Case>
{
};

TEST_P(ReferenceEquivalence, OutputMatchesTheReference)
{
    const Case& c = GetParam();
    const int length = static_cast<int>(1.6 * c.rate);
    const Material m = materialFor(c, length);
    World worlds[2] = {makeWorld(c, false), makeWorld(c, true)};
    std::vector<double> out[2][2];
    for (auto& o : out)
        for (auto& ch : o)
            ch.assign(static_cast<size_t>(length), 0.0);
    std::vector<double> sourceOut(static_cast<size_t>(length));

    int t = 0;
    size_t blockIndex = 0;
    while (t < length)
    {
        const int n = std::min(length - t, c.blocks[blockIndex++ % c.blocks.size()]);
        const int role = roleAt(c, t, length);
        for (int w = 0; w < 2; ++w)
        {
            World& world = worlds[w];
            world.subject->settings().role = role;
            if (c.bellsSwitch)
                switchBells(world.subject->settings(), t, length);
            if (world.source)
                world.chunk(*world.source, m.source.data() + t, m.source.data() + t,
                            sourceOut.data() + t, sourceOut.data() + t, n, t, nullptr, nullptr);
            const double* side = c.sidechain ? m.source.data() + t : nullptr;
            world.chunk(*world.subject, m.left.data() + t, m.right.data() + t, out[w][0].data() + t,
                        out[w][1].data() + t, n, t, side, side);
        }
        t += n;
    }

    const double signalRms =
        std::sqrt(0.5 * (rms(m.left, 0, length / 3) * rms(m.left, 0, length / 3) +
                         rms(m.right, 0, length / 3) * rms(m.right, 0, length / 3)));
    // An absurd but finite sample (1e200) enters the spectral frames it falls
    // in; the output those frames build is held to the same 1e-9, but of
    // the signal as fed there (the sample spread over its frame).
    const std::vector<double> tolerance = toleranceAlong(m, length, signalRms);
    for (int ch = 0; ch < 2; ++ch)
    {
        double worst = 0.0;
        int firstDifference = -1;
        for (int i = 0; i < length; ++i)
        {
            const double a = out[0][ch][static_cast<size_t>(i)];
            const double b = out[1][ch][static_cast<size_t>(i)];
            if (std::memcmp(&a, &b, sizeof a) != 0 && firstDifference < 0)
                firstDifference = i;
            // As a multiple of the tolerance where it is not bit-exact.
            worst = std::max(worst, std::fabs(a - b) / tolerance[static_cast<size_t>(i)]);
        }
        if (c.bitExact)
            EXPECT_EQ(firstDifference, -1)
                << "channel " << ch << " differs first at sample " << firstDifference;
        else
            EXPECT_LE(worst, 1.0) << "channel " << ch << ": worst difference in tolerances";
    }
    // A dipping case must exercise what it claims: dips, not a pass-through.
    if (c.role == kRoleMasker && !c.bypass && (c.depthPercent > 0.0 || c.bells) && !c.switchRoles)
    {
        double removed = 0.0;
        for (int i = length / 2; i < length; ++i)
            removed += std::fabs(out[0][0][static_cast<size_t>(i)] -
                                 m.left[static_cast<size_t>(i - kEngineLatency)]);
        EXPECT_GT(removed, 1e-3 * (length / 2) * signalRms) << "the Masker never dipped";
    }
}

const std::vector<int> kRandomBlocks = {1, 37, 512, 4096, 64, 3, 1000, 128, 2048, 17};

INSTANTIATE_TEST_SUITE_P(
    Paths, ReferenceEquivalence,
    ::testing::Values(
        Case{.name = "OffSettling", .role = kRoleOff, .switchRoles = false, .bitExact = true},
        Case{.name = "Bypass", .role = kRoleMasker, .bypass = true, .bitExact = true},
        Case{.name = "Source", .role = kRoleSource, .blocks = kRandomBlocks, .bitExact = true},
        Case{.name = "DepthZero",
             .role = kRoleMasker,
             .depthPercent = 0.0,
             .bells = false,
             .bitExact = true},
        Case{.name = "DepthZeroBells", .role = kRoleMasker, .depthPercent = 0.0},
        Case{.name = "Masker", .role = kRoleMasker},
        Case{.name = "MaskerRandomBlocks", .role = kRoleMasker, .blocks = kRandomBlocks},
        Case{.name = "MaskerFloat44k",
             .role = kRoleMasker,
             .floatSamples = true,
             .rate = 44100.0,
             .blocks = {64}},
        Case{.name = "Masker96kBlock1", .role = kRoleMasker, .rate = 96000.0, .blocks = {1, 2, 3}},
        Case{.name = "MaskerSidechain", .role = kRoleMasker, .sidechain = true},
        Case{.name = "MaskerListen", .role = kRoleMasker, .listen = true, .blocks = {256}},
        Case{.name = "MaskerBellListen", .role = kRoleMasker, .bellListen = 2},
        Case{.name = "MaskerSpikes", .role = kRoleMasker, .spikes = true},
        Case{.name = "MaskerSourceLosesHighs",
             .role = kRoleMasker,
             .sourceLosesHighs = true,
             .blocks = {256}},
        Case{.name = "MaskerSourcePause",
             .role = kRoleMasker,
             .sourcePause = true,
             .blocks = kRandomBlocks},
        Case{.name = "BellsSwitching",
             .role = kRoleMasker,
             .depthPercent = 0.0,
             .bellsSwitch = true,
             .blocks = kRandomBlocks},
        Case{.name = "Self", .role = kRoleSelf, .blocks = kRandomBlocks},
        Case{.name = "SelfFloat", .role = kRoleSelf, .floatSamples = true, .blocks = {64}},
        Case{.name = "RoleSwitches",
             .role = kRoleMasker,
             .switchRoles = true,
             .blocks = kRandomBlocks}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel::testing
