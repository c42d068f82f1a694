// The Low and High Guards: per-band weights of how much of a band's dip is
// let through (0 = band protected, 1 = free). Each guard ramps its bands in
// with a raised cosine over one octave, judged at the band's geometric centre.
#pragma once

#include "engine/masking_constants.h"

namespace ostrel
{

// 0 for x <= 0, 1 for x >= 1, 0.5 (1 - cos(pi x)) between.
double raisedCosineRamp(double x);

// Bands centred below lowGuardHz get 0, an octave above it or more 1.
// At 20.5 Hz or below (and for a value that is not a number) every band is free.
void lowGuardWeights(double lowGuardHz, const double edgeHz[kEdgeCount], double weight[kBandCount]);

// Bands centred above highGuardHz get 0, an octave below it or lower 1.
// At 19999 Hz or above (and for a value that is not a number) every band is free.
void highGuardWeights(double highGuardHz, const double edgeHz[kEdgeCount],
                      double weight[kBandCount]);

// The guard state the engine keeps between chunks: the weights and the guard
// frequencies they were computed for (-1 until the first chunk).
struct GuardWeightsRef
{
    float& lastLowGuardHz;
    float& lastHighGuardHz;
    double* lowGuardWeight;
    double* highGuardWeight;
};

// Recomputes the weights only when a guard moved (a NaN always counts as moved).
// Returns whether anything was recomputed.
bool updateGuardWeights(float lowGuardHz, float highGuardHz, const double edgeHz[kEdgeCount],
                        GuardWeightsRef state);

} // namespace ostrel
