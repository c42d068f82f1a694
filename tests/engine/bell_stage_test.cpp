// The bells as one stage, through its face: a dip made on the Masker/Self
// lanes, then each way back (full reset, a start from rest, entering the
// masking path again, the release path), and the dip meters per bell.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>

#include "engine/bell_stage.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using testing::MaskingTables;
using testing::openingBandGate;

constexpr double kRate = 48000.0;
constexpr int kLookahead = 240;

class BellStageTest : public ::testing::Test
{
protected:
    MaskingTables t;
    std::unique_ptr<BellStage> stage = std::make_unique<BellStage>();
    BellChunk chunks[kBellCount];
    const double glide = 1.0 - std::exp(-1.0 / (0.02 * kRate));
    const double decay = std::exp(-1.0 / (0.08 * kRate));
    int writePos = 0;
    int64_t sample = 0;

    void SetUp() override { stage->reset(kRate); }

    // Sets every bell up for a chunk; `dipping` is the one whose nearest band
    // is loud over a small spread (its gate opens), at full depth.
    void setUpChunk(int dipping, int n)
    {
        for (int b = 0; b < kBellCount; ++b)
        {
            const bool on = b == dipping;
            stage->setupChunk(b, 1000.0, 1.5, on ? 100.0 : 0.0, on, t.centreHz, n, kRate,
                              chunks[b]);
            setBellGate(chunks[b], openingBandGate(on));
        }
    }

    double input() const
    {
        return 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * sample / kRate);
    }
    int readPos() const { return (writePos - kLookahead + kBellDelayLength) % kBellDelayLength; }
    void advance()
    {
        writePos = (writePos + 1) % kBellDelayLength;
        ++sample;
    }

    // A chunk of the Masker/Self path on a 1 kHz sine, with its meters.
    void runMasking(int dipping, int n)
    {
        setUpChunk(dipping, n);
        BellLanes lanes;
        stage->loadLanes(lanes, chunks);
        for (int i = 0; i < n; ++i)
        {
            double sub0 = 0.0, sub1 = 0.0;
            stage->stepLanes(lanes, input(), input(), readPos(), writePos, true, glide, decay, sub0,
                             sub1);
            advance();
        }
        stage->storeLanes(lanes);
        stage->finishMeters();
    }

    // n samples of the release path; returns whether the gains only rose.
    bool runRelease(int n)
    {
        bool rising = true;
        for (int i = 0; i < n; ++i)
        {
            const double before = stage->gain(0, 0);
            double sub0 = 0.0, sub1 = 0.0;
            stage->releaseSample(input(), input(), readPos(), writePos, glide, sub0, sub1);
            rising &= stage->gain(0, 0) >= before;
            advance();
        }
        return rising;
    }
};

class BellStageMeters : public BellStageTest, public ::testing::WithParamInterface<int>
{
};

// Each bell's dip shows on its own meter and gains only: the lanes keep the
// bells apart.
TEST_P(BellStageMeters, ADipShowsOnItsOwnBellOnly)
{
    const int dipping = GetParam();
    runMasking(dipping, 4800);
    for (int b = 0; b < kBellCount; ++b)
    {
        SCOPED_TRACE("bell " + std::to_string(b));
        if (b == dipping)
        {
            EXPECT_LT(stage->dipDb(b), -6.0f);
            EXPECT_LT(stage->gain(b, 0), 0.1);
            EXPECT_LT(stage->gain(b, 1), 0.1);
            EXPECT_FALSE(stage->atRest(b));
        }
        else
        {
            EXPECT_EQ(stage->dipDb(b), 0.0f);
            EXPECT_TRUE(stage->atRest(b));
        }
    }
    EXPECT_FALSE(stage->atRest());
}

INSTANTIATE_TEST_SUITE_P(EachBell, BellStageMeters, ::testing::Range(0, kBellCount));

enum class Way
{
    reset,
    settle,
    freshen,
    release,
};

struct WayBack
{
    const char* name;
    Way way;
    bool atRest;         // the dip is gone at once (or, for release, at the end)
    bool keepsFrequency; // the glided frequency survives
    bool keepsMeter;     // the last dip still shows
};

class BellStageWayBack : public BellStageTest, public ::testing::WithParamInterface<WayBack>
{
};

TEST_P(BellStageWayBack, LeavesTheBellAsItsPathExpects)
{
    const WayBack& c = GetParam();
    runMasking(0, 4800);
    ASSERT_LT(stage->gain(0, 0), 0.1);
    const float meter = stage->dipDb(0);
    switch (c.way)
    {
    case Way::reset:
        stage->reset(kRate);
        break;
    case Way::settle:
        stage->settle();
        break;
    case Way::freshen:
        stage->freshen(kRate);
        break;
    case Way::release:
        EXPECT_TRUE(runRelease(48000)) << "a release never dips deeper";
        break;
    }
    EXPECT_EQ(stage->atRest(), c.atRest);
    EXPECT_EQ(stage->atRest(0), c.atRest);
    if (c.keepsFrequency)
        EXPECT_FLOAT_EQ(stage->glidedFrequency(0), 1000.0f);
    else
        EXPECT_LT(stage->glidedFrequency(0), 0.0f);
    EXPECT_EQ(stage->dipDb(0), c.keepsMeter ? meter : 0.0f);
    if (c.way == Way::freshen)
    {
        // A bell still releasing keeps its gains: they glide on from there.
        EXPECT_LT(stage->gain(0, 0), 0.1);
        EXPECT_TRUE(runRelease(48000));
        EXPECT_TRUE(stage->atRest());
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, BellStageWayBack,
                         ::testing::Values(WayBack{"reset", Way::reset, true, false, false},
                                           WayBack{"settle", Way::settle, true, true, true},
                                           WayBack{"freshen", Way::freshen, false, true, true},
                                           WayBack{"release", Way::release, true, true, true}),
                         [](const ::testing::TestParamInfo<WayBack>& info)
                         { return std::string(info.param.name); });

// A bell at rest that enters the masking path again starts afresh but keeps
// where its frequency had glided to.
TEST_F(BellStageTest, FreshenOfABellAtRestKeepsItsGlidedFrequency)
{
    runMasking(-1, 480);
    ASSERT_TRUE(stage->atRest());
    stage->freshen(kRate);
    EXPECT_TRUE(stage->atRest());
    for (int b = 0; b < kBellCount; ++b)
        EXPECT_FLOAT_EQ(stage->glidedFrequency(b), 1000.0f) << "bell " << b;
}

} // namespace
} // namespace ostrel
