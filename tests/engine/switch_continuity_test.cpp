// Switching roles, bypass or Bell Listen while dips are moving must neither
// click nor bring back audio from before the switch, and one absurd sample
// must not leave the stereo statistics poisoned.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "masking_test_rig.h"

namespace ostrel
{
namespace
{

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr double kToneHz = 80.0;

// A lone low tone over a faint bed of other low tones: the tone stands out
// for Self and covers a sidechain tone for a Masker. It lies in the bands
// dipped in the time domain, where a step in gain reaches the output as a
// step (the spectral stage would smear it over a frame), and low tones keep
// the output's second difference small, so such a step stands out clearly.
std::vector<double> toneWithBed(int n)
{
    std::vector<double> s(n);
    for (int t = 0; t < n; ++t)
    {
        const double time = t / kRate;
        double v = 0.3 * std::sin(2.0 * std::numbers::pi * kToneHz * time);
        for (double hz : {30.0, 45.0, 130.0, 180.0, 250.0, 350.0})
            v += 0.004 * std::sin(2.0 * std::numbers::pi * hz * time);
        s[t] = v;
    }
    return s;
}

// Largest |x[t+1] - 2 x[t] + x[t-1]| over [from, to).
double largestSecondDifference(const std::vector<double>& x, int from, int to)
{
    double largest = 0.0;
    for (int t = std::max(from, 1); t < std::min<int>(to, static_cast<int>(x.size()) - 1); ++t)
        largest = std::max(largest, std::fabs(x[t + 1] - 2.0 * x[t] + x[t - 1]));
    return largest;
}

// Runs [from, to) of the input through the engine in kBlock blocks.
void run(SpectralEngine& e, const std::vector<double>& in, const std::vector<double>* side,
         std::vector<double>& out, int from, int to)
{
    std::vector<double> scratch(kBlock);
    std::vector<double> right(kBlock);
    for (int pos = from; pos < to; pos += kBlock)
    {
        const int n = std::min(kBlock, to - pos);
        double* ins[4] = {const_cast<double*>(in.data()) + pos,
                          const_cast<double*>(in.data()) + pos,
                          side ? const_cast<double*>(side->data()) + pos : nullptr,
                          side ? const_cast<double*>(side->data()) + pos : nullptr};
        double* outs[2] = {out.data() + pos, right.data()};
        processBlock(e, ChannelList{ins, nullptr, side ? 4 : 2}, ChannelList{outs, nullptr, 2}, 2,
                     HostTransport{static_cast<double>(pos), true}, n, scratch);
    }
}

struct SwitchCase
{
    const char* name;
    int role;       // before the switch
    bool sidechain; // the source is a quiet tone on the sidechain
    // Settings changes at the switch, each held for `holdMs` before the next.
    std::vector<std::function<void(SpectralEngine&)>> steps;
    double holdMs;
};

class SwitchContinuity : public ::testing::TestWithParam<SwitchCase>
{
};

TEST_P(SwitchContinuity, NoStepWhileDipsMove)
{
    const SwitchCase& c = GetParam();
    const int total = static_cast<int>(3.0 * kRate);
    const int switchAt = static_cast<int>(1.5 * kRate) / kBlock * kBlock;
    const std::vector<double> in = toneWithBed(total);
    std::vector<double> side = testing::sine(kToneHz, kRate, total, 0.05);
    auto registry = testing::makeRegistry();
    auto e = testing::makeEngineOn(*registry, c.role, 9, 100.0, kRate);
    e->settings().sidechainOn = c.sidechain ? 1 : 0;
    std::vector<double> out(total, 0.0);

    run(*e, in, c.sidechain ? &side : nullptr, out, 0, switchAt);
    // The tone really is dipped before the switch.
    const double dryLevel = testing::rms(in, switchAt - 12000, switchAt - 2000);
    const double wetLevel =
        testing::rms(out, switchAt - 12000 + kEngineLatency, switchAt - 2000 + kEngineLatency);
    ASSERT_LT(wetLevel, 0.5 * dryLevel) << "nothing dipped before the switch";

    int pos = switchAt;
    const int hold = static_cast<int>(c.holdMs * 0.001 * kRate) / kBlock * kBlock + kBlock;
    for (const auto& step : c.steps)
    {
        step(*e);
        run(*e, in, c.sidechain ? &side : nullptr, out, pos, pos + hold);
        pos += hold;
    }
    run(*e, in, c.sidechain ? &side : nullptr, out, pos, total);

    // A released dip lets the tone through at up to its undipped level, whose
    // own curvature is the steady state to compare with, and a gate that
    // opens bends the 20 ms glide of its gain (a kink of glideCoef times the
    // signal, as in normal running). A step in gain exceeds all three by far.
    const std::vector<double> dry = testing::delayed(in, kEngineLatency);
    double peak = 0.0;
    for (double x : in)
        peak = std::max(peak, std::fabs(x));
    const double steady = std::max({largestSecondDifference(out, switchAt - 8000, switchAt),
                                    largestSecondDifference(dry, switchAt - 8000, switchAt),
                                    e->bandFilters().tables().glideCoef * peak});
    const double around = largestSecondDifference(out, switchAt, pos + 2048 + kEngineLatency);
    EXPECT_LE(around, 2.0 * steady) << "steady " << steady;
}

auto setRole(int role)
{
    return [role](SpectralEngine& e) { e.settings().role = role; };
}
auto setBypass(bool on)
{
    return [on](SpectralEngine& e) { e.settings().bypass = on ? 1 : 0; };
}
auto setHostBypass(bool on)
{
    return [on](SpectralEngine& e) { e.setHostBypassed(on); };
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchContinuity,
    ::testing::Values(SwitchCase{"SelfToMasker", kRoleSelf, false, {setRole(kRoleMasker)}, 0.0},
                      SwitchCase{"MaskerToSourceAndBack",
                                 kRoleMasker,
                                 true,
                                 {setRole(kRoleSource), setRole(kRoleMasker)},
                                 10.0},
                      SwitchCase{"SelfToSourceAndBack",
                                 kRoleSelf,
                                 false,
                                 {setRole(kRoleSource), setRole(kRoleSelf)},
                                 10.0},
                      SwitchCase{"BypassOffAndOnWithin50ms",
                                 kRoleMasker,
                                 true,
                                 {setBypass(true), setBypass(false)},
                                 40.0},
                      SwitchCase{"HostBypassOffAndOnWithin50ms",
                                 kRoleSelf,
                                 false,
                                 {setHostBypass(true), setHostBypass(false)},
                                 40.0}),
    [](const auto& info) { return std::string(info.param.name); });

// A tone the instance heard before it left the Masker path must not come back
// when it returns after silence: not from the bells, not from the band state.
struct StaleCase
{
    const char* name;
    int between; // the role held while the tone stops and silence follows
};

class NoStaleAudio : public ::testing::TestWithParam<StaleCase>
{
};

TEST_P(NoStaleAudio, ReturningToMaskerAfterSilenceStaysSilent)
{
    const int total = static_cast<int>(4.0 * kRate);
    std::vector<double> in = testing::sine(1000.0, kRate, total, 0.3);
    const int toneEnds = static_cast<int>(1.5 * kRate) / kBlock * kBlock;
    std::fill(in.begin() + toneEnds, in.end(), 0.0);
    const std::vector<double> side = testing::sine(1000.0, kRate, total, 0.05);

    auto registry = testing::makeRegistry();
    auto e = testing::makeEngineOn(*registry, kRoleMasker, 9, 100.0, kRate);
    e->settings().sidechainOn = 1;
    e->settings().bellActive[0] = 1;
    e->settings().bellFreqHz[0] = 1000.0f;
    e->settings().bellDepthPercent[0] = 100.0f;
    std::vector<double> out(total, 0.0);

    const int leave = static_cast<int>(1.0 * kRate) / kBlock * kBlock;
    run(*e, in, &side, out, 0, leave);
    e->settings().role = GetParam().between;
    const int back = static_cast<int>(3.0 * kRate) / kBlock * kBlock; // 1.5 s of silence
    run(*e, in, &side, out, leave, back);
    e->settings().role = kRoleMasker;
    run(*e, in, &side, out, back, total);

    double loudest = 0.0;
    for (int t = back; t < total; ++t)
        loudest = std::max(loudest, std::fabs(out[t]));
    EXPECT_LT(loudest, 1e-6) << "audio from before the silence came back";
}

INSTANTIATE_TEST_SUITE_P(Roles, NoStaleAudio,
                         ::testing::Values(StaleCase{"ViaSource", kRoleSource},
                                           StaleCase{"ViaOff", kRoleOff}),
                         [](const auto& info) { return std::string(info.param.name); });

// Windowed RMS of x over [from, to) in windows of 256 samples.
std::vector<double> windowLevels(const std::vector<double>& x, int from, int to)
{
    std::vector<double> levels;
    for (int t = from; t + 256 <= to; t += 256)
        levels.push_back(testing::rms(x, t, t + 256));
    return levels;
}

TEST(BellListen, CrossfadesWhenTheBellSignalArrives)
{
    const int total = static_cast<int>(2.0 * kRate);
    std::vector<double> in = testing::sine(1000.0, kRate, total, 0.2);
    const std::vector<double> bed = testing::noise(total, 5, 0.02);
    for (int t = 0; t < total; ++t)
        in[t] += bed[t];
    auto registry = testing::makeRegistry();
    auto e = testing::makeEngineOn(*registry, kRoleSelf, 9, 100.0, kRate);
    e->settings().bellActive[0] = 1;
    e->settings().bellFreqHz[0] = 1000.0f;
    std::vector<double> out(total, 0.0);
    const int select = total / 2 / kBlock * kBlock;
    run(*e, in, nullptr, out, 0, select);
    e->settings().bellListen = 0;
    run(*e, in, nullptr, out, select, total);

    const double before = testing::rms(out, select - 4096, select);
    const double after = testing::rms(out, total - 8192, total);
    const double floor = std::min(before, after) * std::pow(10.0, -1.0 / 20.0);
    for (double level : windowLevels(out, select, total - 8192))
        EXPECT_GE(level, floor) << "before " << before << ", after " << after;
}

TEST(HugeSample, LeavesNoTraceTwoSecondsLater)
{
    const int total = static_cast<int>(3.0 * kRate);
    std::vector<double> left = testing::pinkNoise(total, 3, 0.05);
    const std::vector<double> extra = testing::pinkNoise(total, 4, 0.02);
    std::vector<double> right(total);
    for (int t = 0; t < total; ++t)
        right[t] = 0.8 * left[t] + extra[t]; // partly correlated: a stereo link between 0 and 1
    const std::vector<double> side = testing::pinkNoise(total, 6, 0.01);

    auto render = [&](bool spike, std::vector<double>& link)
    {
        auto registry = testing::makeRegistry();
        auto e = testing::makeEngineOn(*registry, kRoleMasker, 9, 100.0, kRate);
        e->settings().sidechainOn = 1;
        std::vector<double> l = left;
        if (spike)
            l[static_cast<int>(0.5 * kRate)] = 1e200;
        std::vector<double> out0(total), out1(total), scratch(kBlock);
        for (int pos = 0; pos < total; pos += kBlock)
        {
            double* ins[4] = {l.data() + pos, right.data() + pos,
                              const_cast<double*>(side.data()) + pos,
                              const_cast<double*>(side.data()) + pos};
            double* outs[2] = {out0.data() + pos, out1.data() + pos};
            processBlock(*e, ChannelList{ins, nullptr, 4}, ChannelList{outs, nullptr, 2}, 2,
                         HostTransport{static_cast<double>(pos), true},
                         std::min(kBlock, total - pos), scratch);
        }
        link.clear();
        for (int k = 0; k < kBandCount; ++k)
            link.push_back(e->masking().stereoLink(k));
        return testing::bandPowers(out0, static_cast<int>(2.5 * kRate), total);
    };
    std::vector<double> cleanLink, spikeLink;
    const std::vector<double> clean = render(false, cleanLink);
    const std::vector<double> spiked = render(true, spikeLink);
    const std::vector<double> change = testing::bandChangeDb(clean, spiked);
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_NEAR(spikeLink[k], cleanLink[k], 0.02) << "band " << k;
        EXPECT_NEAR(change[k], 0.0, 0.5) << "band " << k;
    }
}

} // namespace
} // namespace ostrel
