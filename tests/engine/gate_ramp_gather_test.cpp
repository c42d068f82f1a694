// The band gates' ramp logarithms taken over the ramping lanes alone, gathered
// into whole vectors, give what the pass over each run of eight bands gives,
// bit for bit, whichever lanes ramp: the gathered lanes must come back to
// their own channel and band.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/masking_gate_lanes.h"

namespace ostrel
{
namespace
{

struct RampCase
{
    const char* name;
    uint64_t ramp0; // bands of channel 0 whose gate is on its ramp
    uint64_t ramp1;
    int from = 0;
    int to = kBandCount;
};

struct Result
{
    GateState gates;
    BandGains gains;
};

// Every band's gate open and eligible; a ramping band's power lies between
// its open and full powers, any other band's above the full power.
Result step(const RampCase& c, int gatherSaving)
{
    Result r;
    BandGateLanes l{};
    StereoStatistics stereo;
    BandTables tables;
    tables.glideCoef = 0.01;
    tables.levelDecay = 0.999;
    for (int m = 0; m < kBandCount; ++m)
    {
        GateSetup g;
        g.eligibleClosed = true;
        g.eligibleOpen = true;
        g.openPower = 1e-6 * (1 + m);
        g.closePower = 0.5e-6 * (1 + m);
        g.fullPower = 1e-2;
        g.openThresholdDb = 3.0;
        g.amountDivisor = 24.0;
        g.spreadDb = -50.0;
        g.targetGain = 0.25;
        r.gates.gateOpen0[m] = 1;
        r.gates.gateOpen1[m] = 1;
        r.gates.gateAmount0[m] = 0.5;
        r.gates.gateAmount1[m] = 0.5;
        loadGateSetupLane(l, m, g);
        const GateRampLine line = gateRampLine(g);
        l.rampScale[m] = line.scale;
        l.rampOffset[m] = line.offset;
        const double ramping = 3e-5 * (1 + m) + 1e-7 * m * m;
        r.gates.bandEnvelope0[m] = (c.ramp0 >> m & 1) != 0 ? ramping : 0.5;
        r.gates.bandEnvelope1[m] = (c.ramp1 >> m & 1) != 0 ? 1.37 * ramping : 0.5;
    }
    for (int m = 0; m < kBandCount; ++m)
        l.open0[m] = l.open1[m] = 1.0;
    l.rampGatherSaving = gatherSaving;
    stepBandGates(r.gates, l, r.gains, stereo, tables, c.from, c.to);
    return r;
}

class GateRampGather : public ::testing::TestWithParam<RampCase>
{
};

TEST_P(GateRampGather, GivesTheAmountsOfThePassOverRuns)
{
    const Result perRun = step(GetParam(), BandGateLanes::kNeverGather);
    const Result gathered = step(GetParam(), 0);
    EXPECT_EQ(std::memcmp(gathered.gates.gateAmount0, perRun.gates.gateAmount0,
                          sizeof perRun.gates.gateAmount0),
              0);
    EXPECT_EQ(std::memcmp(gathered.gates.gateAmount1, perRun.gates.gateAmount1,
                          sizeof perRun.gates.gateAmount1),
              0);
    EXPECT_EQ(
        std::memcmp(gathered.gains.bandGain, perRun.gains.bandGain, sizeof perRun.gains.bandGain),
        0);
    // A ramping lane's amount moved off the 0.5 it held (the case is set up
    // so none lands on it), and a full one reached 1.
    for (int m = GetParam().from; m < GetParam().to; ++m)
    {
        const uint64_t bit = uint64_t{1} << m;
        EXPECT_EQ(perRun.gates.gateAmount0[m] != 1.0, (GetParam().ramp0 & bit) != 0) << m;
        EXPECT_EQ(perRun.gates.gateAmount1[m] != 1.0, (GetParam().ramp1 & bit) != 0) << m;
    }
}

constexpr uint64_t kAll = (uint64_t{1} << kBandCount) - 1;

INSTANTIATE_TEST_SUITE_P(
    Lanes, GateRampGather,
    ::testing::Values(RampCase{"None", 0, 0}, RampCase{"OneRunOnly", 0x10, 0x30},
                      RampCase{"OneLanePerRunChannel0", 0x010101, 0},
                      RampCase{"OneLanePerRunChannel1", 0, 0x800080},
                      RampCase{"LastLaneOfEachRun", 0x808080, 0x808080},
                      RampCase{"ChannelsApart", 0x000f01, 0xf00000},
                      RampCase{"Alternate", 0x555555, 0xaaaaaa},
                      RampCase{"AWholeVectorAndOneMore", 0x00000f, 0x100000},
                      RampCase{"Every", kAll, kAll},
                      RampCase{"LaterRunsOnly", 0x0f0f00, 0x110100, 8, kBandCount}),
    [](const ::testing::TestParamInfo<RampCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
