// One sample of the release of dips, bell dips and the listen crossfade,
// shared by the release path and the Source path so that a dip fades the
// same way whichever role follows: bands 0..3 in the time domain, bands 4..23
// through the spectral stage (where the Masker path dipped them), bells in
// the time domain, all with the 20 ms glide.
#pragma once

#include "engine/engine_parts.h"
#include "engine/glide.h"

#include <cmath>

namespace ostrel
{

// in0/in1: this sample's inputs; y0/y1: their band-pass outputs; d0/d1: the
// lookahead-delayed inputs read at readPos. Writes the band and bell delay
// lines at delayWritePos (the caller advances it), runs the spectral stage
// and returns the output pair.
inline void EngineParts::releaseSample(double in0, double in1, const double* y0, const double* y1,
                                       int readPos, double d0, double d1, double& out0,
                                       double& out1)
{
    const BandTables& tables = filters.tables();
    const int w = delays.delayWritePos;
    double sub0 = 0.0;
    double sub1 = 0.0;
    const double* delayed0 = delays.lowBands(readPos, 0);
    const double* delayed1 = delays.lowBands(readPos, 1);
    for (int k = 0; k < kBandCount; ++k)
    {
        gains.bandGain[0][k] = glideToUnity(gains.bandGain[0][k], tables.glideCoef);
        gains.bandGain[1][k] = glideToUnity(gains.bandGain[1][k], tables.glideCoef);
    }
    for (int k = 0; k < kTimeDomainBands; ++k)
    {
        sub0 += (1.0 - gains.bandGain[0][k]) * delayed0[k];
        sub1 += (1.0 - gains.bandGain[1][k]) * delayed1[k];
    }
    delays.writeBands(w, y0, y1);
    bells.releaseSample(in0, in1, readPos, w, tables.glideCoef, sub0, sub1);
    if (stft.nextStepCompletesHop())
        gains.handToSpectralStage();

    const StftSample s =
        stft.step(d0, d1, sub0, sub1, 0.0, 0.0, gains.stftBandGain[0], gains.stftBandGain[1]);
    double o0 = s.out0;
    double o1 = s.out1;
    listening.release(tables.glideCoef, s, o0, o1);
    out0 = finiteOrAlignedDry(o0, s.dry0);
    out1 = finiteOrAlignedDry(o1, s.dry1);
}

} // namespace ostrel
