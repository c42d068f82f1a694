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
    bool is32 = false;
    if (data.symbolicSampleSize == Steinberg::Vst::kSample32)
        is32 = true;
    else if (data.symbolicSampleSize != Steinberg::Vst::kSample64)
        return;

    // Members rather than locals: only the entries in use are written. The
    // two pointer fields of a host bus share one place, so one test tells
    // whether the bus brings any channels.
    auto take = [is32](const Steinberg::Vst::AudioBusBuffers& bus, HostAudioBus& to)
    {
        float* const* buffers32 = bus.channelBuffers32;
        to.numChannels = buffers32 ? bus.numChannels : 0;
        to.channels32 = is32 ? buffers32 : nullptr;
        to.channels64 = is32 ? nullptr : bus.channelBuffers64;
    };
    const int nIns = data.inputs ? std::clamp(data.numInputs, 0, kMaxHostBuses) : 0;
    const int nOuts = data.outputs ? std::clamp(data.numOutputs, 0, kMaxHostBuses) : 0;
    for (int i = 0; i < nIns; ++i)
        take(data.inputs[i], mHostInputs[i]);
    for (int i = 0; i < nOuts; ++i)
        take(data.outputs[i], mHostOutputs[i]);
    ProcessBuffers(mHostInputs, nIns, mHostOutputs, nOuts, is32 ? 32 : 64, data.numSamples);
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
