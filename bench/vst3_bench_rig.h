// What the VST 3 benchmarks drive the plug-in with: a host whose run loop
// never fires (no timer thread beside the measured calls), parameter queues
// with fixed points, and one instance set up for stereo processing.
#pragma once

#include "plugin/ostrel.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

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

struct Rig
{
    int block = kBlock;
    QuietHost host;
    ostrel::Ostrel* plugin = new ostrel::Ostrel();
    std::vector<float> in32[2], out32[2];
    std::vector<double> in64[2], out64[2];
    void* inPtrs[2] = {};
    void* outPtrs[2] = {};
    Vst::AudioBusBuffers inBus{}, outBus{};
    Vst::ProcessContext context{};
    Vst::ProcessData data{};

    Rig(bool use64, bool hostBypass, int blockSize = kBlock) : block(blockSize)
    {
        plugin->initialize(&host);
        Vst::SpeakerArrangement stereo = Vst::SpeakerArr::kStereo;
        plugin->setBusArrangements(&stereo, 1, &stereo, 1);
        // As a host does: without an active output bus the plug-in's output
        // would never reach the host's buffers.
        plugin->activateBus(Vst::kAudio, Vst::kInput, 0, true);
        plugin->activateBus(Vst::kAudio, Vst::kOutput, 0, true);
        Vst::ProcessSetup setup{Vst::kRealtime, use64 ? Vst::kSample64 : Vst::kSample32, block,
                                48000.0};
        plugin->setupProcessing(setup);
        plugin->setActive(true);
        plugin->setProcessing(true);
        for (int c = 0; c < 2; ++c)
        {
            in32[c].assign(static_cast<size_t>(block), 0.1f);
            out32[c].assign(static_cast<size_t>(block), 0.0f);
            in64[c].assign(static_cast<size_t>(block), 0.1);
            out64[c].assign(static_cast<size_t>(block), 0.0);
            inPtrs[c] = use64 ? static_cast<void*>(in64[c].data()) : in32[c].data();
            outPtrs[c] = use64 ? static_cast<void*>(out64[c].data()) : out32[c].data();
        }
        inBus.numChannels = outBus.numChannels = 2;
        inBus.channelBuffers32 = reinterpret_cast<Vst::Sample32**>(inPtrs);
        outBus.channelBuffers32 = reinterpret_cast<Vst::Sample32**>(outPtrs);
        context.sampleRate = 48000.0;
        context.tempo = 120.0;
        context.state = Vst::ProcessContext::kPlaying | Vst::ProcessContext::kTempoValid |
                        Vst::ProcessContext::kProjectTimeMusicValid;
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = use64 ? Vst::kSample64 : Vst::kSample32;
        data.numSamples = block;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.processContext = &context;
        plugin->SetBypassed(hostBypass);
    }
    ~Rig()
    {
        plugin->setProcessing(false);
        plugin->setActive(false);
        plugin->terminate();
        plugin->release();
    }
    void Block()
    {
        plugin->process(data);
        context.projectTimeSamples += block;
    }
};

} // namespace ostrel_bench
