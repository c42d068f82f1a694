#include "engine/block_driver.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

namespace
{

bool isConnected(const ChannelList& list, int channel)
{
    return channel >= 0 && channel < list.count && list.samples != nullptr &&
           (list.connected == nullptr || list.connected[channel]) &&
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

BlockRouting routeBlock(const ChannelList& inputs, const ChannelList& outputs, int sidechainStart,
                        bool sidechainOn, int nFrames, std::vector<double>& monoScratch)
{
    BlockRouting route;
    // An unconnected main channel still has a (silent) buffer from the framework.
    if (inputs.count < 1 || inputs.samples == nullptr || inputs.samples[0] == nullptr)
        return route;
    if (outputs.count < 1 || outputs.samples == nullptr || outputs.samples[0] == nullptr)
        return route;

    // Stereo needs the main pair on both sides: a sidechain channel does not
    // make a mono main input stereo.
    if (isConnected(inputs, 1) && isConnected(outputs, 1))
    {
        route.in0 = inputs.samples[0];
        route.in1 = inputs.samples[1];
        route.out0 = outputs.samples[0];
        route.out1 = outputs.samples[1];
    }
    else
    {
        route.mono = true;
        route.in0 = route.in1 = inputs.samples[0];
        route.out0 = outputs.samples[0];
        if (isConnected(outputs, 1))
        {
            // Mono into stereo: the second output carries the same processed signal.
            route.out1 = outputs.samples[1];
        }
        else
        {
            const size_t frames = static_cast<size_t>(std::max(nFrames, 1));
            if (monoScratch.size() < frames)
                monoScratch.resize(frames, 0.0);
            route.out1 = monoScratch.data();
        }
    }

    // Mono and stereo blocks alike take the sidechain where the framework
    // connects it, so a mono main bus with a sidechain bus has a sidechain.
    if (sidechainOn && isConnected(inputs, sidechainStart))
    {
        route.side0 = inputs.samples[sidechainStart];
        route.side1 = isConnected(inputs, sidechainStart + 1) ? inputs.samples[sidechainStart + 1]
                                                              : route.side0;
    }
    route.valid = true;
    return route;
}

void processBlock(SpectralEngine& engine, const ChannelList& inputs, const ChannelList& outputs,
                  int sidechainStart, const HostTransport& transport, int nFrames,
                  std::vector<double>& monoScratch)
{
    if (nFrames <= 0)
        return;
    const BlockRouting route = routeBlock(
        inputs, outputs, sidechainStart,
        engine.settings().sidechainOn.load(std::memory_order_relaxed) != 0, nFrames, monoScratch);
    if (!route.valid)
        return;

    // A negative position means the host gave none; it is not advanced.
    int64_t hostSamplePos = hostPositionOf(transport.samplePos);
    int done = 0;
    while (done < nFrames)
    {
        const int n = std::min(kMaxChunk, nFrames - done);
        engine.processChunk(route.in0 + done, route.in1 + done, route.out0 + done,
                            route.out1 + done, n, hostSamplePos, transport.playing,
                            route.side0 ? route.side0 + done : nullptr,
                            route.side1 ? route.side1 + done : nullptr);
        done += n;
        if (hostSamplePos >= 0)
            hostSamplePos += n;
    }
}

} // namespace ostrel
