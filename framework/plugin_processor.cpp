#include "framework/plugin_processor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace plugfw
{

namespace
{

// Built for AVX-512 and AVX2 as well where the loader picks a version (GCC,
// x86-64 ELF): eight or four samples a step instead of two. Every version
// converts alike (widening is exact, narrowing rounds by the same mode).
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__) &&         \
    !defined(__SANITIZE_THREAD__)
#define PLUGFW_CONVERSION_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define PLUGFW_CONVERSION_CLONES
#endif

// Sample conversions between the host's 32-bit buffers and the plug-in's own
// 64-bit ones (never the same memory), written so that they vectorise.
PLUGFW_CONVERSION_CLONES void widen(const float* __restrict src, double* __restrict dst, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<double>(src[i]);
}

PLUGFW_CONVERSION_CLONES void narrow(const double* __restrict src, float* __restrict dst, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

// A ring position moved on by `frames`: a slice is mostly shorter than the
// ring, so a subtraction spares the division in every block.
size_t ringAdvance(int pos, size_t frames, size_t length)
{
    size_t next = static_cast<size_t>(pos) + frames;
    if (next >= length)
        next -= length;
    return next < length ? next : next % length;
}

} // namespace

PluginProcessor::PluginProcessor(const Config& config)
{
    ParseChannelIOStr(config.channelIOStr ? config.channelIOStr : "", mIOConfigs, mTotals);
    for (Direction dir : {kInput, kOutput})
    {
        mChannels[dir].resize(static_cast<size_t>(std::max(0, mTotals.channels[dir])));
        mChannelData[dir].assign(mChannels[dir].size(), nullptr);
        mConnected[dir] = std::make_unique<bool[]>(mChannels[dir].size() + 1);
    }
    // A sidechain bus always starts after the widest main input of any layout,
    // so its channels do not move when the host switches layouts.
    mSidechainStart = MaxChannelsOfBus(kInput, 0);
    mLatency = config.latency;
    ResetBypassDelay();
}

PluginProcessor::~PluginProcessor() = default;

int PluginProcessor::MaxBusCount(Direction dir, int* configIdxOut) const
{
    int maxCount = 0;
    int configIdx = -1;
    for (int i = 0; i < NIOConfigs(); ++i)
    {
        const int n = mIOConfigs[static_cast<size_t>(i)].NBuses(dir);
        if (n >= maxCount)
        {
            maxCount = n;
            configIdx = i;
        }
    }
    if (configIdxOut)
        *configIdxOut = configIdx;
    return maxCount;
}

int PluginProcessor::MaxChannelsOfBus(Direction dir, int busIdx) const
{
    if (mIOConfigs.empty())
        return 0;
    if (mIOConfigs.front().ContainsWildcard(dir))
        return -1;
    int widest = 0;
    for (const IOConfig& config : mIOConfigs)
        widest = std::max(widest, config.NChannelsOfBus(dir, busIdx));
    return widest;
}

int PluginProcessor::MatchConfig(const std::vector<int>& inputChannelsPerBus,
                                 const std::vector<int>& outputChannelsPerBus) const
{
    for (int i = 0; i < NIOConfigs(); ++i)
    {
        const IOConfig& config = mIOConfigs[static_cast<size_t>(i)];
        auto matches = [&config](Direction dir, const std::vector<int>& widths)
        {
            if (config.NBuses(dir) != static_cast<int>(widths.size()))
                return false;
            for (size_t b = 0; b < widths.size(); ++b)
                if (config.buses[dir][b].nChannels != widths[b])
                    return false;
            return true;
        };
        if (matches(kInput, inputChannelsPerBus) && matches(kOutput, outputChannelsPerBus))
            return i;
    }
    return -1;
}

std::string PluginProcessor::BusName(Direction dir, int busIdx, int busCount) const
{
    char name[kLabelSize];
    if (dir == kInput)
    {
        if (busCount == 1)
            return "Input";
        if (busCount == 2)
            return busIdx == 0 ? "Main" : "Aux";
        std::snprintf(name, sizeof(name), "Input %i", busIdx);
    }
    else
    {
        if (busCount == 1)
            return "Output";
        std::snprintf(name, sizeof(name), "Output %i", busIdx);
    }
    return name;
}

bool PluginProcessor::IsChannelConnected(Direction dir, int ch) const
{
    return ch >= 0 && ch < NChannels(dir) && mConnected[dir][static_cast<size_t>(ch)];
}

int PluginProcessor::ConnectedChannelCount(Direction dir) const
{
    return static_cast<int>(
        std::count(mConnected[dir].get(), mConnected[dir].get() + NChannels(dir), true));
}

void PluginProcessor::SetChannelConnections(Direction dir, int first, int count, bool connected)
{
    // Connections changed from outside the block: the kept ones no longer hold.
    ForgetBlockSetUp();
    Connect(dir, first, count, connected);
}

void PluginProcessor::DisconnectAll(Direction dir)
{
    Connect(dir, 0, NChannels(dir), false);
}

void PluginProcessor::Connect(Direction dir, int first, int count, bool connected)
{
    const long long end =
        std::min<long long>(static_cast<long long>(first) + count, NChannels(dir));
    for (long long ch = std::max(first, 0); ch < end; ++ch)
    {
        Channel& channel = mChannels[dir][static_cast<size_t>(ch)];
        mConnected[dir][static_cast<size_t>(ch)] = connected;
        if (!connected)
        {
            // An unconnected channel works in its own scratch: inputs read zeros.
            mChannelData[dir][static_cast<size_t>(ch)] = channel.scratch.data();
            channel.hostOut32 = nullptr;
        }
    }
}

void PluginProcessor::SetChannelLabel(Direction dir, int ch, const char* format, bool zeroBased)
{
    if (ch < 0 || ch >= NChannels(dir) || !format)
        return;
    char* label = mChannels[dir][static_cast<size_t>(ch)].label;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(label, kLabelSize, format, zeroBased ? ch : ch + 1);
#pragma GCC diagnostic pop
}

const char* PluginProcessor::GetChannelLabel(Direction dir, int ch) const
{
    if (ch < 0 || ch >= NChannels(dir))
        return "";
    return mChannels[dir][static_cast<size_t>(ch)].label;
}

void PluginProcessor::SetBlockSize(int blockSize)
{
    blockSize = std::max(blockSize, 0);
    if (blockSize == mBlockSize)
        return;
    for (Direction dir : {kInput, kOutput})
    {
        for (size_t ch = 0; ch < mChannels[dir].size(); ++ch)
        {
            Channel& channel = mChannels[dir][ch];
            channel.scratch.assign(static_cast<size_t>(blockSize), 0.0);
            channel.scratchHoldsInput = false;
            channel.hostOut32 = nullptr;
            mChannelData[dir][ch] = channel.scratch.data();
        }
    }
    mBlockSize = blockSize;
    ForgetBlockSetUp();
    ResetBypassDelay();
}

void PluginProcessor::SetLatency(int latency)
{
    mLatency = latency;
    ResetBypassDelay();
    InformHostOfLatencyChange();
}

void PluginProcessor::ResetBypassDelay()
{
    mBypassDelay.clear();
    mBypassOut.clear();
    if (NChannels(kInput) >= 1)
    {
        mBypassDelay.assign(mChannels[kInput].size(),
                            std::vector<double>(static_cast<size_t>(std::max(mLatency, 1)), 0.0));
        mBypassOut.assign(mChannels[kInput].size(),
                          std::vector<double>(static_cast<size_t>(std::max(mBlockSize, 1)), 0.0));
    }
    mBypassWritePos = 0;
    mBypassMissing = 0;
    // Called whenever processing is set up or stopped: the next block
    // connects afresh.
    ForgetBlockSetUp();
    // 5 ms: short enough to answer the switch at once, long enough not to click.
    mBypassFadeLength = std::max(1, static_cast<int>(0.005 * mSampleRate));
    mBypassFade = GetBypassed() ? mBypassFadeLength : 0;
    mBypassStarted = false;
}

PluginProcessor::ArrangedBuses PluginProcessor::ArrangedBusesForBlock(int hostOutputBuses) const
{
    ArrangedBuses buses;
    buses.inputBuses = PluginBusCount(kInput);
    buses.sidechainActive = buses.inputBuses >= 2 && IsPluginBusActive(kInput, 1);
    for (int b = 0; b < std::min(hostOutputBuses, ArrangedBuses::kMaskBits); ++b)
        if (IsPluginBusActive(kOutput, b))
            buses.activeOutputs |= uint64_t{1} << b;
    return buses;
}

void PluginProcessor::SetUp::clear()
{
    valid = false;
    complete = true;
    inputCount = outputCount = silentCount = 0;
    keeperAsked = false;
}

bool PluginProcessor::SetUp::add(Route* list, int& count, Route route)
{
    if (count == kRoutes)
        return false;
    list[count++] = route;
    return true;
}

void PluginProcessor::ProcessBuffers(const HostAudioBus* inputs, int numInputBuses,
                                     const HostAudioBus* outputs, int numOutputBuses,
                                     int sampleBits, int nFrames)
{
    if ((sampleBits != 32 && sampleBits != 64) || nFrames <= 0)
        return;
    const bool is32 = sampleBits == 32;
    if (!inputs)
        numInputBuses = 0;
    if (!outputs)
        numOutputBuses = 0;

    if (mBlockSize <= 0)
    {
        // No processing setup yet: nothing to work in, so the host hears silence.
        for (int b = 0; b < numOutputBuses; ++b)
            for (int c = 0; c < outputs[b].numChannels; ++c)
            {
                if (is32 && outputs[b].channels32 && outputs[b].channels32[c])
                    std::fill_n(outputs[b].channels32[c], nFrames, 0.0f);
                if (!is32 && outputs[b].channels64 && outputs[b].channels64[c])
                    std::fill_n(outputs[b].channels64[c], nFrames, 0.0);
            }
        return;
    }

    // The plug-in's buses as the host arranged and activated them, asked
    // once per block (the host changes them only between blocks).
    const ArrangedBuses buses = ArrangedBusesForBlock(numOutputBuses);
    // The key packs small counts; a layout beyond them connects afresh.
    bool keyed = numInputBuses <= SetUpKey::kBuses && numOutputBuses <= SetUpKey::kBuses &&
                 buses.inputBuses >= 0 && buses.inputBuses < 256;
    SetUpKey key;
    if (keyed)
    {
        key.words[0] = mSetUpGeneration.load(std::memory_order_relaxed);
        key.words[1] = static_cast<uint32_t>(is32) | static_cast<uint32_t>(numInputBuses) << 1 |
                       static_cast<uint32_t>(numOutputBuses) << 4 |
                       static_cast<uint32_t>(buses.sidechainActive) << 7 |
                       static_cast<uint32_t>(buses.inputBuses) << 8 |
                       static_cast<uint32_t>(buses.activeOutputs & 0xffu) << 16;
        uint32_t channels = 0;
        for (int b = 0; b < numInputBuses; ++b)
            channels |= static_cast<uint32_t>(inputs[b].numChannels) << (8 * b);
        key.words[2] = channels;
        channels = 0;
        for (int b = 0; b < numOutputBuses; ++b)
            channels |= static_cast<uint32_t>(outputs[b].numChannels) << (8 * b);
        key.words[3] = channels;
        for (int b = 0; b < numInputBuses; ++b)
            keyed = keyed && inputs[b].numChannels >= 0 && inputs[b].numChannels < 256;
        for (int b = 0; b < numOutputBuses; ++b)
            keyed = keyed && outputs[b].numChannels >= 0 && outputs[b].numChannels < 256;
    }

    // A block like the last reuses its connections; any other makes them
    // afresh, recording them in its first slice.
    const bool reuse =
        keyed && mSetUp.valid && key == mSetUp.key && GatherSetUpBuffers(inputs, outputs, is32);
    SetUp* record = nullptr;
    if (!reuse)
    {
        mSetUp.clear();
        record = keyed ? &mSetUp : nullptr;
    }
    // A host block longer than the announced maximum is taken in slices that
    // fit the scratch buffers.
    for (int offset = 0; offset < nFrames; offset += mBlockSize)
    {
        const int n = std::min(mBlockSize, nFrames - offset);
        if (reuse)
            ProcessSliceAsSetUp(outputs, is32, offset, n);
        else
            ProcessSlice(inputs, numInputBuses, outputs, numOutputBuses, buses, is32, offset, n,
                         offset == 0 ? record : nullptr);
    }
    if (record)
    {
        mSetUp.key = key;
        mSetUp.valid = mSetUp.complete;
    }
}

bool PluginProcessor::SetUpKey::operator==(const SetUpKey& other) const
{
    return std::memcmp(words, other.words, sizeof(words)) == 0;
}

bool PluginProcessor::GatherSetUpBuffers(const HostAudioBus* inputs, const HostAudioBus* outputs,
                                         bool is32)
{
    // Every buffer the connections use must be there in this block too.
    if (is32)
    {
        for (int i = 0; i < mSetUp.inputCount; ++i)
        {
            const HostAudioBus& bus = inputs[mSetUp.inputs[i].bus];
            if (!bus.channels32 ||
                !(mSetUp.inputBuffers[i] = bus.channels32[mSetUp.inputs[i].busChannel]))
                return false;
        }
        for (int i = 0; i < mSetUp.outputCount; ++i)
        {
            const HostAudioBus& bus = outputs[mSetUp.outputs[i].bus];
            if (!bus.channels32 ||
                !(mSetUp.outputBuffers[i] = bus.channels32[mSetUp.outputs[i].busChannel]))
                return false;
        }
        return true;
    }
    for (int i = 0; i < mSetUp.inputCount; ++i)
    {
        const HostAudioBus& bus = inputs[mSetUp.inputs[i].bus];
        if (!bus.channels64 ||
            !(mSetUp.inputBuffers[i] = bus.channels64[mSetUp.inputs[i].busChannel]))
            return false;
    }
    for (int i = 0; i < mSetUp.outputCount; ++i)
    {
        const HostAudioBus& bus = outputs[mSetUp.outputs[i].bus];
        if (!bus.channels64 ||
            !(mSetUp.outputBuffers[i] = bus.channels64[mSetUp.outputs[i].busChannel]))
            return false;
    }
    return true;
}

bool PluginProcessor::outputActive(const ArrangedBuses& buses, int bus) const
{
    // Buses past the mask's width are asked each time.
    return bus < ArrangedBuses::kMaskBits ? (buses.activeOutputs >> bus & 1u) != 0
                                          : IsPluginBusActive(kOutput, bus);
}

void PluginProcessor::ProcessSlice(const HostAudioBus* inputs, int numInputBuses,
                                   const HostAudioBus* outputs, int numOutputBuses,
                                   const ArrangedBuses& buses, bool is32, int offset, int n,
                                   SetUp* record)
{
    // Inputs. Without any host input bus every input reads zeros rather than
    // keeping pointers into an earlier block's buffers.
    DisconnectAll(kInput);
    const int pluginInputBuses = buses.inputBuses;
    if (numInputBuses > 0)
    {
        if (pluginInputBuses < 2)
        {
            AttachInputBus(inputs[0], 0, 0, is32, offset, n, record);
        }
        else
        {
            if (buses.sidechainActive)
            {
                mSidechainActive = true;
            }
            else if (mSidechainActive)
            {
                for (Direction dir : {kInput, kOutput})
                    for (Channel& channel : mChannels[dir])
                    {
                        std::fill(channel.scratch.begin(), channel.scratch.end(), 0.0);
                        channel.scratchHoldsInput = false;
                    }
                mSidechainActive = false;
            }
            AttachInputBus(inputs[0], 0, 0, is32, offset, n, record);
            if (mSidechainActive && numInputBuses > 1)
                AttachInputBus(inputs[1], 1, mSidechainStart, is32, offset, n, record);
        }
    }
    // The main input's width in this block: what a host actually sends, which
    // need not be what the buses were arranged to.
    mMainInputCount = 0;
    const int mainLimit =
        pluginInputBuses < 2 ? NChannels(kInput) : std::min(mSidechainStart, NChannels(kInput));
    while (mMainInputCount < mainLimit && mConnected[kInput][static_cast<size_t>(mMainInputCount)])
        ++mMainInputCount;
    // A channel that lost its host bus must not replay the samples that the
    // last 32-bit block left in its scratch.
    for (size_t ch = 0; ch < mChannels[kInput].size(); ++ch)
    {
        Channel& channel = mChannels[kInput][ch];
        if (!mConnected[kInput][ch] && channel.scratchHoldsInput)
        {
            std::fill(channel.scratch.begin(), channel.scratch.end(), 0.0);
            channel.scratchHoldsInput = false;
        }
    }

    // Outputs: host bus i fills the channels after those of the buses before it.
    DisconnectAll(kOutput);
    int first = 0;
    for (int b = 0; b < numOutputBuses; ++b)
    {
        AttachOutputBus(outputs[b], b, first, outputActive(buses, b), is32, offset, record);
        first += std::max(outputs[b].numChannels, 0);
    }

    // The input enters the bypass delay before processBlock may overwrite it
    // (hosts that process in place).
    FeedBypassDelay(n, mainLimit);
    processBlock(mChannelData[kInput].data(), mChannelData[kOutput].data(), n);
    MixBypass(n);
    // Host channels that no plug-in channel feeds (an inactive bus, more
    // channels than the plug-in has) still get a defined block. Done after
    // processing, since in-place hosts may share them with the inputs.
    first = 0;
    for (int b = 0; b < numOutputBuses; ++b)
    {
        const bool active = outputActive(buses, b);
        for (int c = 0; c < outputs[b].numChannels; ++c)
        {
            if (active && first + c < NChannels(kOutput))
                continue;
            if (record && !SetUp::add(record->silent, record->silentCount, {0, b, c}))
                record->complete = false;
            if (is32 && outputs[b].channels32 && outputs[b].channels32[c])
                std::fill_n(outputs[b].channels32[c] + offset, n, 0.0f);
            if (!is32 && outputs[b].channels64 && outputs[b].channels64[c])
                std::fill_n(outputs[b].channels64[c] + offset, n, 0.0);
        }
        first += std::max(outputs[b].numChannels, 0);
    }
    if (record)
    {
        record->mainInputCount = mMainInputCount;
        record->mainLimit = mainLimit;
    }

    if (is32)
    {
        for (size_t ch = 0; ch < mChannels[kOutput].size(); ++ch)
        {
            const Channel& channel = mChannels[kOutput][ch];
            if (mConnected[kOutput][ch] && channel.hostOut32)
                narrow(mChannelData[kOutput][ch], channel.hostOut32, n);
        }
    }
}

void PluginProcessor::ProcessSliceAsSetUp(const HostAudioBus* outputs, bool is32, int offset, int n)
{
    // The connections, flags and silent scratch buffers are as the block that
    // recorded them left them; only the host's buffers are new. A 32-bit
    // block's channels stay on their scratch buffers.
    const SetUp& s = mSetUp;
    double** inData = mChannelData[kInput].data();
    double** outData = mChannelData[kOutput].data();
    if (is32)
    {
        for (int i = 0; i < s.inputCount; ++i)
            widen(static_cast<const float*>(s.inputBuffers[i]) + offset,
                  inData[s.inputs[i].channel], n);
    }
    else
    {
        for (int i = 0; i < s.inputCount; ++i)
            inData[s.inputs[i].channel] = static_cast<double*>(s.inputBuffers[i]) + offset;
        for (int i = 0; i < s.outputCount; ++i)
            outData[s.outputs[i].channel] = static_cast<double*>(s.outputBuffers[i]) + offset;
    }
    mMainInputCount = s.mainInputCount;

    FeedBypassDelay(n, s.mainLimit);
    processBlock(inData, outData, n);
    MixBypass(n);
    for (int i = 0; i < s.silentCount; ++i)
    {
        const HostAudioBus& bus = outputs[s.silent[i].bus];
        const int c = s.silent[i].busChannel;
        if (is32 && bus.channels32 && bus.channels32[c])
            std::fill_n(bus.channels32[c] + offset, n, 0.0f);
        if (!is32 && bus.channels64 && bus.channels64[c])
            std::fill_n(bus.channels64[c] + offset, n, 0.0);
    }
    if (is32)
        for (int i = 0; i < s.outputCount; ++i)
            narrow(outData[s.outputs[i].channel], static_cast<float*>(s.outputBuffers[i]) + offset,
                   n);
}

void PluginProcessor::AttachInputBus(const HostAudioBus& bus, int busIdx, int firstChannel,
                                     bool is32, int offset, int n, SetUp* record)
{
    for (int c = 0; c < bus.numChannels; ++c)
    {
        const int ch = firstChannel + c;
        if (ch < 0)
            continue;
        if (ch >= NChannels(kInput))
            break;
        Channel& channel = mChannels[kInput][static_cast<size_t>(ch)];
        double*& data = mChannelData[kInput][static_cast<size_t>(ch)];
        if (is32)
        {
            if (!bus.channels32 || !bus.channels32[c])
            {
                if (record)
                    record->complete = false;
                continue;
            }
            widen(bus.channels32[c] + offset, channel.scratch.data(), n);
            channel.scratchHoldsInput = true;
            data = channel.scratch.data();
        }
        else
        {
            if (!bus.channels64 || !bus.channels64[c])
            {
                if (record)
                    record->complete = false;
                continue;
            }
            data = bus.channels64[c] + offset;
        }
        mConnected[kInput][static_cast<size_t>(ch)] = true;
        if (record && !SetUp::add(record->inputs, record->inputCount, {ch, busIdx, c}))
            record->complete = false;
    }
}

void PluginProcessor::AttachOutputBus(const HostAudioBus& bus, int busIdx, int firstChannel,
                                      bool connect, bool is32, int offset, SetUp* record)
{
    if (!connect)
        return;
    for (int c = 0; c < bus.numChannels; ++c)
    {
        const int ch = firstChannel + c;
        if (ch >= NChannels(kOutput))
            break;
        Channel& channel = mChannels[kOutput][static_cast<size_t>(ch)];
        double*& data = mChannelData[kOutput][static_cast<size_t>(ch)];
        if (is32)
        {
            if (!bus.channels32 || !bus.channels32[c])
            {
                if (record)
                    record->complete = false;
                continue;
            }
            channel.hostOut32 = bus.channels32[c] + offset;
            data = channel.scratch.data();
        }
        else
        {
            if (!bus.channels64 || !bus.channels64[c])
            {
                if (record)
                    record->complete = false;
                continue;
            }
            data = bus.channels64[c] + offset;
        }
        mConnected[kOutput][static_cast<size_t>(ch)] = true;
        if (record && !SetUp::add(record->outputs, record->outputCount, {ch, busIdx, c}))
            record->complete = false;
    }
}

void PluginProcessor::FeedBypassDelay(int n, int mainChannels)
{
    // One reading per slice: a state restore on the main thread may switch
    // the bypass between here and the mix.
    mSliceBypassed = GetBypassed();
    if (mBypassDelay.empty() || mBypassOut.empty() || static_cast<size_t>(n) > mBypassOut[0].size())
        return;
    // What leaves the ring is needed only while the bypass sounds or fades.
    const bool heard = mSliceBypassed || mBypassFade > 0 || !mBypassStarted;
    double* const* in = mChannelData[kInput].data();
    const size_t length = mBypassDelay[0].size();
    const size_t frames = static_cast<size_t>(n);
    // The sidechain never reaches the output, so only the main channels' rings
    // are kept.
    const size_t fed =
        std::min(mBypassDelay.size(), static_cast<size_t>(std::max(mainChannels, 0)));
    if (mLatency > 0)
    {
        const RecentInput* keeper = nullptr;
        if (!heard)
        {
            // The answer holds while the connections do (a new set clears it).
            if (!mSetUp.keeperAsked)
            {
                mSetUp.keeper = KeptMainInput(static_cast<int>(fed));
                mSetUp.keeperAsked = true;
            }
            keeper = mSetUp.keeper;
        }
        if (keeper != nullptr)
        {
            mBypassKeeper = keeper;
            mBypassKeptChannels = mBypassMissing == 0 ? fed : std::min(mBypassKeptChannels, fed);
            mBypassMissing =
                static_cast<int>(std::min(static_cast<size_t>(mBypassMissing) + frames, length));
            mBypassWritePos = static_cast<int>(ringAdvance(mBypassWritePos, frames, length));
            return;
        }
        RefillBypassDelay(fed);
    }
    for (size_t j = 0; j < fed; ++j)
    {
        const double* x = in[j];
        double* leaving = mBypassOut[j].data();
        if (mLatency <= 0)
        {
            if (x != nullptr)
                std::memcpy(leaving, x, frames * sizeof(double));
            else
                std::fill_n(leaving, frames, 0.0);
            continue;
        }
        // At most two runs: up to the ring's end, then from its start.
        double* ring = mBypassDelay[j].data();
        size_t pos = static_cast<size_t>(mBypassWritePos);
        size_t done = 0;
        while (done < frames)
        {
            const size_t run = std::min(frames - done, length - pos);
            if (heard)
                std::memcpy(leaving + done, ring + pos, run * sizeof(double));
            if (x != nullptr)
                std::memcpy(ring + pos, x + done, run * sizeof(double));
            else
                std::fill_n(ring + pos, run, 0.0);
            done += run;
            pos = pos + run == length ? 0 : pos + run;
        }
    }
    mBypassWritePos = static_cast<int>(ringAdvance(mBypassWritePos, frames, length));
}

void PluginProcessor::RefillBypassDelay(size_t channels)
{
    if (mBypassMissing == 0)
        return;
    const size_t length = mBypassDelay[0].size();
    const size_t missing = static_cast<size_t>(mBypassMissing);
    // The missing samples end just before the write position: at most two
    // runs, up to the ring's end and from its start.
    const size_t start = (static_cast<size_t>(mBypassWritePos) + length - missing) % length;
    const size_t first = std::min(missing, length - start);
    for (size_t j = 0; j < std::min(channels, mBypassKeptChannels); ++j)
    {
        double* ring = mBypassDelay[j].data();
        const int channel = static_cast<int>(j);
        mBypassKeeper->Read(channel, static_cast<int>(missing - first), static_cast<int>(first),
                            ring + start);
        if (first < missing)
            mBypassKeeper->Read(channel, 0, static_cast<int>(missing - first), ring);
    }
    mBypassMissing = 0;
}

void PluginProcessor::MixBypass(int n)
{
    const int target = mSliceBypassed ? mBypassFadeLength : 0;
    // Before the first block there is no processed sound to fade from.
    if (!mBypassStarted)
    {
        mBypassStarted = true;
        mBypassFade = target;
    }
    if (mBypassFade == 0 && target == 0)
        return;
    double* const* out = mChannelData[kOutput].data();
    const int nOut = NChannels(kOutput);
    // Outputs without a main input of their own carry the last one the host
    // sent (mono into stereo); the sidechain never reaches the output.
    const int nIn = std::min(mMainInputCount, static_cast<int>(mBypassOut.size()));
    if (mBypassOut.empty() || static_cast<size_t>(n) > mBypassOut[0].size())
        return;
    const double step = 1.0 / mBypassFadeLength;
    int fade = mBypassFade;
    for (int f = 0; f < n; ++f)
    {
        if (fade < target)
            ++fade;
        else if (fade > target)
            --fade;
        const double w = fade * step;
        for (int j = 0; j < nOut; ++j)
        {
            // An output without its own input carries the last input (mono to stereo).
            const double dry =
                nIn > 0 ? mBypassOut[static_cast<size_t>(std::min(j, nIn - 1))][f] : 0.0;
            out[j][f] = w >= 1.0 ? dry : out[j][f] + w * (dry - out[j][f]);
        }
    }
    mBypassFade = fade;
}

} // namespace plugfw
