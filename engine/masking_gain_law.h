// The block-rate gain law of the Masker/Self path: the chunk's thresholds and
// limits from Selectivity and Depth, the stereo-balance mismatch, and how
// each band's target gain follows from the source's masking spread, the
// instance's own level or the gains shared among the Maskers of one Source, attack/release
// smoothing and the guards.
#pragma once

#include "engine/masking_constants.h"

namespace ostrel
{

// Thresholds and limits fixed for one chunk.
struct ChunkThresholds
{
    double openThresholdDb = 4.0;       // a closed gate opens above this level over the spread
    double closeThresholdDb = 1.0;      // an open gate closes below this
    double prominenceThresholdDb = 1.0; // how far a band must stand out from its neighbours
    double bandAmountDivisor = 12.0;    // dB above the open threshold for the full band dip
    double bellAmountDivisor = 12.0;    // the same for the bells
    double depthFloor = 1.0;            // deepest gain the Depth allows (1.0 = none)
    double margin = 0.5;                // how far below the spread the local rule aims
};

// selectivity 3..12 dB; depthDb 0..-48 (after mute); depthBiasDb -6..-36.
ChunkThresholds chunkThresholds(bool self, double selectivity, double depthDb, double depthBiasDb);

// One-pole coefficients of the target gains for a chunk of n samples:
// 5 ms attack (deeper dips), 50 ms release.
struct ChunkSmoothing
{
    double attack = 0.0;
    double release = 0.0;
};
ChunkSmoothing chunkSmoothing(int n, double sampleRate);

// How far the Masker's stereo balance differs from its Source's, 0..1.
// srcBalance as published (NaN counts as 0); p0, p1 the Masker's per-channel
// energies summed over the bands.
double balanceMismatch(float srcBalance, double p0, double p1);

// The unsmoothed target u of band k (1.0 = no dip).
struct BandTargetInputs
{
    bool sourceLive = false;
    bool useShared = false;
    double maskSpread = 0.0;
    double own = 0.0;
    double sharedGain = 1.0;
    double mismatch = 0.0;
};
double bandTargetGain(int k, const BandTargetInputs& in, const ChunkThresholds& th);

// Moves blockGain toward u (attack for deeper dips, else release) and returns
// the chunk's target gain: blockGain clamped to the depth floor, then opened
// up by the two guard weights.
double smoothAndGuard(double u, double& blockGain, const ChunkSmoothing& sm, double depthFloor,
                      double lowGuardWeight, double highGuardWeight);

} // namespace ostrel
