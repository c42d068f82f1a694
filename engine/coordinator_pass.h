// The coordinator pass: run on the main thread by the one instance that holds
// the registry's coordinator lock, once per idle tick. For every live Source
// it computes one gain curve from the Source's levels, the summed levels of
// all Maskers that target it and the Source's Priority, and writes that curve
// into each of those Maskers' slots.
#pragma once

#include <cstdint>

#include "link/peer_registry.h"

namespace ostrel
{

// Deepest coordinator gain: -48 dB.
inline constexpr float kCoordinatorGainFloor = 0.0039810717055349725f; // 10^-2.4

// How far below the Source the Maskers' sum is brought, as a linear factor:
// -3 dB at priority 8 down to -18 dB at priority 1 (clamped to 1..8).
double priorityMargin(int priority);

// Gain of one band from the Source level s, the Maskers' summed level m and
// the margin g: 1.0 when either level is below 1e-6 or the sum is already
// low enough, else the factor that brings it to g x s, at least -48 dB.
float coordinatorBandGain(double s, double m, double g);

// One pass over the whole registry at the monotonic time nowMs; increments
// coordinatorPassCount at its end.
void coordinatorPass(PeerRegistry& registry, int64_t nowMs);

} // namespace ostrel
