#include "vst3/vst3_processor_base.h"

#include <algorithm>

namespace plugfw
{

Vst3ProcessorBase::Vst3ProcessorBase(const Config& config) : PluginProcessor(config) {}

Vst3ProcessorBase::~Vst3ProcessorBase() = default;

void Vst3ProcessorBase::ApplyProcessContext(const Steinberg::Vst::ProcessData& data)
{
    using Steinberg::Vst::ProcessContext;
    // A block without a context keeps the time info the last context gave:
    // only the processing mode is refreshed.
    ITimeInfo info = GetTimeInfo();
    if (const ProcessContext* c = data.processContext)
    {
        info.tempo = c->tempo;
        // Project time in samples is always part of a process context; only
        // the musical time depends on the flag.
        info.samplePos = static_cast<double>(c->projectTimeSamples);
        info.ppqPos = c->projectTimeMusic;
        info.lastBar = c->barPositionMusic;
        info.cycleStart = c->cycleStartMusic;
        info.cycleEnd = c->cycleEndMusic;
        info.numerator = c->timeSigNumerator;
        info.denominator = c->timeSigDenominator;
        info.transportIsRunning = (c->state & ProcessContext::kPlaying) != 0;
        info.transportLoopEnabled = (c->state & ProcessContext::kCycleActive) != 0;
    }
    info.isOffline = data.processMode == Steinberg::Vst::kOffline;
    SetTimeInfo(info);
}

void Vst3ProcessorBase::ProcessAudio(Steinberg::Vst::ProcessData& data)
{
    if (data.numSamples <= 0)
        return;
    int sampleBits = 0;
    if (data.symbolicSampleSize == Steinberg::Vst::kSample32)
        sampleBits = 32;
    else if (data.symbolicSampleSize == Steinberg::Vst::kSample64)
        sampleBits = 64;

    // Members rather than locals: only the entries in use are written.
    HostAudioBus* ins = mHostInputs;
    HostAudioBus* outs = mHostOutputs;
    const int nIns = data.inputs ? std::clamp(data.numInputs, 0, kMaxHostBuses) : 0;
    const int nOuts = data.outputs ? std::clamp(data.numOutputs, 0, kMaxHostBuses) : 0;
    for (int i = 0; i < nIns; ++i)
    {
        const auto& bus = data.inputs[i];
        ins[i].numChannels = bus.channelBuffers32 || bus.channelBuffers64 ? bus.numChannels : 0;
        ins[i].channels32 = sampleBits == 32 ? bus.channelBuffers32 : nullptr;
        ins[i].channels64 = sampleBits == 64 ? bus.channelBuffers64 : nullptr;
    }
    for (int i = 0; i < nOuts; ++i)
    {
        const auto& bus = data.outputs[i];
        outs[i].numChannels = bus.channelBuffers32 || bus.channelBuffers64 ? bus.numChannels : 0;
        outs[i].channels32 = sampleBits == 32 ? bus.channelBuffers32 : nullptr;
        outs[i].channels64 = sampleBits == 64 ? bus.channelBuffers64 : nullptr;
    }
    ProcessBuffers(ins, nIns, outs, nOuts, sampleBits, data.numSamples);
}

void Vst3ProcessorBase::PrepareMidiOutput(int blockSize)
{
    mMidiOutputQueue.clear();
    mMidiOutputQueue.reserve(static_cast<size_t>(std::max(blockSize, 1)));
}

void Vst3ProcessorBase::FlushMidiOutput(Steinberg::Vst::ProcessData& /*data*/)
{
    // This configuration has no MIDI output bus; anything queued is dropped.
    mMidiOutputQueue.clear();
}

} // namespace plugfw
