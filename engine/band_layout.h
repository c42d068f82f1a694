// The engine's fixed band layout: 24 bands spaced equally on the ERB-rate
// scale from 20 Hz to 20 kHz, and the per-band values derived from it (centre,
// Bark, frequency weighting, envelope times) plus the engine's time
// constants. Pure functions; the edges do not depend on the sample rate.
#pragma once

namespace ostrel
{

inline constexpr int kBandCount = 24;
inline constexpr int kEdgeCount = kBandCount - 1;
// Per-band arrays on the sample loops start on a cache line: a vector of
// eight doubles that straddles two lines costs two accesses, and a load that
// straddles the line a store just wrote waits for it.
inline constexpr int kLaneAlign = 64;
// The low-pass members per sample rounded up to whole vectors of four.
inline constexpr int kLowpassLanes = (kEdgeCount + 3) / 4 * 4;
inline constexpr double kLowestHz = 20.0;
inline constexpr double kHighestHz = 20000.0;

// The 23 inner band edges in Hz, lowest first.
void computeBandEdges(double edgeHz[kEdgeCount]);

// Limits of band k (20 Hz below band 0, 20 kHz above band 23).
double bandLowerHz(const double edgeHz[kEdgeCount], int band);
double bandUpperHz(const double edgeHz[kEdgeCount], int band);

// Geometric mean of a band's limits.
double bandCentreHz(const double edgeHz[kEdgeCount], int band);

// Critical-band rate in Bark of a frequency.
double barkOfHz(double hz);

// The fixed frequency-weighting curve: dB at hz, and its linear gain.
double weightingDb(double hz);
double weightingGain(double hz);

// Per-band envelope times in milliseconds for a band centred at hz.
double envelopeAttackMs(double centreHz);
double envelopeReleaseMs(double centreHz);

// One-pole smoothing coefficient 1 - exp(-1 / (T sampleRate)), T in ms (at least 0.01 ms).
double onePoleFromMs(double ms, double sampleRate);

// Engine time constants.
inline constexpr double kGlideSeconds = 0.020;
inline constexpr double kLevelDecaySeconds = 0.080;
inline constexpr double kBellAttackMs = 1.5;
inline constexpr double kBellReleaseMs = 35.0;

// One-pole glide of dips back to 1.0 and of the listen crossfade (20 ms).
double glideCoefficient(double sampleRate);
// Per-sample decay factor of the masking computation (80 ms).
double levelDecayFactor(double sampleRate);

} // namespace ostrel
