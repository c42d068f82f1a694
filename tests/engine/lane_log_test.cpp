// The vectorisable logarithm against the library's, relative error at most
// 1e-15: a dense sweep of every binade of the normal range, and runs of
// neighbouring values where its reduction switches (powers of two, the
// sqrt(1/2) split) and where the result nears zero (next to 1). Every vector
// version must compute the same bits, and powers the engine's float mode
// flushes must read as silence, not as a NaN.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/lane_log.h"
#include "engine/vector_clones.h"
#include "engine/vector_version.h"

namespace ostrel::testing
{
namespace
{

constexpr double kBound = 1e-15;

struct Worst
{
    double error = 0.0;
    double at = 0.0;

    void check(double x)
    {
        const double want = std::log(x);
        const double got = logLane(x);
        // log is zero at 1 only, where the result must be exactly zero.
        const double e = want == 0.0 ? std::fabs(got) : std::fabs((got - want) / want);
        if (!(e <= error)) // a NaN result counts as the worst
        {
            error = std::isnan(e) ? std::numeric_limits<double>::infinity() : e;
            at = x;
        }
    }
    // x and the n representable values on each side of it.
    void checkAround(double x, int n)
    {
        double below = x;
        double above = x;
        for (int i = 0; i <= n; ++i)
        {
            if (std::isnormal(below))
                check(below);
            if (std::isnormal(above))
                check(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, std::numeric_limits<double>::infinity());
        }
    }
};

constexpr int kMinExponent = std::numeric_limits<double>::min_exponent - 1; // -1022
constexpr int kMaxExponent = std::numeric_limits<double>::max_exponent - 1; // 1023

TEST(LaneLog, EveryBinadeIsWithinTheBound)
{
    // 1024 evenly spaced mantissas per binade, offset so they are not all
    // short binary fractions, and the top of each binade.
    Worst w;
    for (int e = kMinExponent; e <= kMaxExponent; ++e)
    {
        const double base = std::ldexp(1.0, e);
        for (int i = 0; i < 1024; ++i)
            w.check(base * (1.0 + (i + 0.318309886183791) / 1024.0));
        w.check(std::nextafter(2.0 * base, 0.0));
    }
    EXPECT_LE(w.error, kBound) << "at x = " << w.at;
}

struct Edge
{
    const char* name;
    double at; // times 2^e for every binade e, unless once
    bool once;
    int neighbours;
};

class LaneLogEdges : public ::testing::TestWithParam<Edge>
{
};

TEST_P(LaneLogEdges, NeighbourhoodIsWithinTheBound)
{
    const Edge& edge = GetParam();
    Worst w;
    if (edge.once)
        w.checkAround(edge.at, edge.neighbours);
    else
        for (int e = kMinExponent; e <= kMaxExponent; ++e)
            if (const double x = std::ldexp(edge.at, e); x >= std::numeric_limits<double>::min())
                w.checkAround(x, edge.neighbours);
    EXPECT_LE(w.error, kBound) << "at x = " << w.at;
}

INSTANTIATE_TEST_SUITE_P(Switches, LaneLogEdges,
                         ::testing::Values(Edge{"PowersOfTwo", 1.0, false, 64},
                                           Edge{"SqrtHalfSplit", 0.70710678118654752, false, 64},
                                           // The result nears zero on both sides of 1.
                                           Edge{"NextToOne", 1.0, true, 200000},
                                           Edge{"TopOfTheNormalRange",
                                                std::numeric_limits<double>::max(), true, 1000},
                                           Edge{"BottomOfTheNormalRange",
                                                std::numeric_limits<double>::min(), true, 1000}),
                         [](const ::testing::TestParamInfo<Edge>& info)
                         { return std::string(info.param.name); });

TEST(LaneLog, ValuesNearOneAreWithinTheBound)
{
    // 1 +- d for d from 1e-300 to 0.3, where a result near zero makes any
    // absolute error a large relative one.
    Worst w;
    for (double d = 1e-300; d < 0.3; d *= 1.01)
    {
        w.check(1.0 + d);
        w.check(1.0 - d);
    }
    EXPECT_LE(w.error, kBound) << "at x = " << w.at;
    EXPECT_EQ(std::bit_cast<uint64_t>(logLane(1.0)), uint64_t{0});
}

TEST(LaneLog, PowersBelowTheNormalRangeReadAsSilence)
{
    // The engine flushes subnormals to zero; with or without that, such a
    // power must give a finite logarithm no higher than the smallest
    // normal's, so a gate sees it as silence.
    const double floor = std::log(std::numeric_limits<double>::min());
    const double powers[] = {0.0, std::numeric_limits<double>::denorm_min(), 1e-310,
                             std::nextafter(std::numeric_limits<double>::min(), 0.0),
                             std::numeric_limits<double>::min() / 3.0};
    for (const double x : powers)
    {
        const double got = logLane(x);
        EXPECT_TRUE(std::isfinite(got)) << "x = " << x;
        EXPECT_LE(got, floor) << "x = " << x;
    }
}

// The vector versions run the logarithm in a loop the compiler vectorises,
// the baseline too: their bits must agree value for value.
OSTREL_VECTOR_BODY void logLanesBody(const double* x, double* y, int n)
{
    for (int i = 0; i < n; ++i)
        y[i] = logLane(x[i]);
}
void logLanes(const double* x, double* y, int n)
{
    OSTREL_VECTOR_DISPATCH(logLanesBody(x, y, n));
}

TEST(LaneLog, EveryVectorVersionComputesTheSameBits)
{
    std::vector<double> x;
    for (double v = 1e-300; v < 1e300; v *= 1.37)
        x.push_back(v);
    for (double d = 1e-17; d < 0.5; d *= 1.9)
    {
        x.push_back(1.0 + d);
        x.push_back(1.0 - d);
    }
    const int n = static_cast<int>(x.size());
    const VectorVersion before = activeVectorVersion();
    ASSERT_TRUE(chooseVectorVersion(VectorVersion::Baseline));
    std::vector<double> baseline(x.size());
    logLanes(x.data(), baseline.data(), n);
    for (const VectorVersion version : {VectorVersion::Avx2, VectorVersion::Avx512})
    {
        if (!chooseVectorVersion(version))
            continue;
        std::vector<double> y(x.size());
        logLanes(x.data(), y.data(), n);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(std::bit_cast<uint64_t>(y[i]), std::bit_cast<uint64_t>(baseline[i]))
                << vectorVersionName(version) << ", x = " << x[i];
    }
    chooseVectorVersion(before);
}

} // namespace
} // namespace ostrel::testing
