// plugfw::PluginProcessor: the processing side of the plug-in object. It
// knows the bus layouts the plug-in accepts, keeps one record per input and
// output channel, connects the host's buffers to them for every block
// (converting 32-bit audio to the 64-bit samples the plug-in works in and
// back), passes audio through with the plug-in's latency while the host's
// bypass is on, and holds sample rate, block size, latency and tail.
#pragma once

#include "framework/io_config.h"
#include "framework/plugin_config.h"
#include "framework/recent_input.h"
#include "framework/time_info.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plugfw
{

// One host bus for one block: `numChannels` pointers in the block's format.
struct HostAudioBus
{
    int numChannels = 0;
    float* const* channels32 = nullptr;
    double* const* channels64 = nullptr;
};

class PluginProcessor
{
public:
    static constexpr int kLabelSize = 32;
    static constexpr int kTailInfinite = INT_MAX;

    explicit PluginProcessor(const Config& config);
    virtual ~PluginProcessor();
    PluginProcessor(const PluginProcessor&) = delete;
    PluginProcessor& operator=(const PluginProcessor&) = delete;

    // Hooks the plug-in overrides; the defaults do nothing.
    // Audio thread: one block of connected channel pointers.
    virtual void processBlock(double** /*inputs*/, double** /*outputs*/, int /*nFrames*/) {}
    // Main thread, whenever the processing setup is (re)applied.
    virtual void ResetProcessing() {}
    virtual void OnActivate(bool /*active*/) {}
    // Asks the host to pick up a new latency; the plug-in API layer provides it.
    virtual void InformHostOfLatencyChange() {}
    // The plug-in's own buses as the host last arranged and activated them.
    // By default: the largest layout's bus count, only bus 0 active.
    virtual int PluginBusCount(Direction dir) const { return MaxBusCount(dir); }
    virtual bool IsPluginBusActive(Direction /*dir*/, int busIdx) const { return busIdx == 0; }
    // What a block needs of the two above, in one answer (audio thread): an
    // override may read its own copy at once instead of asking bus by bus.
    struct ArrangedBuses
    {
        static constexpr int kMaskBits = 64;
        int inputBuses = 0;
        bool sidechainActive = false; // the second input bus is active
        uint64_t activeOutputs = 0;   // bit b: output bus b is active (b < hostOutputBuses)
        bool operator==(const ArrangedBuses&) const = default;
    };
    virtual ArrangedBuses ArrangedBusesForBlock(int hostOutputBuses) const;
    // A plug-in that keeps its recent main input itself spares the host
    // bypass its own copy while the bypass is not heard; the copy is refilled
    // from the plug-in's before it is next read or fed. Before processBlock
    // (audio thread): what keeps this slice's main input channels
    // 0..channels-1, or null when the plug-in does not keep them all. Asked
    // again only when the channels' connections change: the answer may
    // rest on them, not on anything else that changes from block to block.
    virtual const RecentInput* KeptMainInput(int /*channels*/) const { return nullptr; }

    // Audio thread: one host block (sampleBits 32 or 64; anything else is skipped).
    void ProcessBuffers(const HostAudioBus* inputs, int numInputBuses, const HostAudioBus* outputs,
                        int numOutputBuses, int sampleBits, int nFrames);

    // Layouts.
    int NIOConfigs() const { return static_cast<int>(mIOConfigs.size()); }
    const IOConfig& GetIOConfig(int idx) const { return mIOConfigs[static_cast<size_t>(idx)]; }
    int MaxNChannels(Direction dir) const { return mTotals.channels[dir]; }
    int MaxNBuses(Direction dir) const { return mTotals.buses[dir]; }
    int MaxBusCount(Direction dir, int* configIdxOut = nullptr) const;
    int MaxChannelsOfBus(Direction dir, int busIdx) const;
    int MatchConfig(const std::vector<int>& inputChannelsPerBus,
                    const std::vector<int>& outputChannelsPerBus) const;
    std::string BusName(Direction dir, int busIdx, int busCount) const;

    // Channels.
    int NChannels(Direction dir) const { return static_cast<int>(mChannels[dir].size()); }
    bool IsChannelConnected(Direction dir, int ch) const;
    int ConnectedChannelCount(Direction dir) const;
    void SetChannelConnections(Direction dir, int first, int count, bool connected);
    void SetChannelLabel(Direction dir, int ch, const char* format, bool zeroBased = false);
    const char* GetChannelLabel(Direction dir, int ch) const;
    // One flag per channel of the direction, for the block callback.
    const bool* ConnectedFlags(Direction dir) const { return mConnected[dir].get(); }
    // The input channel at which a second input bus (the sidechain) starts.
    int GetSidechainStartChannel() const { return mSidechainStart; }
    bool IsSidechainActive() const { return mSidechainActive; }

    // Processing setup (main thread, processing stopped).
    double GetSampleRate() const { return mSampleRate; }
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    int GetBlockSize() const { return mBlockSize; }
    void SetBlockSize(int blockSize);
    int GetLatency() const { return mLatency; }
    void SetLatency(int latency);
    int GetTailSize() const { return mTailSize; }
    void SetTail(int tailSize) { mTailSize = tailSize; }
    bool GetTailIsInfinite() const { return mTailSize == kTailInfinite; }

    // Empties the host bypass's delay line and ends any bypass crossfade
    // (main thread, processing stopped).
    void ResetBypassDelay();

    // Per block (audio thread). While the host bypasses the plug-in,
    // processBlock still runs (its output is replaced by the delayed input),
    // so that its delay lines hold the present when the bypass ends.
    // Written by the audio thread (host automation) and by a state restore
    // on the main thread.
    bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
    void SetBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }
    const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
    void SetTimeInfo(const ITimeInfo& timeInfo) { mTimeInfo = timeInfo; }

protected:
    // Drops the connections reused from block to block, so that the next
    // block makes them afresh (the host changed something they rest on).
    // Safe from any thread.
    void ForgetBlockSetUp() { mSetUpGeneration.fetch_add(1, std::memory_order_relaxed); }

private:
    struct Channel
    {
        bool scratchHoldsInput = false; // converted host samples sit in `scratch`
        float* hostOut32 = nullptr;     // 32-bit output: where the block is copied back
        std::vector<double> scratch;
        char label[kLabelSize] = {};
    };

    // Everything a block's connections rest on but the buffers' addresses:
    // the sample size, the host's buses as sent and the plug-in's as arranged.
    struct SetUpKey
    {
        static constexpr int kBuses = 4; // more host buses: connected afresh every block
        // ForgetBlockSetUp calls so far; the sample size, the host's bus
        // counts, the plug-in's input buses, sidechain and active outputs;
        // each host input bus's and output bus's channel count, a byte each.
        uint32_t words[4] = {};
        bool operator==(const SetUpKey& other) const;
    };
    // A plug-in channel and the host bus channel it is connected to.
    struct Route
    {
        int channel = 0;
        int bus = 0;
        int busChannel = 0;
    };
    // The connections a block made, kept while their key holds, so that a
    // block like the last only points its channels at the new buffers.
    struct SetUp
    {
        static constexpr int kRoutes = 16;
        SetUpKey key;
        bool valid = false;
        bool complete = true; // false: a connection was skipped or a list overflowed
        Route inputs[kRoutes];
        Route outputs[kRoutes];
        Route silent[kRoutes];            // host output channels no plug-in channel feeds
        void* inputBuffers[kRoutes] = {}; // the routes' host buffers in this block
        void* outputBuffers[kRoutes] = {};
        int inputCount = 0;
        int outputCount = 0;
        int silentCount = 0;
        int mainInputCount = 0;
        int mainLimit = 0;
        const RecentInput* keeper = nullptr; // KeptMainInput's answer, once asked
        bool keeperAsked = false;
        void clear();
        static bool add(Route* list, int& count, Route route);
    };

    void Connect(Direction dir, int first, int count, bool connected);
    void DisconnectAll(Direction dir);
    bool outputActive(const ArrangedBuses& buses, int bus) const;
    bool GatherSetUpBuffers(const HostAudioBus* inputs, const HostAudioBus* outputs, bool is32);
    void ProcessSlice(const HostAudioBus* inputs, int numInputBuses, const HostAudioBus* outputs,
                      int numOutputBuses, const ArrangedBuses& buses, bool is32, int offset, int n,
                      SetUp* record);
    void ProcessSliceAsSetUp(const HostAudioBus* outputs, bool is32, int offset, int n);
    void AttachInputBus(const HostAudioBus& bus, int busIdx, int firstChannel, bool is32,
                        int offset, int n, SetUp* record);
    void AttachOutputBus(const HostAudioBus& bus, int busIdx, int firstChannel, bool connect,
                         bool is32, int offset, SetUp* record);
    void FinishSlice(const HostAudioBus* outputs, bool is32, int n);
    void FeedBypassDelay(int n, int mainChannels);
    void RefillBypassDelay(size_t channels);
    void MixBypass(int n);

    std::vector<IOConfig> mIOConfigs;
    IOTotals mTotals;
    std::vector<Channel> mChannels[2];
    std::vector<double*> mChannelData[2]; // the pointer arrays handed to processBlock
    std::unique_ptr<bool[]> mConnected[2];
    int mSidechainStart = 0;
    bool mSidechainActive = false;
    int mMainInputCount = 0; // main input channels the host sent in this slice
    SetUp mSetUp;
    std::atomic<uint32_t> mSetUpGeneration{0};

    double mSampleRate = 48000.0;
    int mBlockSize = 0;
    int mLatency = 0;
    int mTailSize = 0;
    std::atomic<bool> mBypassed{false};
    bool mSliceBypassed = false; // the flag as the current slice saw it (audio thread)
    ITimeInfo mTimeInfo;

    // Host bypass: each input channel through a ring of `mLatency` samples,
    // fed in every block; mBypassOut holds what leaves it in the current slice.
    std::vector<std::vector<double>> mBypassDelay;
    std::vector<std::vector<double>> mBypassOut;
    int mBypassWritePos = 0;
    // The newest samples the rings lack because the plug-in kept them.
    int mBypassMissing = 0;
    size_t mBypassKeptChannels = 0;             // the channels the plug-in said it keeps
    const RecentInput* mBypassKeeper = nullptr; // where it keeps them
    // Crossfade between the processed output (0) and the bypass (mBypassFadeLength).
    int mBypassFade = 0;
    int mBypassFadeLength = 1;
    bool mBypassStarted = false;
};

} // namespace plugfw
