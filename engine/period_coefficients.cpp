#include "engine/period_coefficients.h"

#include <cmath>

#include "engine/masking_meters.h"

namespace ostrel
{

void PeriodCoefficientCache::refresh(int n, double sampleRate)
{
    PeriodCoefficients& c = coefficients_;
    c.levelMeterStep = levelMeterStep(n, sampleRate);
    c.holdDecay = std::exp(-n / (0.1 * sampleRate));
    c.smoothing = chunkSmoothing(n, sampleRate);
    c.statisticStep = 1.0 - std::exp(-n / (0.08 * sampleRate));
    c.nullStep = 1.0 - std::exp(-n / (0.2 * sampleRate));
    valid_ = true;
    length_ = n;
    sampleRate_ = sampleRate;
}

} // namespace ostrel
