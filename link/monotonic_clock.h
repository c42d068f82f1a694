// Monotonic millisecond clock shared by every heartbeat of the peer registry.
// Tests replace the source to move time by hand.
#pragma once

#include <cstdint>

namespace ostrel
{

// Milliseconds from the platform's steady clock (signed, never goes back).
int64_t monotonicMs();

// Test seam: while set, monotonicMs() returns what `source` returns. Pass
// nullptr to go back to the real clock.
using MonotonicSource = int64_t (*)();
void setMonotonicSourceForTesting(MonotonicSource source);

} // namespace ostrel
