// The host bypass's view of the engine's recent input: a stereo block's two
// main inputs, which every path of the engine keeps as it received them.
#pragma once

#include "engine/spectral_engine.h"
#include "framework/recent_input.h"

#include <algorithm>

namespace ostrel
{

class EngineRecentInput final : public plugfw::RecentInput
{
public:
    explicit EngineRecentInput(const SpectralEngine& engine) : mEngine(engine) {}

    // Further channels are asked for only while unconnected: they read zeros.
    void Read(int channel, int endAgo, int count, double* dst) const override
    {
        if (channel >= 0 && channel < 2)
            mEngine.readRecentInput(channel, endAgo, count, dst);
        else
            std::fill_n(dst, count, 0.0);
    }

private:
    const SpectralEngine& mEngine;
};

} // namespace ostrel
