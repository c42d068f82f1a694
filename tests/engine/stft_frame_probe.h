// A door into StftFrameEngine for the reference paths, which drive its rings
// and frames as the loops did before they were optimised, and for tests and
// benchmarks that seed rings or run one frame alone.
#pragma once

#include "engine/stft_frame_engine.h"

namespace ostrel
{

struct StftFrameProbe
{
    static StftFrameState& state(StftFrameEngine& stage) { return stage; }
    static void frame(StftFrameEngine& stage, const double* gains0, const double* gains1)
    {
        stage.processFrame(gains0, gains1);
    }
    static void oneChannel(StftFrameEngine& stage, int channel, const double* gains)
    {
        stage.processChannel(channel, gains);
    }
    static void bothChannels(StftFrameEngine& stage, const double* gains0, const double* gains1)
    {
        stage.processBothChannels(gains0, gains1);
    }
};

} // namespace ostrel
