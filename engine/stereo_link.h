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
    if (link > 0.0)
    {
        const double lower = g0 < g1 ? g0 : g1;
        g0 += (lower - g0) * link;
        g1 += (lower - g1) * link;
    }
    if (g0 > g1 * linkRatio)
        g0 = g1 * linkRatio;
    else if (g1 > g0 * linkRatio)
        g1 = g0 * linkRatio;
}

} // namespace ostrel
