#include "tools/render/host/plugin_instance.h"

#include "tools/render/host/host_context.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <algorithm>
#include <cctype>
#include <cmath>

using namespace Steinberg;

namespace ostrel::host
{

namespace
{

Vst::SpeakerArrangement arrangementFor(int channels)
{
    return channels == 1   ? Vst::SpeakerArr::kMono
           : channels == 2 ? Vst::SpeakerArr::kStereo
                           : Vst::SpeakerArr::kEmpty;
}

int channelsOf(Vst::SpeakerArrangement arr)
{
    int n = 0;
    for (; arr != 0; arr &= arr - 1)
        ++n;
    return n;
}

std::string squeeze(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '-' && c != '_')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::unique_ptr<PluginInstance> PluginInstance::Create(IPluginFactory* factory, int classIndex,
                                                       FUnknown* hostContext, std::string& error)
{
    if (!factory)
    {
        error = "no plug-in factory";
        return nullptr;
    }
    PClassInfo info;
    if (factory->getClassInfo(classIndex, &info) != kResultOk)
    {
        error = "the factory has no class " + std::to_string(classIndex);
        return nullptr;
    }
    std::unique_ptr<PluginInstance> self(new PluginInstance);
    void* obj = nullptr;
    if (factory->createInstance(info.cid, Vst::IComponent::iid, &obj) != kResultOk || !obj)
    {
        error = std::string("the factory could not create '") + info.name + "'";
        return nullptr;
    }
    self->mComponent = static_cast<Vst::IComponent*>(obj);
    if (self->mComponent->initialize(hostContext) != kResultOk)
    {
        error = std::string("'") + info.name + "' failed to initialise";
        return nullptr;
    }
    self->mInitialised = true;

    obj = nullptr;
    if (self->mComponent->queryInterface(Vst::IAudioProcessor::iid, &obj) != kResultOk || !obj)
    {
        error = std::string("'") + info.name + "' is not an audio processor";
        return nullptr;
    }
    self->mProcessor = static_cast<Vst::IAudioProcessor*>(obj);

    obj = nullptr;
    if (self->mComponent->queryInterface(Vst::IEditController::iid, &obj) == kResultOk && obj)
    {
        self->mController = static_cast<Vst::IEditController*>(obj);
    }
    else
    {
        // A separate controller class: create, initialise, connect, sync.
        TUID controllerId;
        obj = nullptr;
        if (self->mComponent->getControllerClassId(controllerId) == kResultOk &&
            factory->createInstance(controllerId, Vst::IEditController::iid, &obj) == kResultOk &&
            obj)
        {
            self->mController = static_cast<Vst::IEditController*>(obj);
            self->mSeparateController = true;
            self->mController->initialize(hostContext);
            FUnknownPtr<Vst::IConnectionPoint> a(self->mComponent);
            FUnknownPtr<Vst::IConnectionPoint> b(self->mController);
            if (a && b)
            {
                a->connect(b);
                b->connect(a);
            }
        }
    }
    if (!self->mController)
    {
        error = std::string("'") + info.name + "' has no edit controller";
        return nullptr;
    }
    self->mInputBusCount = self->mComponent->getBusCount(Vst::kAudio, Vst::kInput);
    return self;
}

PluginInstance::~PluginInstance()
{
    Stop();
    if (mSeparateController && mController)
    {
        FUnknownPtr<Vst::IConnectionPoint> a(mComponent);
        FUnknownPtr<Vst::IConnectionPoint> b(mController);
        if (a && b)
        {
            a->disconnect(b);
            b->disconnect(a);
        }
        mController->terminate();
    }
    if (mController)
        mController->release();
    if (mProcessor)
        mProcessor->release();
    if (mComponent)
    {
        if (mInitialised)
            mComponent->terminate();
        mComponent->release();
    }
}

std::vector<Vst::ParameterInfo> PluginInstance::Parameters() const
{
    std::vector<Vst::ParameterInfo> list;
    const int32 n = mController->getParameterCount();
    for (int32 i = 0; i < n; ++i)
    {
        Vst::ParameterInfo info{};
        if (mController->getParameterInfo(i, info) == kResultOk)
            list.push_back(info);
    }
    return list;
}

bool PluginInstance::FindParameter(const std::string& name, Vst::ParameterInfo& info) const
{
    const std::string wanted = squeeze(name);
    for (const auto& p : Parameters())
    {
        // The host-side bypass carries a flag; the plug-in's own parameters
        // come first when both share a title.
        if (squeeze(FromString128(p.title)) == wanted &&
            (p.flags & Vst::ParameterInfo::kIsBypass) == 0)
        {
            info = p;
            return true;
        }
    }
    return false;
}

std::string PluginInstance::ValueText(Vst::ParamID id, double normalised) const
{
    Vst::String128 text{};
    if (mController->getParamStringByValue(id, normalised, text) != kResultOk)
        return std::string();
    return FromString128(text);
}

void PluginInstance::SendLayoutAsIs(const BusLayout& layout)
{
    mInputBusCount = mComponent->getBusCount(Vst::kAudio, Vst::kInput);
    const int outputBuses = mComponent->getBusCount(Vst::kAudio, Vst::kOutput);
    for (int i = 0; i < mInputBusCount; ++i)
        mComponent->activateBus(Vst::kAudio, Vst::kInput, i,
                                i == 0 || (i == 1 && layout.sidechainIn > 0));
    for (int i = 0; i < outputBuses; ++i)
        mComponent->activateBus(Vst::kAudio, Vst::kOutput, i, i == 0);
    mLayout = layout;
}

bool PluginInstance::SetBusLayout(const BusLayout& layout, std::string& error, bool activateFirst)
{
    if (activateFirst)
        SendLayoutAsIs(layout);
    std::vector<Vst::SpeakerArrangement> ins{arrangementFor(layout.mainIn)};
    if (layout.sidechainIn > 0)
        ins.push_back(arrangementFor(layout.sidechainIn));
    Vst::SpeakerArrangement outs[1] = {arrangementFor(layout.out)};
    if (mProcessor->setBusArrangements(ins.data(), static_cast<int32>(ins.size()), outs, 1) !=
        kResultTrue)
    {
        error = "the plug-in refuses " + std::to_string(layout.mainIn) + " main input channel(s)" +
                (layout.sidechainIn > 0
                     ? ", " + std::to_string(layout.sidechainIn) + " sidechain channel(s)"
                     : std::string()) +
                " and " + std::to_string(layout.out) + " output channel(s)";
        return false;
    }
    mInputBusCount = mComponent->getBusCount(Vst::kAudio, Vst::kInput);
    const int outputBuses = mComponent->getBusCount(Vst::kAudio, Vst::kOutput);
    if (mInputBusCount < static_cast<int>(ins.size()) || outputBuses < 1)
    {
        error = "the plug-in accepted the buses but does not show them";
        return false;
    }
    for (int i = 0; i < static_cast<int>(ins.size()); ++i)
    {
        Vst::SpeakerArrangement arr = 0;
        mProcessor->getBusArrangement(Vst::kInput, i, arr);
        if (arr != ins[static_cast<size_t>(i)])
        {
            error = "the plug-in accepted the buses but kept other widths";
            return false;
        }
    }
    if (!activateFirst)
        SendLayoutAsIs(layout);
    mLayout = layout;
    return true;
}

bool PluginInstance::Prepare(double sampleRate, int maxBlock, bool use64, std::string& error,
                             int32 processMode)
{
    Stop();
    const int32 size = use64 ? Vst::kSample64 : Vst::kSample32;
    if (mProcessor->canProcessSampleSize(size) != kResultTrue)
    {
        error = std::string("the plug-in cannot process ") + (use64 ? "64" : "32") + "-bit samples";
        return false;
    }
    Vst::ProcessSetup setup{processMode, size, maxBlock, sampleRate};
    if (mProcessor->setupProcessing(setup) != kResultOk)
    {
        error = "setupProcessing failed";
        return false;
    }
    mUse64 = use64;
    mProcessMode = processMode;
    mMaxBlock = maxBlock;
    mSampleRate = sampleRate;
    const int inChannels = mLayout.mainIn + std::max(mLayout.sidechainIn, 2);
    mFloatIn.assign(static_cast<size_t>(inChannels),
                    std::vector<float>(static_cast<size_t>(maxBlock)));
    mFloatOut.assign(static_cast<size_t>(mLayout.out),
                     std::vector<float>(static_cast<size_t>(maxBlock)));
    mSilence.assign(2, std::vector<double>(static_cast<size_t>(maxBlock), 0.0));
    mOut64.assign(static_cast<size_t>(mLayout.out),
                  std::vector<double>(static_cast<size_t>(maxBlock), 0.0));
    mContext = Vst::ProcessContext{};
    mContext.sampleRate = sampleRate;
    mContext.tempo = 120.0;
    mContext.timeSigNumerator = 4;
    mContext.timeSigDenominator = 4;

    if (mComponent->setActive(true) != kResultOk)
    {
        error = "setActive failed";
        return false;
    }
    mProcessor->setProcessing(true);
    mPrepared = true;
    return true;
}

void PluginInstance::Stop()
{
    if (!mPrepared)
        return;
    mProcessor->setProcessing(false);
    mComponent->setActive(false);
    mPrepared = false;
}

tresult PluginInstance::Process(const double* const* mainIn, const double* const* sidechain,
                                double* const* out, int n, ParameterChanges* changes)
{
    if (!mPrepared || n < 0 || n > mMaxBlock)
        return kInvalidArgument;

    // Channel pointers per bus: main, then the second input bus (the
    // sidechain, or silence while it is not used).
    std::vector<Vst::AudioBusBuffers> inBuses(static_cast<size_t>(std::max(mInputBusCount, 0)));
    std::vector<void*> inPointers;
    inPointers.reserve(8);
    std::vector<int> inCounts;
    int floatChannel = 0;
    // In place: main input channel c is handed over in output buffer c.
    auto sharedOutput = [&](int c) -> void*
    {
        if (!mInPlace || c >= mLayout.out)
            return nullptr;
        if (!mUse64)
            return mFloatOut[static_cast<size_t>(c)].data();
        return out ? static_cast<void*>(out[c])
                   : static_cast<void*>(mOut64[static_cast<size_t>(c)].data());
    };
    for (int bus = 0; bus < mInputBusCount; ++bus)
    {
        Vst::SpeakerArrangement arr = 0;
        mProcessor->getBusArrangement(Vst::kInput, bus, arr);
        const int channels = bus == 0 ? mLayout.mainIn : std::min(channelsOf(arr), 2);
        inCounts.push_back(channels);
        for (int c = 0; c < channels; ++c)
        {
            const double* src =
                bus == 0 ? (mainIn ? mainIn[c] : mSilence[static_cast<size_t>(c % 2)].data())
                : (bus == 1 && sidechain && mLayout.sidechainIn > 0)
                    ? sidechain[std::min(c, mLayout.sidechainIn - 1)]
                    : mSilence[static_cast<size_t>(c % 2)].data();
            void* shared = bus == 0 ? sharedOutput(c) : nullptr;
            if (mUse64)
            {
                if (shared)
                {
                    std::copy(src, src + n, static_cast<double*>(shared));
                    inPointers.push_back(shared);
                }
                else
                {
                    inPointers.push_back(const_cast<double*>(src));
                }
            }
            else
            {
                float* buf = shared ? static_cast<float*>(shared)
                                    : mFloatIn[static_cast<size_t>(floatChannel++)].data();
                for (int i = 0; i < n; ++i)
                    buf[i] = static_cast<float>(src[i]);
                inPointers.push_back(buf);
            }
        }
    }
    size_t at = 0;
    for (int bus = 0; bus < mInputBusCount; ++bus)
    {
        auto& b = inBuses[static_cast<size_t>(bus)];
        b.numChannels = inCounts[static_cast<size_t>(bus)];
        b.silenceFlags = 0;
        if (mUse64)
            b.channelBuffers64 = reinterpret_cast<Vst::Sample64**>(inPointers.data() + at);
        else
            b.channelBuffers32 = reinterpret_cast<Vst::Sample32**>(inPointers.data() + at);
        at += static_cast<size_t>(b.numChannels);
    }

    std::vector<void*> outPointers;
    for (int c = 0; c < mLayout.out; ++c)
        outPointers.push_back(
            mUse64 ? (out ? static_cast<void*>(out[c])
                          : static_cast<void*>(mOut64[static_cast<size_t>(c)].data()))
                   : static_cast<void*>(mFloatOut[static_cast<size_t>(c)].data()));
    Vst::AudioBusBuffers outBus{};
    outBus.numChannels = mLayout.out;
    if (mUse64)
        outBus.channelBuffers64 = reinterpret_cast<Vst::Sample64**>(outPointers.data());
    else
        outBus.channelBuffers32 = reinterpret_cast<Vst::Sample32**>(outPointers.data());

    mContext.state = Vst::ProcessContext::kTempoValid | Vst::ProcessContext::kTimeSigValid |
                     Vst::ProcessContext::kProjectTimeMusicValid |
                     Vst::ProcessContext::kBarPositionValid | Vst::ProcessContext::kContTimeValid |
                     (mPlaying ? static_cast<uint32>(Vst::ProcessContext::kPlaying) : 0u);
    const double quarters =
        static_cast<double>(mContext.projectTimeSamples) / mSampleRate * mContext.tempo / 60.0;
    mContext.projectTimeMusic = quarters;
    mContext.barPositionMusic = std::floor(quarters / 4.0) * 4.0;
    mContext.continousTimeSamples = mContext.projectTimeSamples;

    mOutputChanges.Clear();
    Vst::ProcessData data{};
    data.processMode = mProcessMode;
    data.symbolicSampleSize = mUse64 ? Vst::kSample64 : Vst::kSample32;
    data.numSamples = n;
    data.numInputs = mInputBusCount;
    data.numOutputs = 1;
    data.inputs = inBuses.empty() ? nullptr : inBuses.data();
    data.outputs = &outBus;
    data.inputParameterChanges = changes;
    data.outputParameterChanges = &mOutputChanges;
    data.processContext = mSendContext ? &mContext : nullptr;

    const tresult result = mProcessor->process(data);

    if (!mUse64 && out)
        for (int c = 0; c < mLayout.out; ++c)
            for (int i = 0; i < n; ++i)
                out[c][i] = mFloatOut[static_cast<size_t>(c)][static_cast<size_t>(i)];
    if (mPlaying)
        mContext.projectTimeSamples += n;
    return result;
}

} // namespace ostrel::host
