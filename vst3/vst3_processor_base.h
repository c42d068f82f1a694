// plugfw::Vst3ProcessorBase: the processing side of the VST 3
// binding. It turns the host's ProcessData into what the portable processor
// understands: the process context into the time info, the host's audio
// buses into one ProcessBuffers call, and keeps the MIDI output queue.
#pragma once

#include "framework/editor_delegate.h"
#include "framework/plugin_processor.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <vector>

namespace plugfw
{

class Vst3ProcessorBase : public PluginProcessor
{
public:
    // More host buses than this in one direction are not passed on (the
    // plug-in has at most two).
    static constexpr int kMaxHostBuses = 8;

    explicit Vst3ProcessorBase(const Config& config);
    ~Vst3ProcessorBase() override;

    // A MIDI message for the processing side (audio thread); empty default.
    virtual void ProcessMidiMsg(const MidiMsg& /*msg*/) {}

protected:
    // Refreshes the time info from the block's context when it brings one.
    void ApplyProcessContext(const Steinberg::Vst::ProcessData& data);
    // Hands the block's audio buses to ProcessBuffers (no allocation).
    void ProcessAudio(Steinberg::Vst::ProcessData& data);
    // Sized for a block at setup (main thread).
    void PrepareMidiOutput(int blockSize);
    // Sends and clears queued MIDI output (none in an effect without MIDI out).
    void FlushMidiOutput(Steinberg::Vst::ProcessData& data);

    Steinberg::uint32 mProcessContextRequirements = 0;
    std::vector<MidiMsg> mMidiOutputQueue;

private:
    // The current block's buses as ProcessBuffers takes them (audio thread).
    HostAudioBus mHostInputs[kMaxHostBuses];
    HostAudioBus mHostOutputs[kMaxHostBuses];
};

} // namespace plugfw
