// The vectorisable logarithm against the library's, over the range of
// envelope powers the gates see and at the points where its reduction
// switches: powers of two, the sqrt(1/2) split, values next to 1.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "engine/lane_log.h"

namespace ostrel::testing
{
namespace
{

// Distance in units in the last place of the exact result.
double ulpsApart(double got, double want)
{
    if (got == want)
        return 0.0;
    const double ulp =
        std::nextafter(std::fabs(want), std::numeric_limits<double>::infinity()) - std::fabs(want);
    return std::fabs(got - want) / ulp;
}

TEST(LaneLog, EdgesOfItsReductionAreWithinTwoUlps)
{
    const double sqrtHalf = std::sqrt(0.5);
    const double points[] = {1.0,
                             10.0,
                             100.0,
                             1e-18,
                             1e-30,
                             1e10,
                             0.5,
                             2.0,
                             std::ldexp(1.0, -60),
                             sqrtHalf,
                             std::nextafter(sqrtHalf, 0.0),
                             std::nextafter(sqrtHalf, 1.0),
                             std::sqrt(2.0),
                             std::nextafter(1.0, 0.0),
                             std::nextafter(1.0, 2.0),
                             1.0 + 1e-9,
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max()};
    for (const double x : points)
        EXPECT_LE(ulpsApart(logLane(x), std::log(x)), 2.0) << "x = " << x;
    EXPECT_EQ(logLane(1.0), 0.0);
}

TEST(LaneLog, RandomPowersOverTheGatesRangeAreWithinTwoUlps)
{
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> exponent(-40.0, 12.0);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i)
    {
        const double x = std::pow(10.0, exponent(rng));
        worst = std::max(worst, ulpsApart(logLane(x), std::log(x)));
    }
    EXPECT_LE(worst, 2.0);
}

} // namespace
} // namespace ostrel::testing
