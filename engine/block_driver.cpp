#include "engine/block_driver.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

namespace
{

int connectedCount(const ChannelList& list)
{
    int count = 0;
    for (int i = 0; i < list.count; ++i)
        count += list.connected[i] ? 1 : 0;
    return count;
}

bool isConnected(const ChannelList& list, int channel)
{
    return channel >= 0 && channel < list.count && list.connected[channel] &&
           list.samples[channel] != nullptr;
}

int64_t hostPositionOf(double samplePos)
{
    // Truncated toward zero; a position that cannot be represented reads as unknown.
    if (!std::isfinite(samplePos) || std::fabs(samplePos) >= 9.0e18)
        return -1;
    return static_cast<int64_t>(samplePos);
}

} // namespace

void processBlock(SpectralEngine& engine, const ChannelList& inputs, const ChannelList& outputs,
                  int sidechainStart, const HostTransport& transport, int nFrames,
                  std::vector<double>& monoScratch)
{
    if (nFrames <= 0 || inputs.count < 1 || outputs.count < 1 || inputs.samples == nullptr ||
        outputs.samples == nullptr || inputs.samples[0] == nullptr || outputs.samples[0] == nullptr)
        return;

    const double* in0;
    const double* in1;
    double* out0;
    double* out1;
    if (connectedCount(inputs) >= 2 && connectedCount(outputs) >= 2 && inputs.count >= 2 &&
        outputs.count >= 2 && inputs.samples[1] != nullptr && outputs.samples[1] != nullptr)
    {
        in0 = inputs.samples[0];
        in1 = inputs.samples[1];
        out0 = outputs.samples[0];
        out1 = outputs.samples[1];
    }
    else
    {
        in0 = in1 = inputs.samples[0];
        out0 = outputs.samples[0];
        if (monoScratch.size() < static_cast<size_t>(nFrames))
            monoScratch.resize(static_cast<size_t>(nFrames), 0.0);
        out1 = monoScratch.data();
    }

    const double* side0 = nullptr;
    const double* side1 = nullptr;
    if (engine.settings.sidechainOn != 0 && isConnected(inputs, sidechainStart))
    {
        side0 = inputs.samples[sidechainStart];
        side1 =
            isConnected(inputs, sidechainStart + 1) ? inputs.samples[sidechainStart + 1] : side0;
    }

    int64_t hostSamplePos = hostPositionOf(transport.samplePos);
    const int maxChunk = kDelayLength - engine.lookaheadDelay;
    int done = 0;
    while (done < nFrames)
    {
        const int n = std::min(maxChunk, nFrames - done);
        engine.processChunk(in0 + done, in1 + done, out0 + done, out1 + done, n, hostSamplePos,
                            transport.playing, side0 ? side0 + done : nullptr,
                            side1 ? side1 + done : nullptr);
        done += n;
        if (hostSamplePos >= 0)
            hostSamplePos += n;
    }
}

} // namespace ostrel
