#include <gtest/gtest.h>

#include "engine/period_coefficients.h"

#include <bit>
#include <cstdint>
#include <limits>

namespace ostrel
{
namespace
{

uint64_t bits(double x)
{
    return std::bit_cast<uint64_t>(x);
}

void expectSame(const PeriodCoefficients& a, const PeriodCoefficients& b, int step)
{
    EXPECT_EQ(bits(a.levelMeterStep), bits(b.levelMeterStep)) << "step " << step;
    EXPECT_EQ(bits(a.holdDecay), bits(b.holdDecay)) << "step " << step;
    EXPECT_EQ(bits(a.smoothing.attack), bits(b.smoothing.attack)) << "step " << step;
    EXPECT_EQ(bits(a.smoothing.release), bits(b.smoothing.release)) << "step " << step;
    EXPECT_EQ(bits(a.statisticStep), bits(b.statisticStep)) << "step " << step;
    EXPECT_EQ(bits(a.nullStep), bits(b.nullStep)) << "step " << step;
}

// One cache through a host's changes of block length and rate (back and
// forth, one at a time, both at once) gives at every step what a cache that
// never saw the earlier ones gives: nothing stale survives a change.
TEST(PeriodCoefficientCacheTest, FollowsEveryChangeOfLengthAndRate)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Period
    {
        int length;
        double rate;
    };
    constexpr Period kPeriods[] = {
        {128, 48000.0}, {128, 48000.0}, {64, 48000.0}, {128, 48000.0}, {128, 44100.0},
        {128, 48000.0}, {1, 48000.0},   {1, 192000.0}, {1024, 8000.0}, {1024, 8000.0},
        {0, 48000.0},   {128, kNaN},    {128, kNaN},   {128, 48000.0}, {0, 0.0},
        {128, 0.0},     {128, 48000.0},
    };
    PeriodCoefficientCache cache;
    int step = 0;
    for (const Period& p : kPeriods)
    {
        PeriodCoefficientCache fresh;
        expectSame(cache.of(p.length, p.rate), fresh.of(p.length, p.rate), step++);
    }
}

// The steps are those of the period's own length: a longer period moves
// every smoothing further.
TEST(PeriodCoefficientCacheTest, ALongerPeriodSmoothsFurther)
{
    PeriodCoefficientCache cache;
    const PeriodCoefficients shortPeriod = cache.of(64, 48000.0);
    const PeriodCoefficients longPeriod = cache.of(512, 48000.0);
    EXPECT_LT(shortPeriod.levelMeterStep, longPeriod.levelMeterStep);
    EXPECT_GT(shortPeriod.holdDecay, longPeriod.holdDecay);
    EXPECT_LT(shortPeriod.smoothing.attack, longPeriod.smoothing.attack);
    EXPECT_LT(shortPeriod.smoothing.release, longPeriod.smoothing.release);
    EXPECT_LT(shortPeriod.statisticStep, longPeriod.statisticStep);
    EXPECT_LT(shortPeriod.nullStep, longPeriod.nullStep);
}

} // namespace
} // namespace ostrel
