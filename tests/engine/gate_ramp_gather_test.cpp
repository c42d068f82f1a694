// The band gates' ramp logarithms taken over the ramping lanes alone, gathered
// into whole vectors, or over groups of four bands (vectors of four doubles),
// give what the pass over groups of eight bands (of eight doubles) gives, bit
// for bit, whichever lanes ramp: each lane must come back to its own channel
// and band. And the choice between gathering and groups per chunk follows
// where the ramps fell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/masking_gate_lanes.h"
#include "engine/vector_version.h"

namespace ostrel
{
namespace
{

struct RampCase
{
    const char* name;
    uint64_t ramp0; // bands of channel 0 whose gate is on its ramp
    uint64_t ramp1;
    bool gathers; // the lanes save enough to be gathered
    int from = 0;
    int to = kBandCount;
};

struct Result
{
    GateState gates;
    BandGains gains;
    bool gathered = false;
};

// Every band's gate open and eligible; a ramping band's power lies between
// its open and full powers, any other band's above the full power.
template <RampPass kPass> Result step(const RampCase& c)
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
        l.loadLane(m, g);
        const double ramping = 3e-5 * (1 + m) + 1e-7 * m * m;
        r.gates.bandEnvelope0[m] = (c.ramp0 >> m & 1) != 0 ? ramping : 0.5;
        r.gates.bandEnvelope1[m] = (c.ramp1 >> m & 1) != 0 ? 1.37 * ramping : 0.5;
    }
    for (int m = 0; m < kBandCount; ++m)
        l.open0[m] = l.open1[m] = 1.0;
    stepBandGates<kPass>(r.gates, l, r.gains, stereo, tables, c.from, c.to);
    if (kPass == RampPass::Gathered)
    {
        // The same lanes again, on a copy: whether the gathered pass took them.
        GateState scratch = r.gates;
        constexpr int kBands = kRampGroupBands<kPass>;
        int groupsHolding = 0;
        for (int first = c.from; first < c.to; first += kBands)
            groupsHolding += groupHoldsRamp<kBands>(l, first) ? 1 : 0;
        r.gathered = gatheredRampAmounts(scratch, l, c.from, c.to, 2 * kBands * groupsHolding);
    }
    return r;
}

class GateRampGather : public ::testing::TestWithParam<RampCase>
{
};

TEST_P(GateRampGather, GivesTheAmountsOfTheWideGroups)
{
    const Result perRun = step<RampPass::WideGroups>(GetParam());
    const Result gathered = step<RampPass::Gathered>(GetParam());
    const Result narrow = step<RampPass::NarrowGroups>(GetParam());
    EXPECT_EQ(gathered.gathered, GetParam().gathers);
    for (const Result* r : {&gathered, &narrow})
    {
        EXPECT_EQ(std::memcmp(r->gates.gateAmount0, perRun.gates.gateAmount0,
                              sizeof perRun.gates.gateAmount0),
                  0);
        EXPECT_EQ(std::memcmp(r->gates.gateAmount1, perRun.gates.gateAmount1,
                              sizeof perRun.gates.gateAmount1),
                  0);
        EXPECT_EQ(
            std::memcmp(r->gains.bandGain, perRun.gains.bandGain, sizeof perRun.gains.bandGain), 0);
    }
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
    ::testing::Values(RampCase{"None", 0, 0, false}, RampCase{"OneRunOnly", 0x10, 0x30, false},
                      RampCase{"OneLanePerRunChannel0", 0x010101, 0, true},
                      RampCase{"OneLanePerRunChannel1", 0, 0x800080, false},
                      RampCase{"LastLaneOfEachRun", 0x808080, 0x808080, true},
                      RampCase{"ChannelsApart", 0x000f01, 0xf00000, false},
                      // Half the lanes of every group ramp: gathering halves the vectors.
                      RampCase{"Alternate", 0x555555, 0xaaaaaa, true},
                      RampCase{"TwoOfEveryFourBands", 0x333333, 0, true},
                      RampCase{"AcrossGroupEdges", 0x0000f0, 0x000018, false},
                      RampCase{"AWholeVectorAndOneMore", 0x00000f, 0x100000, false},
                      RampCase{"Every", kAll, kAll, false},
                      RampCase{"LaterRunsOnly", 0x0f0f00, 0x110100, false, 8, kBandCount}),
    [](const ::testing::TestParamInfo<RampCase>& info) { return std::string(info.param.name); });

// How the ramps fell over a chunk, and whether the next one gathers: where
// a quarter of the steps or more gathered, else where the chunk's last step
// would have (three groups of four bands or more holding few lanes).
struct ChoiceCase
{
    const char* name;
    int gatheringSteps;
    int gatheredSteps;
    uint64_t lastRamp0; // the last step's ramping bands, channel 0
    bool gathers;       // on vectors of four doubles or fewer
};

class RampGatheringChoice : public ::testing::TestWithParam<ChoiceCase>
{
};

TEST_P(RampGatheringChoice, FollowsWhereTheRampsFell)
{
    const ChoiceCase& c = GetParam();
    BandGateLanes l{};
    l.gatheringSteps = c.gatheringSteps;
    l.gatheredSteps = c.gatheredSteps;
    for (int m = 0; m < kBandCount; ++m)
        l.ramp0[m] = (c.lastRamp0 >> m & 1) != 0 ? 1.0 : 0.0;
    const VectorVersion before = activeVectorVersion();
    for (const VectorVersion v :
         {VectorVersion::Baseline, VectorVersion::Avx2, VectorVersion::Avx512})
    {
        if (!chooseVectorVersion(v))
            continue;
        RampGathering choice;
        choice.update(l);
        // Eight doubles a vector: a run's pass is about what gathering costs.
        EXPECT_EQ(choice.gathers(), c.gathers && v != VectorVersion::Avx512)
            << vectorVersionName(v);
    }
    chooseVectorVersion(before);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, RampGatheringChoice,
    ::testing::Values(ChoiceCase{"NoStep", 0, 0, 0, false},
                      ChoiceCase{"LastStepInOneGroup", 0, 0, 0x00000f, false},
                      ChoiceCase{"LastStepInTwoGroups", 0, 0, 0x000011, false},
                      ChoiceCase{"LastStepInThreeGroups", 0, 0, 0x000111, true},
                      ChoiceCase{"LastStepInThreeCrowdedGroups", 0, 0, 0x000fff, false},
                      ChoiceCase{"LastStepInEveryGroup", 0, 0, 0x111111, true},
                      // A chunk that may gather goes by its steps, not its last one.
                      ChoiceCase{"GatheredAQuarter", 64, 16, 0, true},
                      ChoiceCase{"GatheredLess", 64, 15, 0x010101, false}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
