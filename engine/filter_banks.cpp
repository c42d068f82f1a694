#include "engine/filter_banks.h"

#include <algorithm>
#include <iterator>

namespace ostrel
{

void BandPassBank::design(const double edgeHz[kEdgeCount], double sampleRate)
{
    for (int k = 0; k < kBandCount; ++k)
    {
        const double lower = bandLowerHz(edgeHz, k);
        const double upper = bandUpperHz(edgeHz, k);
        const double centre = bandCentreHz(edgeHz, k);
        const double q = std::max(centre / std::max(upper - lower, 1.0), 0.1);
        const BiquadCoefficients c = bandPassCoefficients(centre, q, sampleRate);
        b0[k] = c.b0;
        a1[k] = c.a1;
        a2[k] = c.a2;
    }
    clearState();
}

void BandPassBank::clearState()
{
    std::fill(std::begin(s1), std::end(s1), 0.0);
    std::fill(std::begin(s2), std::end(s2), 0.0);
}

BiquadCoefficients BandPassBank::coefficients(int band) const
{
    return {b0[band], 0.0, -b0[band], a1[band], a2[band]};
}

void LowpassBank::design(const double edgeHz[kEdgeCount], double sampleRate)
{
    for (int j = 0; j < kEdgeCount; ++j)
    {
        const BiquadCoefficients c = lowPassSectionCoefficients(edgeHz[j], sampleRate);
        b0[j] = c.b0;
        a1[j] = c.a1;
        a2[j] = c.a2;
    }
    clearState();
}

void LowpassBank::clearState()
{
    std::fill(std::begin(s1a), std::end(s1a), 0.0);
    std::fill(std::begin(s2a), std::end(s2a), 0.0);
    std::fill(std::begin(s1b), std::end(s1b), 0.0);
    std::fill(std::begin(s2b), std::end(s2b), 0.0);
}

BiquadCoefficients LowpassBank::coefficients(int member) const
{
    return {b0[member], 2.0 * b0[member], b0[member], a1[member], a2[member]};
}

} // namespace ostrel
