#include "engine/band_layout.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

namespace
{

double erbRate(double hz)
{
    return 21.4 * std::log10(1.0 + 4.37 * hz / 1000.0);
}

struct WeightPoint
{
    double hz;
    double db;
};

constexpr WeightPoint kWeightCurve[] = {
    {50.0, -12.0}, {120.0, -7.0}, {250.0, -2.0}, {500.0, 1.0},    {1000.0, 2.0},   {2500.0, 3.0},
    {3500.0, 5.0}, {4500.0, 3.0}, {8000.0, 1.0}, {14000.0, -2.0}, {20000.0, -5.0},
};

} // namespace

void computeBandEdges(double edgeHz[kEdgeCount])
{
    const double e0 = erbRate(kLowestHz);
    const double span = erbRate(kHighestHz) - e0;
    for (int j = 0; j < kEdgeCount; ++j)
    {
        const double e = e0 + span * (j + 1) / kBandCount;
        edgeHz[j] = (std::pow(10.0, e / 21.4) - 1.0) / 4.37 * 1000.0;
    }
}

double bandLowerHz(const double edgeHz[kEdgeCount], int band)
{
    return band <= 0 ? kLowestHz : edgeHz[band - 1];
}

double bandUpperHz(const double edgeHz[kEdgeCount], int band)
{
    return band >= kEdgeCount ? kHighestHz : edgeHz[band];
}

double bandCentreHz(const double edgeHz[kEdgeCount], int band)
{
    return std::sqrt(bandLowerHz(edgeHz, band) * bandUpperHz(edgeHz, band));
}

double barkOfHz(double hz)
{
    const double r = hz / 7500.0;
    return 13.0 * std::atan(0.00076 * hz) + 3.5 * std::atan(r * r);
}

double weightingDb(double hz)
{
    constexpr int count = sizeof(kWeightCurve) / sizeof(kWeightCurve[0]);
    if (!(hz > kWeightCurve[0].hz))
        return kWeightCurve[0].db;
    if (hz >= kWeightCurve[count - 1].hz)
        return kWeightCurve[count - 1].db;
    for (int i = 1; i < count; ++i)
    {
        if (hz <= kWeightCurve[i].hz)
        {
            const WeightPoint& lo = kWeightCurve[i - 1];
            const WeightPoint& hi = kWeightCurve[i];
            const double t = std::log(hz / lo.hz) / std::log(hi.hz / lo.hz);
            return lo.db + t * (hi.db - lo.db);
        }
    }
    return kWeightCurve[count - 1].db;
}

double weightingGain(double hz)
{
    return std::pow(10.0, weightingDb(hz) / 20.0);
}

namespace
{

// 1 at or below 60 Hz, 0 at or above 2 kHz, linear in log frequency between.
double lowness(double hz)
{
    const double low =
        (std::log(2000.0) - std::log(std::max(hz, 60.0))) / (std::log(2000.0) - std::log(60.0));
    return std::clamp(low, 0.0, 1.0);
}

} // namespace

double envelopeAttackMs(double centreHz)
{
    return 1.5 + 8.5 * lowness(centreHz);
}

double envelopeReleaseMs(double centreHz)
{
    if (centreHz <= 2000.0)
        return 50.0 + 100.0 * lowness(centreHz);
    const double high =
        std::clamp((std::log(centreHz) - std::log(2000.0)) / std::log(4.0), 0.0, 1.0);
    return 50.0 - 15.0 * high;
}

double onePoleFromMs(double ms, double sampleRate)
{
    return 1.0 - std::exp(-1.0 / (std::max(ms, 0.01) * 0.001 * sampleRate));
}

double glideCoefficient(double sampleRate)
{
    return 1.0 - std::exp(-1.0 / (sampleRate * kGlideSeconds));
}

double levelDecayFactor(double sampleRate)
{
    return std::exp(-1.0 / (sampleRate * kLevelDecaySeconds));
}

} // namespace ostrel
