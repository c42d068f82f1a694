// Turns the host's audio callback into engine chunks: picks the main
// channels (stereo when at least two input and two output channels are
// connected, else mono with a scratch buffer for the second output), the
// optional sidechain pair, and cuts the block into chunks the lookahead delay
// lines can hold.
#pragma once

#include "engine/spectral_engine.h"

#include <cstdint>
#include <vector>

namespace ostrel
{

// One direction's channels as the framework connected them for this block.
struct ChannelList
{
    double* const* samples = nullptr; // one pointer per channel
    const bool* connected = nullptr;  // one flag per channel
    int count = 0;
};

struct HostTransport
{
    double samplePos = -1.0; // project time in samples
    bool playing = false;
};

// The plug-in's block callback (audio thread). sidechainStart: the input
// channel at which the framework connects the sidechain bus (used for mono
// and stereo blocks alike). monoScratch stands in for the second output of a
// mono block; it grows (the one allowed allocation) when nFrames exceeds it.
void processBlock(SpectralEngine& engine, const ChannelList& inputs, const ChannelList& outputs,
                  int sidechainStart, const HostTransport& transport, int nFrames,
                  std::vector<double>& monoScratch);

} // namespace ostrel
