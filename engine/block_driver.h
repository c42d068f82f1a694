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
    const bool* connected = nullptr;  // one flag per channel; null: all connected
    int count = 0;
};

struct HostTransport
{
    double samplePos = -1.0; // project time in samples
    bool playing = false;
};

// The channels one block is processed with.
struct BlockRouting
{
    const double* in0 = nullptr;
    const double* in1 = nullptr;
    double* out0 = nullptr;
    double* out1 = nullptr;
    const double* side0 = nullptr; // null: no sidechain
    const double* side1 = nullptr;
    bool mono = false;
    bool valid = false; // false when there is no main input or output channel
};

// Channel selection of one block. A mono block's second output is the
// scratch buffer, grown to nFrames (new samples 0) when shorter.
BlockRouting routeBlock(const ChannelList& inputs, const ChannelList& outputs, int sidechainStart,
                        bool sidechainOn, int nFrames, std::vector<double>& monoScratch);

// The plug-in's block callback (audio thread). sidechainStart: the input
// channel at which the framework connects the sidechain bus (used for mono
// and stereo blocks alike). monoScratch stands in for the second output of a
// mono block; it grows (the one allowed allocation) when nFrames exceeds it.
void processBlock(SpectralEngine& engine, const ChannelList& inputs, const ChannelList& outputs,
                  int sidechainStart, const HostTransport& transport, int nFrames,
                  std::vector<double>& monoScratch);

} // namespace ostrel
