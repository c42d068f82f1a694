// How strongly the two channels' band gains are tied, from the smoothed
// coherence of the band signals: coherent (centred) material is dipped alike
// in both channels so the image does not wander; uncorrelated channels are
// gated independently.
#pragma once

namespace ostrel
{

// Gain ratio the channels may differ by at full link: 1.5 dB.
inline constexpr double kFullLinkRatio = 1.1885022274370185; // 10^(1.5/20)
// Ratio used when the channels are not linked (no limit in practice).
inline constexpr double kUnlinkedRatio = 1e9;

struct StereoLinkBand
{
    double stereoLink = 0.0; // 0..1
    double linkRatio = kUnlinkedRatio;
};

// cross, e0, e1: smoothed mean of x0 x1, x0^2 and x1^2 of a band. The link
// rises smoothly from coherence 0.2 (none) to 0.65 (full).
StereoLinkBand stereoLinkFromStatistics(double cross, double e0, double e1);

// Ties the channels' gains: both move toward the smaller by `link`, then
// their ratio is limited to linkRatio.
inline void linkChannelGains(double& g0, double& g1, double link, double linkRatio)
{
    // Branch-free: with link 0 the pull moves nothing, and limiting both
    // channels against the other's original gain is the same as limiting
    // whichever exceeds the ratio (only one of them can).
    const double lower = g0 < g1 ? g0 : g1;
    const double p0 = g0 + (lower - g0) * link;
    const double p1 = g1 + (lower - g1) * link;
    const double max0 = p1 * linkRatio;
    const double max1 = p0 * linkRatio;
    g0 = p0 < max0 ? p0 : max0;
    g1 = p1 < max1 ? p1 : max1;
}

} // namespace ostrel
