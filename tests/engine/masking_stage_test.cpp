// The masking stage through its face, driven as the Masker/Self path drives
// it: what each way back (full reset, a role change, entering the path again,
// a start from rest, another registry) keeps and clears, and Self's periods
// dipping the band that stands out and no other.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "engine/bell_stage.h"
#include "engine/delay_lines.h"
#include "engine/engine_role.h"
#include "engine/masking_stage_probe.h"

namespace ostrel
{
namespace
{

constexpr double kRate = 48000.0;

// A seeded stage, and the band gains of a dip in progress.
struct SeededStage
{
    std::unique_ptr<MaskingStage> stage = std::make_unique<MaskingStage>();
    BandGains gains;

    SeededStage()
    {
        stage->reset();
        seedMaskingStage(*stage);
        for (int k = 0; k < kBandCount; ++k)
        {
            gains.bandGain[0][k] = 0.5;
            gains.bandGain[1][k] = 0.5;
        }
    }
};

struct WayBackCase
{
    std::string name;
    std::function<void(MaskingStage&, const BandGains&)> run;
    bool open;
    double amount;
    double gateGain;
    double envelope;
    int warmup;
    double held;
    double blockGain;
    float shared;
};

class MaskingStageWayBack : public ::testing::TestWithParam<WayBackCase>
{
};

TEST_P(MaskingStageWayBack, KeepsAndClearsItsOwnPart)
{
    const WayBackCase& c = GetParam();
    SeededStage s;
    c.run(*s.stage, s.gains);
    const MaskingStage& stage = *s.stage;
    for (int k = 0; k < kBandCount; ++k)
    {
        for (int ch = 0; ch < 2; ++ch)
        {
            EXPECT_EQ(stage.gateOpen(ch, k), c.open) << "band " << k;
            EXPECT_EQ(stage.gateAmount(ch, k), c.amount) << "band " << k;
            EXPECT_EQ(stage.gateGain(ch, k), c.gateGain) << "band " << k;
            EXPECT_EQ(stage.envelope(ch, k), c.envelope) << "band " << k;
        }
        EXPECT_EQ(stage.heldSourceLevel(k), c.held) << "band " << k;
        EXPECT_EQ(stage.blockGain(k), c.blockGain) << "band " << k;
        EXPECT_EQ(stage.sharedGain(k), c.shared) << "band " << k;
    }
    EXPECT_EQ(stage.warmupCount(), c.warmup);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, MaskingStageWayBack,
    ::testing::Values(
        WayBackCase{"FullReset", [](MaskingStage& m, const BandGains&) { m.reset(); }, false, 0.0,
                    1.0, 0.0, kLookaheadSamples, 0.0, 1.0, 1.0f},
        // A dip in progress glides on from the gains in use.
        WayBackCase{"RoleChange", [](MaskingStage& m, const BandGains& g) { m.changeRole(g); },
                    false, 0.0, 0.5, 0.7, 7, 0.0, 1.0, 0.25f},
        WayBackCase{"EnteringThePath", [](MaskingStage& m, const BandGains&) { m.freshen(); }, true,
                    0.5, 0.3, 0.0, 7, 1.0, 0.2, 0.25f},
        WayBackCase{"StartFromRest", [](MaskingStage& m, const BandGains&) { m.startFromRest(); },
                    true, 0.5, 0.3, 0.7, 0, 1.0, 0.2, 0.25f},
        WayBackCase{"AnotherRegistry", [](MaskingStage& m, const BandGains&) { m.forgetSource(); },
                    true, 0.5, 0.3, 0.7, 7, 0.0, 0.2, 1.0f}),
    [](const ::testing::TestParamInfo<WayBackCase>& info) { return info.param.name; });

// The stage on its own, fed period by period as the Masker/Self path feeds it.
class MaskingStagePeriods : public ::testing::TestWithParam<int>
{
protected:
    std::unique_ptr<PeerRegistry> registry = std::make_unique<PeerRegistry>();
    PeerLink link;
    SettingsSnapshot settings;
    BandTables tables;
    EngineMeters meters;
    std::unique_ptr<BellStage> bells = std::make_unique<BellStage>();
    std::unique_ptr<MaskingStage> stage = std::make_unique<MaskingStage>();
    BandPassBank filter[2];
    LowpassBank analysis;
    LowpassBank own;
    BandGains gains;
    int64_t pos = 0;

    void SetUp() override
    {
        tables.build(kRate);
        filter[0].design(tables.edgeHz, kRate);
        filter[1].design(tables.edgeHz, kRate);
        analysis.design(tables.edgeHz, kRate);
        own.design(tables.edgeHz, kRate);
        bells->reset(kRate);
        stage->reset();
        settings.role = kRoleSelf;
        settings.depthScaleDb = -48.0f;
        settings.depthBiasDb = -36.0f;
    }

    // One period of the signal (both channels alike).
    void runPeriod(const double* x, int n)
    {
        const MaskingContext ctx{settings, tables, *registry, link, meters, *bells, n, pos};
        stage->beginPeriod(ctx, pos, true, false);
        stage->measureSlice(analysis, own, x, x, nullptr, nullptr, n);
        BandGateLanes lanes;
        stage->loadGates(lanes);
        GateRuns runs(lanes);
        double y0[kBandCount];
        double y1[kBandCount];
        for (int t = 0; t < n; ++t)
        {
            filter[0].step(x[t], y0);
            filter[1].step(x[t], y1);
            const bool primed = stage->advanceWarmup(kLookaheadSamples);
            stage->follow(tables, y0, y1);
            if (primed)
                stage->stepGates(lanes, runs, gains, tables);
        }
        stage->storeGates(lanes);
        stage->closePeriod(ctx);
        pos += n;
    }
};

TEST_P(MaskingStagePeriods, SelfDipsTheBandThatStandsOutAndNoOther)
{
    const int band = GetParam();
    const double hz = tables.centreHz[band];
    constexpr int kPeriod = 480;
    std::vector<double> x(static_cast<size_t>(kRate));
    uint32_t seed = 7;
    for (size_t t = 0; t < x.size(); ++t)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed) / 4294967296.0 - 0.5) * 0.002;
        x[t] = noise + 0.3 * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(t) / kRate);
    }
    for (size_t from = 0; from + kPeriod <= x.size(); from += kPeriod)
        runPeriod(x.data() + from, kPeriod);

    EXPECT_LT(gains.bandGain[0][band], 0.5) << "the tone's band is not dipped";
    EXPECT_EQ(gains.bandGain[0][band], gains.bandGain[1][band]) << "alike channels differ";
    for (int k = 0; k < kBandCount; ++k)
    {
        if (std::abs(k - band) > 2)
        {
            EXPECT_EQ(gains.bandGain[0][k], 1.0) << "band " << k;
        }
    }
    // Identical channels are fully coherent: the link ties them.
    EXPECT_EQ(stage->stereoLink(band), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Bands, MaskingStagePeriods, ::testing::Values(6, 12, 18),
                         [](const ::testing::TestParamInfo<int>& info)
                         { return "Band" + std::to_string(info.param); });

} // namespace
} // namespace ostrel
