// Stand-in for the Masker/Self path until its real body lands: releases any
// dips and passes the signal through like the Off role.
#include "engine/spectral_engine.h"

namespace ostrel
{

void SpectralEngine::processMaskerChunk(const double* in0, const double* in1, double* out0,
                                        double* out1, int n, int64_t /*hostSamplePos*/,
                                        bool /*transportRunning*/, const double* /*side0*/,
                                        const double* /*side1*/)
{
    processReleaseChunk(in0, in1, out0, out1, n, slotOfChannelIndex(settings.channelIndex));
}

} // namespace ostrel
