// The band gates' step on the chunk's folded bounds (eligibility, floor and
// threshold in one comparison) answers as the general lane step does, bit
// for bit: open flag, amount and ramp, for open and closed gates, at, just
// below and just above every threshold and the floor power.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/masking_gate_lanes.h"

namespace ostrel
{
namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct SetupCase
{
    const char* name;
    bool eligibleClosed;
    bool eligibleOpen;
    double openPower;
    double closePower;
    double fullPower;
};

// Envelopes whose power (envelope + 1e-30) lands at, and a few doubles
// around, each threshold of the case and the floor.
std::vector<double> envelopesAround(const SetupCase& c)
{
    std::vector<double> out = {0.0, 1e-40, 0.25, 4.0};
    for (const double t : {c.openPower, c.closePower, c.fullPower, kGateMinPower})
    {
        if (!std::isfinite(t))
            continue;
        for (double e : {t, t - 1e-30})
        {
            for (int i = 0; i < 3; ++i)
                e = std::nextafter(e, 0.0);
            for (int i = 0; i < 7; ++i, e = std::nextafter(e, 1.0))
                if (e >= 0.0)
                    out.push_back(e);
        }
    }
    return out;
}

class BandGateLaneStep : public ::testing::TestWithParam<SetupCase>
{
};

TEST_P(BandGateLaneStep, AnswersAsTheGeneralLaneStep)
{
    const SetupCase& c = GetParam();
    GateSetup g;
    g.eligibleClosed = c.eligibleClosed;
    g.eligibleOpen = c.eligibleOpen;
    g.openPower = c.openPower;
    g.closePower = c.closePower;
    g.fullPower = c.fullPower;
    BandGateLanes l{};
    constexpr int kBand = 5;
    l.loadLane(kBand, g);
    constexpr double kDecay = 0.999;
    int checked = 0;
    for (const double envelope : envelopesAround(c))
        for (const double wasOpen : {0.0, 1.0})
            // 1e-4 / 0.999 decays to just above the cut-off, 1e-4 below it.
            for (const double amount : {0.0, 1e-4, 1.0001e-4, 0.5, 1.0})
            {
                double open = wasOpen;
                double a = amount;
                const double ramp = gateLaneStep(open, a, envelope, g.eligibleClosed ? 1.0 : 0.0,
                                                 g.eligibleOpen ? 1.0 : 0.0, g.openPower,
                                                 g.closePower, g.fullPower, kDecay);
                double bandOpen = wasOpen;
                double bandAmount = amount;
                const double bandRamp =
                    bandGateLaneStep(l, kBand, bandOpen, bandAmount, envelope, kDecay);
                const std::string at = "envelope " + std::to_string(envelope) + " (" +
                                       std::to_string(std::bit_cast<uint64_t>(envelope)) +
                                       ") open " + std::to_string(wasOpen) + " amount " +
                                       std::to_string(amount);
                EXPECT_EQ(std::bit_cast<uint64_t>(bandOpen), std::bit_cast<uint64_t>(open)) << at;
                EXPECT_EQ(std::bit_cast<uint64_t>(bandAmount), std::bit_cast<uint64_t>(a)) << at;
                EXPECT_EQ(std::bit_cast<uint64_t>(bandRamp), std::bit_cast<uint64_t>(ramp)) << at;
                ++checked;
            }
    EXPECT_GT(checked, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Setups, BandGateLaneStep,
    ::testing::Values(SetupCase{"Eligible", true, true, 1e-6, 0.5e-6, 1.6e-5},
                      SetupCase{"OnlyWhileClosed", true, false, 1e-6, 0.5e-6, 1.6e-5},
                      // The 3 dB lower prominence bar: considered only once open.
                      SetupCase{"OnlyWhileOpen", false, true, 1e-6, 0.5e-6, 1.6e-5},
                      // A band without a source: every power 0.
                      SetupCase{"Never", false, false, 0.0, 0.0, 0.0},
                      // Thresholds under the floor power: the floor decides.
                      SetupCase{"BelowTheFloor", true, true, 4e-19, 2e-19, 6e-19},
                      SetupCase{"StraddlingTheFloor", true, true, 2e-18, 5e-19, 3e-17},
                      SetupCase{"FullAtOpen", true, true, 1e-6, 0.5e-6, 1e-6},
                      // Thresholds that are not numbers compare false, as before.
                      SetupCase{"NoOpenPower", true, true, kNaN, 0.5e-6, 1.6e-5},
                      SetupCase{"NoClosePower", true, true, 1e-6, kNaN, 1.6e-5},
                      SetupCase{"NoFullPower", true, true, 1e-6, 0.5e-6, kNaN}),
    [](const ::testing::TestParamInfo<SetupCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
