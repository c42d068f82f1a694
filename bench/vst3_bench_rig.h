// What the VST 3 benchmarks drive the plug-in with: a host whose run loop
// never fires (no timer thread beside the measured calls), parameter queues
// with fixed points, and one instance set up for stereo processing and called
// as hosts call it.
#pragma once

#include "plugin/ostrel.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <vector>

namespace ostrel_bench
{

using namespace Steinberg;

constexpr int kBlock = 512;

// A host context with a run loop that never fires, so no timer thread runs
// beside the measured calls.
class QuietHost : public Linux::IRunLoop
{
public:
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override
    {
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override
    {
        return kResultTrue;
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler*, Linux::TimerInterval) override
    {
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler*) override { return kResultTrue; }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
        QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IRunLoop)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1000; }
    uint32 PLUGIN_API release() override { return 1000; }
};

// One queue per parameter with a fixed set of points.
class Queue : public Vst::IParamValueQueue
{
public:
    Vst::ParamID id = 0;
    int32 points = 0;
    double fixed = -1.0; // every point's value when set, else a slow ramp
    Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return points; }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, Vst::ParamValue& value) override
    {
        offset = index * 16;
        value = fixed >= 0.0 ? fixed : 0.25 + 0.001 * index;
        return kResultTrue;
    }
    tresult PLUGIN_API addPoint(int32, Vst::ParamValue, int32&) override { return kResultFalse; }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1000; }
    uint32 PLUGIN_API release() override { return 1000; }
};

class Changes : public Vst::IParameterChanges
{
public:
    std::vector<Queue> queues;
    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override
    {
        return &queues[static_cast<size_t>(index)];
    }
    Vst::IParamValueQueue* PLUGIN_API addParameterData(const Vst::ParamID&, int32&) override
    {
        return nullptr;
    }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1000; }
    uint32 PLUGIN_API release() override { return 1000; }
};

// The list a host hands for the plug-in's own edits: room for a few
// queues, emptied before every block.
class OutputChanges : public Vst::IParameterChanges
{
public:
    class Point : public Vst::IParamValueQueue
    {
    public:
        Vst::ParamID id = 0;
        int32 count = 0;
        Vst::ParamValue last = 0.0;
        Vst::ParamID PLUGIN_API getParameterId() override { return id; }
        int32 PLUGIN_API getPointCount() override { return count; }
        tresult PLUGIN_API getPoint(int32, int32& offset, Vst::ParamValue& value) override
        {
            offset = 0;
            value = last;
            return count > 0 ? kResultTrue : kResultFalse;
        }
        tresult PLUGIN_API addPoint(int32, Vst::ParamValue value, int32& index) override
        {
            last = value;
            index = count++;
            return kResultTrue;
        }
        tresult PLUGIN_API queryInterface(const TUID, void** obj) override
        {
            *obj = nullptr;
            return kNoInterface;
        }
        uint32 PLUGIN_API addRef() override { return 1000; }
        uint32 PLUGIN_API release() override { return 1000; }
    };
    Point queues[32];
    int32 used = 0;
    void clear() { used = 0; }
    int32 PLUGIN_API getParameterCount() override { return used; }
    Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override
    {
        return index >= 0 && index < used ? &queues[index] : nullptr;
    }
    Vst::IParamValueQueue* PLUGIN_API addParameterData(const Vst::ParamID& id,
                                                       int32& index) override
    {
        if (used == 32)
            return nullptr;
        index = used;
        queues[used] = Point{};
        queues[used].id = id;
        return &queues[used++];
    }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1000; }
    uint32 PLUGIN_API release() override { return 1000; }
};

// One instance driven as hosts drive it, through the VST 3 interfaces: a
// stereo main bus and the stereo sidechain bus present but inactive, input
// and output parameter-change lists and a full process context in every
// block.
struct Rig
{
    int block = kBlock;
    QuietHost host;
    ostrel::Ostrel* plugin = new ostrel::Ostrel();
    Vst::IComponent* component = nullptr;
    Vst::IAudioProcessor* processor = nullptr;
    std::vector<float> in32[2], out32[2], side32[2];
    std::vector<double> in64[2], out64[2], side64[2];
    void* inPtrs[2] = {};
    void* outPtrs[2] = {};
    void* sidePtrs[2] = {};
    Vst::AudioBusBuffers inBuses[2]{}, outBus{};
    Vst::ProcessContext context{};
    Changes noChanges;          // the input list of a block without automation
    Changes* changes = nullptr; // a block's changes, when set
    OutputChanges outputChanges;
    Vst::ProcessData data{};

    // Called with blockSize frames; set up for setupBlock (0: the same), as
    // hosts that announce a larger maximum than they send.
    Rig(bool use64, bool hostBypass, int blockSize = kBlock, int setupBlock = 0) : block(blockSize)
    {
        plugin->queryInterface(Vst::IComponent::iid, reinterpret_cast<void**>(&component));
        plugin->queryInterface(Vst::IAudioProcessor::iid, reinterpret_cast<void**>(&processor));
        component->initialize(&host);
        Vst::SpeakerArrangement ins[2] = {Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kStereo};
        Vst::SpeakerArrangement out = Vst::SpeakerArr::kStereo;
        processor->setBusArrangements(ins, 2, &out, 1);
        // As a host does: the main buses active, the sidechain bus left
        // inactive until the user routes something to it.
        component->activateBus(Vst::kAudio, Vst::kInput, 0, true);
        component->activateBus(Vst::kAudio, Vst::kOutput, 0, true);
        Vst::ProcessSetup setup{Vst::kRealtime, use64 ? Vst::kSample64 : Vst::kSample32,
                                setupBlock > 0 ? setupBlock : block, 48000.0};
        processor->setupProcessing(setup);
        component->setActive(true);
        processor->setProcessing(true);
        for (int c = 0; c < 2; ++c)
        {
            in32[c].assign(static_cast<size_t>(block), 0.1f);
            out32[c].assign(static_cast<size_t>(block), 0.0f);
            side32[c].assign(static_cast<size_t>(block), 0.0f);
            in64[c].assign(static_cast<size_t>(block), 0.1);
            out64[c].assign(static_cast<size_t>(block), 0.0);
            side64[c].assign(static_cast<size_t>(block), 0.0);
            inPtrs[c] = use64 ? static_cast<void*>(in64[c].data()) : in32[c].data();
            outPtrs[c] = use64 ? static_cast<void*>(out64[c].data()) : out32[c].data();
            sidePtrs[c] = use64 ? static_cast<void*>(side64[c].data()) : side32[c].data();
        }
        inBuses[0].numChannels = inBuses[1].numChannels = outBus.numChannels = 2;
        inBuses[0].channelBuffers32 = reinterpret_cast<Vst::Sample32**>(inPtrs);
        inBuses[1].channelBuffers32 = reinterpret_cast<Vst::Sample32**>(sidePtrs);
        outBus.channelBuffers32 = reinterpret_cast<Vst::Sample32**>(outPtrs);
        context.sampleRate = 48000.0;
        context.tempo = 120.0;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;
        context.cycleStartMusic = 0.0;
        context.cycleEndMusic = 64.0;
        context.samplesToNextClock = 0;
        context.state = Vst::ProcessContext::kPlaying | Vst::ProcessContext::kSystemTimeValid |
                        Vst::ProcessContext::kContTimeValid |
                        Vst::ProcessContext::kProjectTimeMusicValid |
                        Vst::ProcessContext::kBarPositionValid | Vst::ProcessContext::kCycleValid |
                        Vst::ProcessContext::kTempoValid | Vst::ProcessContext::kTimeSigValid |
                        Vst::ProcessContext::kClockValid;
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = use64 ? Vst::kSample64 : Vst::kSample32;
        data.numSamples = block;
        data.numInputs = 2;
        data.numOutputs = 1;
        data.inputs = inBuses;
        data.outputs = &outBus;
        data.outputParameterChanges = &outputChanges;
        data.processContext = &context;
        plugin->SetBypassed(hostBypass);
    }
    ~Rig()
    {
        processor->setProcessing(false);
        component->setActive(false);
        component->terminate();
        processor->release();
        component->release();
        plugin->release();
    }
    void Block()
    {
        Call();
        Advance();
    }
    // The call itself, with what a host sets up just before it: the block's
    // input list, the output list emptied.
    void Call()
    {
        data.inputParameterChanges = changes ? changes : &noChanges;
        outputChanges.clear();
        processor->process(data);
    }
    // The host's time moves on by the block.
    void Advance()
    {
        context.projectTimeSamples += block;
        context.continousTimeSamples += block;
        context.projectTimeMusic += block * context.tempo / (60.0 * context.sampleRate);
        context.barPositionMusic =
            4.0 * static_cast<double>(static_cast<int64>(context.projectTimeMusic / 4.0));
        context.systemTime += static_cast<int64>(1e9 * block / context.sampleRate);
    }
};

} // namespace ostrel_bench
