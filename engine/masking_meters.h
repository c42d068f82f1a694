// The Masker/Self meters computed at the end of each chunk: per-band "dip"
// (output over input energy, aligned with the spectral stage), "touched" (how
// many bands were dipped noticeably) and the smoothed deepest dip "null";
// and the smoothing of the level curves every role shows.
#pragma once

#include "engine/band_layout.h"

#include <atomic>

namespace ostrel
{

// Per-chunk sums the sample loop fills and the meters are made from.
struct MaskingMeterSums
{
    // Mid of the delayed input band signals.
    alignas(kLaneAlign) double inEnergy[kBandCount] = {};
    // Mid of the output through the output band filters.
    alignas(kLaneAlign) double outEnergy[kBandCount] = {};
    // Sum of the larger channel dip (1 - gain).
    alignas(kLaneAlign) double dipSum[kBandCount] = {};
    // Samples with a dip above 1e-6.
    alignas(kLaneAlign) int dipCount[kBandCount] = {};
};

// Output over input energy of a band in dB, -120..0; 0 when the input is silent.
float dipMeterDb(double outEnergy, double inEnergy);

// Bands whose mean dip over the chunk exceeds 0.034 (about 0.3 dB).
int touchedBands(const MaskingMeterSums& sums);

// The level curves the editor shows ("src" and "mask"): each period's band
// levels smoothed as energies with a 150 ms time constant, so that a curve
// read 25 times a second neither flickers nor lags. k is the step of a
// period of n samples (levelMeterStep).
double levelMeterStep(int n, double sampleRate);
void smoothLevelMeter(double energy[kBandCount], const double levels[kBandCount], double k,
                      std::atomic<float> meter[kBandCount]);

// Where the smoothed "null" heads: the deepest band dip in dB, or -120 when
// no band is dipped by 0.05 dB or more.
double nullTarget(const float dipMeter[kBandCount]);

} // namespace ostrel
