#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/bell_lanes.h"
#include "engine/dynamic_bells.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using testing::MaskingTables;
using testing::openingBandGate;
using testing::toDb;

constexpr double kRate = 48000.0;

class DynamicBellTest : public ::testing::Test
{
protected:
    MaskingTables t;
    // Bell 0 is under test; the others stay inactive beside it.
    std::unique_ptr<DynamicBell[]> bells = std::make_unique<DynamicBell[]>(kBellCount);
    DynamicBell* bell = &bells[0];
    BellChunk chunks[kBellCount];
    BellChunk& chunk = chunks[0];
    std::unique_ptr<BellDelayLine> line = std::make_unique<BellDelayLine>();
    const double glide = 1.0 - std::exp(-1.0 / (0.02 * kRate));
    const double decay = std::exp(-1.0 / (0.08 * kRate));
    int writePos = 0;

    void SetUp() override
    {
        for (int b = 0; b < kBellCount; ++b)
            resetBellState(bells[b], kRate);
    }

    // Runs the bells on a sine for n samples, as one chunk; returns the largest |sub|.
    double run(double hz, int n, bool primed = true)
    {
        BellLanes lanes;
        lanes.load(bells.get(), chunks);
        double largest = 0.0;
        for (int i = 0; i < n; ++i)
        {
            const double x = 0.5 * std::sin(2.0 * std::numbers::pi * hz * i / kRate);
            largest = std::max(largest, std::fabs(step(lanes, x, x, primed)));
        }
        lanes.store(bells.get());
        return largest;
    }

    double step(BellLanes& lanes, double x0, double x1, bool primed)
    {
        const int readPos = (writePos - 240 + kBellDelayLength) % kBellDelayLength;
        double sub0 = 0.0, sub1 = 0.0;
        lanes.step(*line, x0, x1, readPos, writePos, primed, glide, decay, sub0, sub1);
        writePos = (writePos + 1) % kBellDelayLength;
        return sub0;
    }
};

TEST_F(DynamicBellTest, NearestBandFollowsTheSettingAndPrefersTheLowerOnATie)
{
    EXPECT_EQ(nearestBand(1000.0, t.centreHz), 8); // centre about 951 Hz
    EXPECT_EQ(nearestBand(10.0, t.centreHz), 0);
    EXPECT_EQ(nearestBand(30000.0, t.centreHz), 23);
    const double tie = 0.5 * (t.centreHz[8] + t.centreHz[9]);
    EXPECT_EQ(nearestBand(tie, t.centreHz), 8);
}

TEST_F(DynamicBellTest, DepthSetsTheFloor)
{
    EXPECT_EQ(bellFloorGain(0.0), 1.0);
    EXPECT_NEAR(toDb(bellFloorGain(100.0)), -48.0, 1e-9);
    EXPECT_NEAR(toDb(bellFloorGain(25.0)), -12.0, 1e-9);
}

TEST_F(DynamicBellTest, FrequencySnapsFirstThenGlidesWithThirtyMilliseconds)
{
    setupBellChunk(*bell, 1000.0, 2.0, 50.0, true, t.centreHz, 512, kRate, chunk);
    EXPECT_EQ(bell->bellFreqSmoothed, 1000.0f);
    EXPECT_EQ(bell->bellQSmoothed, 2.0f);
    // 30 ms (1440 samples) later the glide has gone 1 - 1/e of the way.
    setupBellChunk(*bell, 2000.0, 2.0, 50.0, true, t.centreHz, 1440, kRate, chunk);
    EXPECT_NEAR(bell->bellFreqSmoothed, 1000.0 + 1000.0 * (1.0 - std::exp(-1.0)), 0.01);
    // The band used for the gate follows the setting at once.
    EXPECT_EQ(chunk.nearest, nearestBand(2000.0, t.centreHz));
}

TEST_F(DynamicBellTest, BandPassHasUnityGainAtItsCentreAndFollowsTheGlidedFrequency)
{
    setupBellChunk(*bell, 1000.0, 1.5, 0.0, true, t.centreHz, 512, kRate, chunk);
    // Through the filter alone: run a 1 kHz sine and measure the peak after settling.
    double peakCentre = 0.0;
    double peakOff = 0.0;
    for (int i = 0; i < 48000; ++i)
    {
        const double y =
            bell->bellFilter0.step(std::sin(2.0 * std::numbers::pi * 1000.0 * i / kRate));
        const double z =
            bell->bellFilter1.step(std::sin(2.0 * std::numbers::pi * 4000.0 * i / kRate));
        if (i > 24000)
        {
            peakCentre = std::max(peakCentre, std::fabs(y));
            peakOff = std::max(peakOff, std::fabs(z));
        }
    }
    EXPECT_NEAR(toDb(peakCentre), 0.0, 0.01);
    EXPECT_LT(toDb(peakOff), -6.0);
}

TEST_F(DynamicBellTest, DepthZeroNeverChangesTheSignalWhateverTheGateDoes)
{
    setupBellChunk(*bell, 1000.0, 1.5, 0.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    EXPECT_EQ(run(1000.0, 9600), 0.0);
    EXPECT_EQ(bell->bellGain0, 1.0);
    EXPECT_EQ(bell->bellGateOpen0, 1); // the gate did open
    finishBellMeter(*bell);
    EXPECT_EQ(bell->bellDipMeter.load(), 0.0f);
}

TEST_F(DynamicBellTest, AnActiveGateDipsToTheFloorAndTheMeterShowsIt)
{
    setupBellChunk(*bell, 1000.0, 1.5, 50.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    run(1000.0, 9600);
    EXPECT_NEAR(toDb(bell->bellGain0), -24.0, 0.01);
    EXPECT_EQ(bell->bellGain0, bell->bellGain1);
    beginBellMeter(*bell);
    run(1000.0, 512);
    finishBellMeter(*bell);
    EXPECT_NEAR(bell->bellDipMeter.load(), -24.0, 0.01);
}

TEST_F(DynamicBellTest, AnInactiveBellReturnsToExactlyUnityAndShowsZero)
{
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    run(1000.0, 4800);
    ASSERT_LT(bell->bellGain0, 0.1);
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, false, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    run(1000.0, 24000); // 500 ms
    EXPECT_EQ(bell->bellGain0, 1.0);
    EXPECT_EQ(bell->bellGain1, 1.0);
    beginBellMeter(*bell);
    EXPECT_EQ(run(1000.0, 512), 0.0);
    finishBellMeter(*bell);
    EXPECT_EQ(bell->bellDipMeter.load(), 0.0f);
}

TEST_F(DynamicBellTest, BeforeTheWarmUpOnlyTheEnvelopesMove)
{
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    EXPECT_EQ(run(1000.0, 240, false), 0.0);
    EXPECT_EQ(bell->bellGain0, 1.0);
    EXPECT_EQ(bell->bellGateOpen0, 0);
    EXPECT_GT(bell->bellEnvelope0, 0.0);
}

TEST_F(DynamicBellTest, ReleaseStepGlidesADipBackWithoutAStep)
{
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    run(1000.0, 4800);
    double previousGain = bell->bellGain0;
    ASSERT_LT(previousGain, 0.1);
    for (int i = 0; i < 48000; ++i)
    {
        const double x = 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * (4800 + i) / kRate);
        const int readPos = (writePos - 240 + kBellDelayLength) % kBellDelayLength;
        double sub0 = 0.0, sub1 = 0.0;
        bellReleaseStep(*bell, 0, *line, x, x, readPos, writePos, glide, sub0, sub1);
        writePos = (writePos + 1) % kBellDelayLength;
        // The gain moves at most the glide coefficient's share each sample.
        ASSERT_LE(bell->bellGain0 - previousGain, glide * (1.0 - previousGain) + 1e-6);
        previousGain = bell->bellGain0;
    }
    EXPECT_TRUE(bellAtRest(*bell));
}

TEST_F(DynamicBellTest, NonFiniteInputDoesNotPoisonTheBell)
{
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    BellLanes lanes;
    lanes.load(bells.get(), chunks);
    step(lanes, std::nan(""), HUGE_VAL, true);
    lanes.store(bells.get());
    run(1000.0, 4800);
    EXPECT_TRUE(std::isfinite(bell->bellEnvelope0));
    EXPECT_TRUE(std::isfinite(bell->bellEnvelope1));
    EXPECT_TRUE(std::isfinite(bell->bellGain0));
    EXPECT_LT(bell->bellGain1, 0.1);
}

// What a bell removes is its dip applied to its own filter's output a
// lookahead earlier, wherever the write position stands: across the delay
// line's wrap and the line's own.
class BellLookahead : public DynamicBellTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(BellLookahead, RemovesItsDipOfTheFilterOutputALookaheadEarlier)
{
    setupBellChunk(*bell, 1000.0, 1.5, 100.0, true, t.centreHz, 512, kRate, chunk);
    setBellGate(chunk, openingBandGate());
    Biquad filter = bell->bellFilter0;
    writePos = GetParam();
    BellLanes lanes;
    lanes.load(bells.get(), chunks);
    std::vector<double> z;
    for (int i = 0; i < 1200; ++i)
    {
        const double x = 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * i / kRate);
        z.push_back(filter.step(x));
        const double removed = step(lanes, x, x, true);
        const double delayed = i >= 240 ? z[i - 240] : 0.0;
        ASSERT_EQ(removed, (1.0 - lanes.gain[bellLane(0, 0)]) * delayed) << "sample " << i;
    }
    EXPECT_LT(lanes.gain[bellLane(0, 0)], 0.5);
}

INSTANTIATE_TEST_SUITE_P(WritePositions, BellLookahead,
                         ::testing::Values(0, 200, 255, 4000, kBellDelayLength - 240,
                                           kBellDelayLength - 1));

} // namespace
} // namespace ostrel
