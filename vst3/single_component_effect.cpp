#include "vst3/single_component_effect.h"

namespace Steinberg
{
namespace Vst
{

SingleComponentEffect::SingleComponentEffect()
    : audioInputs(kAudio, kInput), audioOutputs(kAudio, kOutput), eventInputs(kEvent, kInput),
      eventOutputs(kEvent, kOutput)
{
    processSetup.processMode = kRealtime;
    processSetup.symbolicSampleSize = kSample32;
    processSetup.maxSamplesPerBlock = 1024;
    processSetup.sampleRate = 44100.0;
}

SingleComponentEffect::~SingleComponentEffect() = default;

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arr,
                                               BusType busType, int32 flags)
{
    auto* bus = new AudioBus(name, busType, flags, arr);
    audioInputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr,
                                                BusType busType, int32 flags)
{
    auto* bus = new AudioBus(name, busType, flags, arr);
    audioOutputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType busType,
                                               int32 flags)
{
    auto* bus = new EventBus(name, busType, flags, channels);
    eventInputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

EventBus* SingleComponentEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                                int32 flags)
{
    auto* bus = new EventBus(name, busType, flags, channels);
    eventOutputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

tresult SingleComponentEffect::removeAudioBusses()
{
    audioInputs.clear();
    audioOutputs.clear();
    return kResultOk;
}

tresult SingleComponentEffect::removeEventBusses()
{
    eventInputs.clear();
    eventOutputs.clear();
    return kResultOk;
}

tresult SingleComponentEffect::removeAllBusses()
{
    removeAudioBusses();
    removeEventBusses();
    return kResultOk;
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir)
{
    if (type == kAudio)
        return dir == kInput ? &audioInputs : dir == kOutput ? &audioOutputs : nullptr;
    if (type == kEvent)
        return dir == kInput ? &eventInputs : dir == kOutput ? &eventOutputs : nullptr;
    return nullptr;
}

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context)
{
    return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate()
{
    parameters.removeAll();
    removeAllBusses();
    return EditControllerEx1::terminate();
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID /*classID*/)
{
    // Processor and controller are this one object.
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode /*mode*/)
{
    return kNotImplemented;
}

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir)
{
    BusList* list = getBusList(type, dir);
    return list ? static_cast<int32>(list->size()) : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info)
{
    BusList* list = getBusList(type, dir);
    if (!list || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    Bus* bus = list->at(static_cast<size_t>(index));
    info.mediaType = type;
    info.direction = dir;
    return bus->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo& /*inInfo*/,
                                                         RoutingInfo& /*outInfo*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state)
{
    BusList* list = getBusList(type, dir);
    if (!list || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    list->at(static_cast<size_t>(index))->setActive(state);
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool /*state*/)
{
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setState(IBStream* /*state*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::getState(IBStream* /*state*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs,
                                                             int32 numIns,
                                                             SpeakerArrangement* outputs,
                                                             int32 numOuts)
{
    if (numIns < 0 || numOuts < 0)
        return kInvalidArgument;
    if (numIns > static_cast<int32>(audioInputs.size()) ||
        numOuts > static_cast<int32>(audioOutputs.size()))
        return kResultFalse;
    if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
        return kInvalidArgument;
    for (int32 i = 0; i < numIns; ++i)
    {
        auto* bus = FCast<AudioBus>(audioInputs.at(static_cast<size_t>(i)).get());
        if (bus)
            bus->setArrangement(inputs[i]);
    }
    for (int32 i = 0; i < numOuts; ++i)
    {
        auto* bus = FCast<AudioBus>(audioOutputs.at(static_cast<size_t>(i)).get());
        if (bus)
            bus->setArrangement(outputs[i]);
    }
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arr)
{
    BusList* list = getBusList(kAudio, dir);
    if (!list || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    auto* bus = FCast<AudioBus>(list->at(static_cast<size_t>(index)).get());
    if (!bus)
        return kResultFalse;
    arr = bus->getArrangement();
    return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup)
{
    if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
        return kResultFalse;
    processSetup = setup;
    return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool /*state*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::process(ProcessData& /*data*/)
{
    return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, IComponent::iid, IComponent)
    QUERY_INTERFACE(iid, obj, IAudioProcessor::iid, IAudioProcessor)
    QUERY_INTERFACE(iid, obj, IProcessContextRequirements::iid, IProcessContextRequirements)
    // IPluginBase and FUnknown resolve through the controller side; both
    // IPluginBase bases share this class's initialize/terminate.
    return EditControllerEx1::queryInterface(iid, obj);
}

} // namespace Vst
} // namespace Steinberg
