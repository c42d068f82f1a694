#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/band_gates.h"
#include "engine/masking_gate_lanes.h"
#include "engine/stereo_link.h"

namespace ostrel
{
namespace
{

double dbToPower(double db)
{
    return std::pow(10.0, db / 10.0);
}

// One band's gate with a spread of 0.01 (-40 dB), open threshold 4 dB, close
// 1 dB, a -24 dB target and a band that stands out by 6 dB.
class BandGateTest : public ::testing::Test
{
protected:
    GateSetupInputs in;
    uint8_t open = 0;
    double amount = 0.0;
    const double decay = std::exp(-1.0 / (0.08 * 48000.0));

    void SetUp() override
    {
        in.sourceLive = true;
        in.maskSpread = 0.01;
        in.weightedSpread = 0.01;
        in.spreadFloor = 1e-6;
        in.prominenceDb = 6.0;
        in.prominenceThresholdDb = 1.0;
        in.openThresholdDb = 4.0;
        in.closeThresholdDb = 1.0;
        in.amountDivisor = 12.0;
        in.targetGain = std::pow(10.0, -24.0 / 20.0);
    }
    // Envelope power for a band level `db` above the spread.
    double envelopeAt(double db) const { return in.maskSpread * in.maskSpread * dbToPower(db); }
    double step(double levelOverSpreadDb, const GateSetup& g)
    {
        return gateStep(open, amount, envelopeAt(levelOverSpreadDb), g, decay);
    }
};

TEST_F(BandGateTest, TwelveDecibelsOverTheOpenThresholdGivesTheFullDip)
{
    const GateSetup g = makeGateSetup(in);
    EXPECT_DOUBLE_EQ(step(16.5, g), in.targetGain);
    EXPECT_EQ(open, 1);
    EXPECT_EQ(amount, 1.0);
    // Halfway up the ramp: half the dip (in linear gain).
    EXPECT_NEAR(step(10.0, g), 1.0 + 0.5 * (in.targetGain - 1.0), 1e-9);
    EXPECT_NEAR(amount, 0.5, 1e-9);
}

TEST_F(BandGateTest, BetweenTheThresholdsTheGateKeepsItsState)
{
    const GateSetup g = makeGateSetup(in);
    EXPECT_EQ(step(2.5, g), 1.0);
    EXPECT_EQ(open, 0);
    step(10.0, g);
    ASSERT_EQ(open, 1);
    const double before = amount;
    // Open and between the thresholds: stays open, the amount fades (80 ms).
    step(2.5, g);
    EXPECT_EQ(open, 1);
    EXPECT_DOUBLE_EQ(amount, before * decay);
    for (int i = 0; i < 48000; ++i)
        step(2.5, g);
    EXPECT_EQ(open, 1);
    EXPECT_EQ(amount, 0.0); // below 1e-4 it snaps to 0
    EXPECT_EQ(step(2.5, g), 1.0);
    // Below the close threshold it closes.
    step(0.5, g);
    EXPECT_EQ(open, 0);
}

TEST_F(BandGateTest, AnOpenGateNeedsThreeDecibelsLessProminence)
{
    in.prominenceDb = 0.5; // below 1 dB, above 1 - 3 dB
    const GateSetup g = makeGateSetup(in);
    EXPECT_EQ(step(20.0, g), 1.0);
    EXPECT_EQ(open, 0);
    open = 1;
    EXPECT_DOUBLE_EQ(step(20.0, g), in.targetGain);
    EXPECT_EQ(open, 1);
}

TEST_F(BandGateTest, NoSourceOrTooLittleSpreadOrLevelKeepsTheGateShut)
{
    auto check = [&](GateSetupInputs changed, double levelDb, double envelope = -1.0)
    {
        const GateSetup g = makeGateSetup(changed);
        open = 1;
        amount = 0.7;
        const double e = envelope >= 0.0 ? envelope : envelopeAt(levelDb);
        EXPECT_EQ(gateStep(open, amount, e, g, decay), 1.0);
        EXPECT_EQ(open, 0);
        EXPECT_EQ(amount, 0.0);
    };
    GateSetupInputs c = in;
    c.sourceLive = false;
    check(c, 20.0);
    c = in;
    c.weightedSpread = c.spreadFloor; // not above the floor
    check(c, 20.0);
    c = in;
    c.maskSpread = 2.5e-4;
    check(c, 20.0, 1.0);
    check(in, 0.0, 1e-19); // level below 1e-9
}

TEST(GateGlideTest, ReleaseEndsAtExactlyUnity)
{
    const double glide = 1.0 - std::exp(-1.0 / (0.02 * 48000.0));
    double gain = 0.01;
    int samples = 0;
    while (gain != 1.0 && samples < 48000)
    {
        glideGain(gain, 1.0, glide);
        ++samples;
    }
    EXPECT_EQ(gain, 1.0);
    // From -40 dB to within 1e-6 at a 20 ms time constant: about 11.5 time constants.
    EXPECT_NEAR(samples / 48.0, 20.0 * std::log(0.99 / 1e-6), 2.0);
    // Toward a dip the glide never snaps.
    gain = 1.0;
    glideGain(gain, 1.0 - 1e-7, glide);
    EXPECT_LT(gain, 1.0);
}

TEST(StereoLinkTest, CoherentChannelsAreFullyLinkedWithinOneAndAHalfDecibels)
{
    const StereoLinkBand full = stereoLinkFromStatistics(0.5, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(full.stereoLink, 1.0);
    EXPECT_NEAR(20.0 * std::log10(full.linkRatio), 1.5, 1e-12);
    double g0 = 0.1;
    double g1 = 0.9;
    linkChannelGains(g0, g1, full.stereoLink, full.linkRatio);
    EXPECT_DOUBLE_EQ(g0, 0.1);
    EXPECT_DOUBLE_EQ(g1, 0.1);
}

TEST(StereoLinkTest, UncorrelatedOrAntiPhaseChannelsAreNotLinked)
{
    for (double coherence : {0.0, 0.2, -1.0})
    {
        const StereoLinkBand none = stereoLinkFromStatistics(coherence, 1.0, 1.0);
        EXPECT_EQ(none.stereoLink, 0.0);
        EXPECT_EQ(none.linkRatio, kUnlinkedRatio);
        double g0 = 0.01;
        double g1 = 1.0;
        linkChannelGains(g0, g1, none.stereoLink, none.linkRatio);
        EXPECT_EQ(g0, 0.01);
        EXPECT_EQ(g1, 1.0);
    }
    // Silent channel: no coherence at all.
    EXPECT_EQ(stereoLinkFromStatistics(0.0, 1.0, 0.0).stereoLink, 0.0);
    EXPECT_EQ(stereoLinkFromStatistics(std::nan(""), 1.0, 1.0).stereoLink, 0.0);
}

TEST(StereoLinkTest, PartialLinkLimitsTheRatioBetweenTheChannels)
{
    // Coherence 0.425: halfway up the smoothstep.
    const StereoLinkBand half = stereoLinkFromStatistics(0.425, 1.0, 1.0);
    EXPECT_NEAR(half.stereoLink, 0.5, 1e-12);
    EXPECT_NEAR(20.0 * std::log10(half.linkRatio), 3.0, 1e-9);
    double g0 = 1.0;
    double g1 = 0.01;
    linkChannelGains(g0, g1, half.stereoLink, half.linkRatio);
    // Both moved halfway toward the smaller gain, then held within 3 dB.
    EXPECT_NEAR(g1, 0.01, 1e-12);
    EXPECT_NEAR(20.0 * std::log10(g0 / g1), 3.0, 1e-9);
}

// A band no gate considers, its gains at rest, comes out of the lanes' step
// at exactly 1.0 beside bands that dip, whatever link the channels' coherence
// gives it.
struct LinkCase
{
    const char* name;
    double cross, e0, e1; // smoothed x0 x1, x0^2, x1^2
};

class BandAtRest : public ::testing::TestWithParam<LinkCase>
{
};

TEST_P(BandAtRest, StaysAtExactlyUnityWhateverTheLink)
{
    const LinkCase& c = GetParam();
    const StereoLinkBand link = stereoLinkFromStatistics(c.cross, c.e0, c.e1);
    BandGateLanes l{};
    GateState gates;
    BandGains gains;
    StereoStatistics stereo;
    BandTables tables;
    tables.glideCoef = 0.05;
    tables.levelDecay = 0.999;
    for (int m = 0; m < kBandCount; ++m)
    {
        GateSetup g; // even bands: considered by no gate
        if (m % 2 == 1)
        {
            g.eligibleClosed = g.eligibleOpen = true;
            g.openPower = 1e-6;
            g.closePower = 0.5e-6;
            g.fullPower = 1e-4;
            g.targetGain = 0.25;
        }
        l.loadLane(m, g);
        stereo.stereoLink[m] = link.stereoLink;
        stereo.linkRatio[m] = link.linkRatio;
        gates.bandEnvelope0[m] = 0.5;
        gates.bandEnvelope1[m] = 0.3;
    }
    for (int t = 0; t < 200; ++t)
        stepBandGates<RampPass::WideGroups>(gates, l, gains, stereo, tables, 0, kBandCount);
    for (int m = 0; m < kBandCount; m += 2)
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_EQ(gains.bandGain[ch][m], 1.0) << "band " << m << " channel " << ch;
    EXPECT_LT(gains.bandGain[0][1], 0.5) << "the bands beside it were not dipping";
}

INSTANTIATE_TEST_SUITE_P(
    Links, BandAtRest,
    ::testing::Values(LinkCase{"Unlinked", 0.0, 1.0, 1.0}, LinkCase{"Faint", 0.201, 1.0, 1.0},
                      LinkCase{"Half", 0.425, 1.0, 1.0}, LinkCase{"Full", 1.0, 1.0, 1.0},
                      LinkCase{"AntiPhase", -1.0, 1.0, 1.0},
                      LinkCase{"LoudAgainstQuiet", 1e-3, 1.0, 1e-6},
                      LinkCase{"Silent", 0.0, 0.0, 0.0}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
