// The per-band tables and time constants of one sample rate: band edges and
// centres, weights, envelope coefficients and the glide and decay factors.
// Rebuilt by every engine reset; read-only while audio runs.
#pragma once

#include "engine/band_layout.h"

namespace ostrel
{

struct BandTables
{
    double sampleRate = 48000.0;
    double edgeHz[kEdgeCount] = {};
    double centreHz[kBandCount] = {};
    double bandWeight[kBandCount] = {};
    // Envelope follower coefficients, one set per channel.
    alignas(kLaneAlign) double bandAttack[2][kBandCount] = {};
    alignas(kLaneAlign) double bandRelease[2][kBandCount] = {};
    double glideCoef = 0.0;
    double levelDecay = 0.0;
    double unityGains[kBandCount] = {};

    void build(double rate);
};

} // namespace ostrel
