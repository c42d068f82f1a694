// Which version of the audio paths' vector loops runs (vector_clones.h). The
// engine runs the fastest version the processor supports; a measurement or a
// test may ask for a lower one, to compare the versions on one machine. The
// plug-in never asks.
#pragma once

namespace ostrel
{

// In order of preference. All compute the same, bit for bit.
enum class VectorVersion : int
{
    Baseline = 0,
    Avx2 = 1,
    Avx512 = 2,
};

inline constexpr int kVectorVersionCount = 3;

// "baseline", "avx2", "avx512".
const char* vectorVersionName(VectorVersion version);

// Whether this build has the version and the processor runs it (the
// baseline always).
bool vectorVersionAvailable(VectorVersion version);

// The version the loops run now: the fastest available unless chosen.
VectorVersion activeVectorVersion();

// Runs `version` from the next call of a loop on (every instance of the
// process). False, and nothing changes, when it is not available.
bool chooseVectorVersion(VectorVersion version);

} // namespace ostrel
