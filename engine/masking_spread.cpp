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
            lowerAttenuation[k][j] = dz > 0.0 ? 0.0 : attenuation(kLowerMaskingSlope * (-dz));
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

    const double* bark = geometry.barkOfBand;
    double peakW = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        // Summed from the lowest source band up, whichever way each spreads.
        double sum = 0.0;
        double sumW = 0.0;
        for (int i = 0; i < count; ++i)
        {
            const int j = audible[i];
            const double dz = bark[k] - bark[j];
            // At dz = 0 both slopes give exp(-0) = 1, which the table holds.
            const double amp =
                src[j] * (dz > 0.0 ? attenuation(dz * slope[i]) : geometry.lowerAttenuation[k][j]);
            const double ampW = amp * bandWeight[j];
            sum += amp * amp;
            sumW += ampW * ampW;
        }
        out.maskSpread[k] = std::sqrt(sum);
        out.weightedSpread[k] = std::sqrt(sumW);
        peakW = std::max(peakW, out.weightedSpread[k]);
    }
    out.spreadFloor = std::max(1e-6, 0.25118864315095801 * peakW); // 10^(-12/20)
}

} // namespace ostrel
