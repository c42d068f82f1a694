// Counting of heap allocations in the engine test program (the counting
// global operator new lives in engine_allocation_test.cpp).
#pragma once

namespace ostrel::testing
{

// Starts counting from zero.
void beginCountingAllocations();
// Stops counting and returns the allocations since the matching begin.
int endCountingAllocations();

} // namespace ostrel::testing
