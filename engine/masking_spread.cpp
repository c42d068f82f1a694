#include "engine/masking_spread.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

double upperMaskingSlope(double level, double centreHz)
{
    if (!(level > kSilentLevel))
        return 27.0;
    const double l = std::clamp(20.0 * std::log10(level) + 103.0, 20.0, 100.0);
    return std::clamp(24.0 + 230.0 / centreHz - 0.2 * l, 5.0, 27.0);
}

void computeMaskingSpread(const double src[kBandCount], const double centreHz[kBandCount],
                          const double barkOfBand[kBandCount], const double bandWeight[kBandCount],
                          MaskingSpread& out)
{
    // 10^(-a/20) as exp(-a * ln10/20): one exponential per band pair.
    constexpr double kDbToNeper = 0.11512925464970228; // ln(10) / 20
    double slope[kBandCount];
    for (int j = 0; j < kBandCount; ++j)
        slope[j] = upperMaskingSlope(src[j], centreHz[j]);

    double peakW = 0.0;
    for (int k = 0; k < kBandCount; ++k)
    {
        double sum = 0.0;
        double sumW = 0.0;
        for (int j = 0; j < kBandCount; ++j)
        {
            if (!(src[j] > kSilentLevel))
                continue;
            const double dz = barkOfBand[k] - barkOfBand[j];
            const double a = dz >= 0.0 ? dz * slope[j] : kLowerMaskingSlope * (-dz);
            const double amp = src[j] * std::exp(-a * kDbToNeper);
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
