#include <gtest/gtest.h>

#include <cmath>

#include "engine/masking_prominence.h"

namespace ostrel
{
namespace
{

// Each band's level is a distinct power of two, so every median tells which
// bands it was taken from.
struct DistinctLevels
{
    double own[kBandCount];
    DistinctLevels()
    {
        for (int k = 0; k < kBandCount; ++k)
            own[k] = std::ldexp(1.0, k);
    }
};

TEST(MaskingMedianTest, EdgeBandsUseOnlyTheNeighboursThatExist)
{
    DistinctLevels l;
    // Band 0: bands 2, 3, 4 -> the middle one, band 3.
    EXPECT_EQ(neighbourMedian(l.own, 0), l.own[3]);
    // Band 23: bands 19, 20, 21 -> band 20.
    EXPECT_EQ(neighbourMedian(l.own, 23), l.own[20]);
    // Band 1: bands 3, 4, 5 (band -1 and below do not exist).
    EXPECT_EQ(neighbourMedian(l.own, 1), l.own[4]);
    // Band 2: bands 0, 4, 5, 6 -> mean of bands 4 and 5.
    EXPECT_EQ(neighbourMedian(l.own, 2), 0.5 * (l.own[4] + l.own[5]));
    // Band 10: bands 6, 7, 8, 12, 13, 14 -> mean of 8 and 12; 9 and 11 never count.
    EXPECT_EQ(neighbourMedian(l.own, 10), 0.5 * (l.own[8] + l.own[12]));
}

TEST(MaskingMedianTest, UnsortedNeighboursGiveTheTrueMedian)
{
    double own[kBandCount] = {};
    for (int k = 0; k < kBandCount; ++k)
        own[k] = 1.0;
    own[6] = 9.0;
    own[7] = 0.5;
    own[8] = 7.0;
    own[12] = 0.25;
    own[13] = 3.0;
    own[14] = 5.0;
    // Sorted: 0.25 0.5 3 5 7 9 -> (3 + 5) / 2.
    EXPECT_EQ(neighbourMedian(own, 10), 4.0);
}

TEST(MaskingProminenceTest, APeakStandsOutByItsLevelOverTheNeighbourhood)
{
    double own[kBandCount];
    for (double& v : own)
        v = 0.01;
    own[12] = 0.01 * std::pow(10.0, 12.0 / 20.0);
    double median[kBandCount];
    double prominence[kBandCount];
    computeProminence(own, median, prominence);
    EXPECT_NEAR(prominence[12], 12.0, 1e-9);
    // The peak is in the neighbourhood of bands 8..10 and 14..16 but it is
    // outvoted by the median.
    for (int k = 0; k < kBandCount; ++k)
    {
        if (k != 12)
        {
            EXPECT_NEAR(prominence[k], 0.0, 1e-9) << "band " << k;
        }
    }
}

TEST(MaskingProminenceTest, SilenceIsNeutral)
{
    // The engine's own levels never go below sqrt(1e-30) in silence.
    double own[kBandCount];
    for (double& v : own)
        v = 1e-15;
    double median[kBandCount];
    double prominence[kBandCount];
    computeProminence(own, median, prominence);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_NEAR(prominence[k], 0.0, 1e-6) << "band " << k;
}

} // namespace
} // namespace ostrel
