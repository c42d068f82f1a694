#include "engine/masking_guards.h"

#include <cmath>
#include <numbers>

namespace ostrel
{
namespace
{

double bandGeometricCentre(const double edgeHz[kEdgeCount], int k)
{
    const double a = k == 0 ? 20.0 : edgeHz[k - 1];
    const double b = k == kBandCount - 1 ? 20000.0 : edgeHz[k];
    return std::sqrt(a * b);
}

void fillOnes(double weight[kBandCount])
{
    for (int k = 0; k < kBandCount; ++k)
        weight[k] = 1.0;
}

} // namespace

double raisedCosineRamp(double x)
{
    if (x <= 0.0)
        return 0.0;
    if (x >= 1.0)
        return 1.0;
    return 0.5 * (1.0 - std::cos(std::numbers::pi * x));
}

void lowGuardWeights(double lowGuardHz, const double edgeHz[kEdgeCount], double weight[kBandCount])
{
    // A guard that is not a number would turn every weight into NaN and poison
    // the gains; treat it as switched off.
    if (!(lowGuardHz > 20.5))
    {
        fillOnes(weight);
        return;
    }
    for (int k = 0; k < kBandCount; ++k)
        weight[k] = raisedCosineRamp(std::log2(bandGeometricCentre(edgeHz, k) / lowGuardHz));
}

void highGuardWeights(double highGuardHz, const double edgeHz[kEdgeCount],
                      double weight[kBandCount])
{
    if (!(highGuardHz < 19999.0))
    {
        fillOnes(weight);
        return;
    }
    for (int k = 0; k < kBandCount; ++k)
        weight[k] = raisedCosineRamp(std::log2(highGuardHz / bandGeometricCentre(edgeHz, k)));
}

bool updateGuardWeights(float lowGuardHz, float highGuardHz, const double edgeHz[kEdgeCount],
                        GuardWeightsRef state)
{
    // `!=` is true for NaN on either side, so NaN always recomputes.
    bool changed = false;
    if (lowGuardHz != state.lastLowGuardHz)
    {
        lowGuardWeights(lowGuardHz, edgeHz, state.lowGuardWeight);
        state.lastLowGuardHz = lowGuardHz;
        changed = true;
    }
    if (highGuardHz != state.lastHighGuardHz)
    {
        highGuardWeights(highGuardHz, edgeHz, state.highGuardWeight);
        state.lastHighGuardHz = highGuardHz;
        changed = true;
    }
    return changed;
}

} // namespace ostrel
