// The room a Source leaves, shared among all the Maskers that follow it.
// Each Masker works out the same curve at the start of each of its periods,
// on its own audio thread, from publications in audio time: the Source's
// levels and every following Masker's levels, each the newest one whose
// period ended by then. So the dips depend on the audio alone, never on
// when (or whether) the host's main thread runs: an export faster than real
// time sounds like playback.
#pragma once

#include <cstdint>

#include "link/peer_registry.h"

namespace ostrel
{

// Deepest shared gain: -48 dB.
inline constexpr float kCoordinatorGainFloor = 0.0039810717055349725f; // 10^-2.4

// How far below the Source the Maskers' sum is brought, as a linear factor:
// -3 dB at priority 8 down to -18 dB at priority 1 (clamped to 1..8).
double priorityMargin(int priority);

// Gain of one band from the Source level s, the Maskers' summed level m and
// the margin g: 1.0 when either level is below 1e-6 or the sum is already
// low enough, else the factor that brings it to g x s, at least -48 dB.
float coordinatorBandGain(double s, double m, double g);

// The curve shared by every Masker that follows the Source in `sourceSlot`,
// for a period starting at host position `periodStart` (-1 when unknown:
// then every Masker's newest levels count). `source` holds the Source's
// levels for that moment. The Maskers counted are the live ones whose
// target is `sourceSlot`, each with its newest publication that ended by
// `periodStart` (none yet: it adds nothing). Bounded reads, no allocation,
// no lock: for the audio thread.
void sharedGainCurve(const PeerRegistry& registry, int sourceSlot, int64_t periodStart,
                     const float source[kPeerBandCount], int64_t nowMs, float out[kPeerBandCount]);

} // namespace ostrel
