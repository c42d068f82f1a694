// The level curves the editor shows: the Source's and this track's own on
// one absolute scale, measured the same way whatever the role, and the
// Masker's own measurement only while an editor shows it.
#include <gtest/gtest.h>

#include "masking_test_rig.h"

#include <cmath>

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kChunk = 512;
constexpr int kSecond = 48000;
constexpr int kChannel = 9;

double Db(float level)
{
    return 20.0 * std::log10(std::max(1e-12, static_cast<double>(level)));
}

// The total of a level curve: the RMS of the whole signal it describes.
double TotalDb(const float meter[kBandCount])
{
    double energy = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        const double level = meter[k];
        energy += level * level;
    }
    return 10.0 * std::log10(energy);
}

struct RoleCase
{
    const char* name;
    int role;
};

class OwnLevelCurve : public ::testing::TestWithParam<RoleCase>
{
};

// A Source and a Masker (or Self) given the same pink noise show the same
// curve: the Source's own, the Masker's view of it, the Masker's own track.
TEST_P(OwnLevelCurve, MatchesWhatASourceShowsForTheSameSignal)
{
    auto registry = makeRegistry();
    auto source = makeEngineOn(*registry, kRoleSource, kChannel);
    auto other = makeEngineOn(*registry, GetParam().role, kChannel, 0.0);
    other->setMetersWanted(true);
    Track s;
    Track o;
    s.engine = source.get();
    o.engine = other.get();
    s.in0 = pinkNoise(2 * kSecond, 5, 0.1);
    s.in1 = pinkNoise(2 * kSecond, 6, 0.1);
    o.in0 = s.in0;
    o.in1 = s.in1;
    runLockStep({&s, &o}, kChunk);

    for (int k = 0; k < kBandCount; ++k)
    {
        const double sourceOwn = Db(source->meters().src[k]);
        ASSERT_GT(sourceOwn, -90.0) << "band " << k;
        EXPECT_NEAR(Db(other->meters().mask[k]), sourceOwn, 1.0) << "band " << k;
        if (GetParam().role == kRoleMasker)
        {
            EXPECT_NEAR(Db(other->meters().src[k]), sourceOwn, 1.0) << "band " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Roles, OwnLevelCurve,
                         ::testing::Values(RoleCase{"Masker", kRoleMasker},
                                           RoleCase{"Self", kRoleSelf}),
                         [](const ::testing::TestParamInfo<RoleCase>& info)
                         { return std::string(info.param.name); });

TEST(LevelCurves, AreAbsoluteLevelsInFullScaleTerms)
{
    // A sine of amplitude 0.5 has an RMS of 0.354, -9.0 dBFS, whatever else
    // plays: the bands together hold all of it.
    auto registry = makeRegistry();
    auto source = makeEngineOn(*registry, kRoleSource, kChannel);
    Track s;
    s.engine = source.get();
    s.in0 = s.in1 = sine(997.0, 48000.0, kSecond, 0.5);
    runLockStep({&s}, kChunk);
    EXPECT_NEAR(TotalDb(source->meters().src), -9.03, 0.3);
    // Half the amplitude, 6 dB lower: not scaled to the loudest band.
    auto quieter = makeEngineOn(*registry, kRoleSource, kChannel + 1);
    s.engine = quieter.get();
    s.in0 = s.in1 = sine(997.0, 48000.0, kSecond, 0.25);
    runLockStep({&s}, kChunk);
    EXPECT_NEAR(TotalDb(quieter->meters().src), -15.05, 0.3);
}

TEST(LevelCurves, AMaskerMeasuresItsOwnTrackOnlyWhileAnEditorShowsIt)
{
    auto registry = makeRegistry();
    auto masker = makeEngineOn(*registry, kRoleMasker, kChannel, 0.0);
    Track m;
    m.engine = masker.get();
    m.in0 = pinkNoise(kSecond, 1, 0.1);
    m.in1 = pinkNoise(kSecond, 2, 0.1);
    runLockStep({&m}, kChunk);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(masker->meters().mask[k], 0.0f) << "band " << k;
    masker->setMetersWanted(true);
    runLockStep({&m}, kChunk);
    // The level of the track's mid signal over the last quarter second.
    double energy = 0.0;
    for (int t = kSecond * 3 / 4; t < kSecond; ++t)
    {
        const double mid = 0.5 * (m.in0[t] + m.in1[t]);
        energy += mid * mid;
    }
    EXPECT_NEAR(TotalDb(masker->meters().mask), 10.0 * std::log10(energy / (kSecond / 4)), 0.5);
}

TEST(LevelCurves, ARoleChangeStartsThemFromSilence)
{
    auto registry = makeRegistry();
    auto engine = makeEngineOn(*registry, kRoleSource, kChannel);
    Track t;
    t.engine = engine.get();
    t.in0 = t.in1 = pinkNoise(kSecond / 2, 3, 0.1);
    runLockStep({&t}, kChunk);
    ASSERT_GT(engine->meters().src[10], 0.0f);
    engine->settings().role = kRoleOff;
    runLockStep({&t}, kChunk, 0, 0, kChunk);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(engine->meters().src[k], 0.0f) << "band " << k;
}

} // namespace
} // namespace ostrel
