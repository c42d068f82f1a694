// The reference per-sample paths (reference_paths.cpp): processChunk as the
// engine computed it before its paths were optimised, on the engine's own
// state, so two engines fed alike can be compared sample by sample.
#pragma once

#include "engine/spectral_engine.h"

namespace ostrel::reference
{

void processChunk(SpectralEngine& e, const double* in0, const double* in1, double* out0,
                  double* out1, int n, int64_t hostSamplePos, bool transportRunning,
                  const double* side0, const double* side1);

// The transform as it was: n points, twiddles from a recurrence inside the
// butterfly loops.
void fft(double* re, double* im, int n, int direction);

// One frame of the spectral stage as it was (StftFrameEngine::processFrame).
void stftFrame(StftFrameEngine& s, const double* gains0, const double* gains1);

} // namespace ostrel::reference
