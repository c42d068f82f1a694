#include "engine/masking_spread.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{
namespace
{

// 10^(-a/20) as exp(-a * ln10/20).
constexpr double kDbToNeper = 0.11512925464970228; // ln(10) / 20

double attenuation(double db)
{
    return std::exp(-db * kDbToNeper);
}

MaskingSpreadGeometry buildLayoutGeometry()
{
    double edgeHz[kEdgeCount];
    computeBandEdges(edgeHz);
    double bark[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
        bark[k] = barkOfHz(bandCentreHz(edgeHz, k));
    return MaskingSpreadGeometry(bark);
}

const MaskingSpreadGeometry kLayoutGeometry = buildLayoutGeometry();

} // namespace

double upperMaskingSlope(double level, double centreHz)
{
    if (!(level > kSilentLevel))
        return 27.0;
    const double l = std::clamp(20.0 * std::log10(level) + 103.0, 20.0, 100.0);
    return std::clamp(24.0 + 230.0 / centreHz - 0.2 * l, 5.0, 27.0);
}

MaskingSpreadGeometry::MaskingSpreadGeometry(const double bark[kBandCount])
{
    for (int k = 0; k < kBandCount; ++k)
    {
        barkOfBand[k] = bark[k];
        for (int j = 0; j < kBandCount; ++j)
        {
            const double dz = bark[k] - bark[j];
            lowerAttenuation[j][k] = dz > 0.0 ? 0.0 : attenuation(kLowerMaskingSlope * (-dz));
        }
    }
}

const MaskingSpreadGeometry& layoutSpreadGeometry()
{
    return kLayoutGeometry;
}

void computeMaskingSpread(const double src[kBandCount], const double centreHz[kBandCount],
                          const double bandWeight[kBandCount],
                          const MaskingSpreadGeometry& geometry, MaskingSpread& out)
{
    // Only audible source bands spread; each keeps its upper slope.
    int audible[kBandCount];
    double slope[kBandCount];
    int count = 0;
    for (int j = 0; j < kBandCount; ++j)
        if (src[j] > kSilentLevel)
        {
            slope[count] = upperMaskingSlope(src[j], centreHz[j]);
            audible[count++] = j;
        }

    // Source band by source band, each band's sums still taken from the
    // lowest source band up: the 24 sums are independent of each other, so a
    // band no longer waits on its own previous addition.
    const double* bark = geometry.barkOfBand;
    double sum[kBandCount] = {};
    double sumW[kBandCount] = {};
    for (int i = 0; i < count; ++i)
    {
        const int j = audible[i];
        // Below it (and level with it, exp(-0) = 1) the table holds the
        // attenuation; above it, its own slope does.
        double att[kBandCount];
        for (int k = 0; k < kBandCount; ++k)
            att[k] = geometry.lowerAttenuation[j][k];
        for (int k = 0; k < kBandCount; ++k)
        {
            const double dz = bark[k] - bark[j];
            if (dz > 0.0)
                att[k] = attenuation(dz * slope[i]);
        }
        const double level = src[j];
        const double weight = bandWeight[j];
        for (int k = 0; k < kBandCount; ++k)
        {
            const double amp = level * att[k];
            const double ampW = amp * weight;
            sum[k] += amp * amp;
            sumW[k] += ampW * ampW;
        }
    }
    double peakW = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        out.maskSpread[k] = std::sqrt(sum[k]);
        out.weightedSpread[k] = std::sqrt(sumW[k]);
        peakW = std::max(peakW, out.weightedSpread[k]);
    }
    out.spreadFloor = std::max(1e-6, 0.25118864315095801 * peakW); // 10^(-12/20)
}

} // namespace ostrel
