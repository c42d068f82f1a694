#include "vst3/vst3_plugin.h"

#include "framework/iparam.h"
#include "framework/state_records.h"
#include "vst3/midi_controller_ids.h"
#include "vst3/module_state.h"
#include "vst3/speaker_arrangement.h"
#include "vst3/vst3_parameter.h"
#include "vst3/vst3_view.h"
#include "webview/editor_web_view.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plugfw
{

using namespace Steinberg;

namespace
{

// The host state is read in pieces of this many bytes.
constexpr int32 kStateReadPiece = 128;
// Room beyond the bytes a state of this version holds (values of parameters a
// later version may add); a longer stream is not a state of ours.
constexpr int kStateMargin = 64 * 1024;
// The record of a user-chosen editor size (two 32-bit logical pixel counts).
constexpr uint32_t kEditorSizeRecord = StateRecordId('E', 'd', 'S', 'z');

std::string narrowText(const Vst::TChar* text)
{
    return Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), 128);
}

} // namespace

Vst3Plugin::Vst3Plugin(const Config& config)
    : PluginApiBase(config), Vst3ProcessorBase(config),
      mThreads([this] { return OnTimerThread(); }),
      mTimer(
          mThreads.Mutex(), [this] { OnTimerTick(); }, kTimerPeriodMs, [this] { IdleFileWork(); }),
      mIdleDriver(MakeHostIdleDriver(mTimer)), mDeferred(NParams()),
      mHostValues(static_cast<size_t>(std::max(NParams(), 0)))
{
}

Vst3Plugin::~Vst3Plugin()
{
    mIdleDriver->Stop();
    if (mView)
        mView->OwnerGone();
}

uint32 PLUGIN_API Vst3Plugin::release()
{
    if (getRefCount() == 1)
        mIdleDriver->Stop();
    return SingleComponentEffect::release();
}

tresult PLUGIN_API Vst3Plugin::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Vst::IMidiMapping::iid, Vst::IMidiMapping)
    QUERY_INTERFACE(iid, obj, Vst::ChannelContext::IInfoListener::iid,
                    Vst::ChannelContext::IInfoListener)
    return SingleComponentEffect::queryInterface(iid, obj);
}

// ---- Idle timer and deferred host calls ------------------------------------

void Vst3Plugin::OnTimerTick()
{
    // The Timer holds the lock around the tick.
    const auto held = mThreads.AdoptTimerLock();
    if (!OnTimerThread())
        FlushDeferredHostCalls();
    // Page events (messages, content loaded) arrive here, under the mutex.
    PollWebView();
    TidyClosedEditorWebViews();
    // What the tick sends the page (meters, matrix, values) goes as one
    // script: one task and one drawing in the page instead of one each.
    HoldScripts();
    TimerTick();
    SendHeldScripts();
}

void Vst3Plugin::FlushDeferredHostCalls()
{
    mThreads.ExpectLocked("FlushDeferredHostCalls");
    if (componentHandler)
        mDeferred.Flush(*componentHandler, componentHandler2,
                        [this](int i) { return GetParam(i)->Normalised(); });
}

bool Vst3Plugin::HostGroupsEdits() const
{
    return componentHandler != nullptr && componentHandler2 != nullptr && !OnTimerThread();
}

void Vst3Plugin::BeginHostEditGroup()
{
    mThreads.ExpectLocked("BeginHostEditGroup");
    if (HostGroupsEdits())
        componentHandler2->startGroupEdit();
}

void Vst3Plugin::EndHostEditGroup()
{
    mThreads.ExpectLocked("EndHostEditGroup");
    if (HostGroupsEdits())
        componentHandler2->finishGroupEdit();
}

void Vst3Plugin::MarkStateDirty()
{
    mThreads.ExpectLocked("MarkStateDirty");
    if (OnTimerThread() || !componentHandler2)
    {
        // Told at the next main-thread call (a handler set later included).
        mDeferred.DeferDirty();
        return;
    }
    componentHandler2->setDirty(true);
}

void Vst3Plugin::BeginHostEdit(int paramIdx)
{
    if (paramIdx < 0 || paramIdx >= NParams())
        return;
    mThreads.ExpectLocked("BeginHostEdit");
    if (OnTimerThread())
        return; // no gesture from this thread; the value is reported on its own
    mDeferred.CancelEnd(paramIdx);
    if (componentHandler && !mDeferred.GestureOpen(paramIdx))
    {
        componentHandler->beginEdit(static_cast<Vst::ParamID>(paramIdx));
        mDeferred.GestureBegun(paramIdx);
    }
}

void Vst3Plugin::EndHostEdit(int paramIdx)
{
    if (paramIdx < 0 || paramIdx >= NParams())
        return;
    mThreads.ExpectLocked("EndHostEdit");
    if (!mDeferred.GestureOpen(paramIdx))
        return;
    if (OnTimerThread())
    {
        mDeferred.DeferEnd(paramIdx);
        return;
    }
    mDeferred.GestureEnded(paramIdx);
    if (componentHandler)
        componentHandler->endEdit(static_cast<Vst::ParamID>(paramIdx));
}

void Vst3Plugin::InformHostOfParamChange(int paramIdx, double normalisedValue)
{
    if (paramIdx < 0 || paramIdx >= NParams())
        return;
    if (Vst::Parameter* parameter = parameters.getParameter(static_cast<Vst::ParamID>(paramIdx)))
        parameter->setNormalized(normalisedValue);
    if (OnTimerThread())
    {
        mDeferred.DeferPerform(paramIdx);
        return;
    }
    if (componentHandler)
        componentHandler->performEdit(static_cast<Vst::ParamID>(paramIdx), normalisedValue);
}

void Vst3Plugin::InformHostOfLatencyChange()
{
    if (OnTimerThread())
    {
        mDeferred.DeferRestart(Vst::kLatencyChanged);
        return;
    }
    if (componentHandler)
        componentHandler->restartComponent(Vst::kLatencyChanged);
}

void Vst3Plugin::ReportPendingEdits(Vst::ProcessData& data)
{
    if (!data.outputParameterChanges || !mDeferred.AnyPerformPending())
        return;
    mDeferred.TakePerforms(
        [&](int i)
        {
            int32 queueIndex = 0;
            int32 pointIndex = 0;
            if (Vst::IParamValueQueue* queue = data.outputParameterChanges->addParameterData(
                    static_cast<Vst::ParamID>(i), queueIndex))
                queue->addPoint(0, GetParam(i)->Normalised(), pointIndex);
        });
}

// ---- IPluginBase --------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::initialize(FUnknown* context)
{
    const auto lock = mThreads.Enter(HostThread::Main, "initialize");
    const tresult result = SingleComponentEffect::initialize(context);
    if (result != kResultOk)
        return result;

    int inputConfig = 0;
    int outputConfig = 0;
    MaxBusCount(kInput, &inputConfig);
    MaxBusCount(kOutput, &outputConfig);
    AddBusesOfConfig(inputConfig, outputConfig);
    if (PluginType() == 2 && audioOutputs.empty())
        addAudioOutput(STR16("Dummy Output"), SpeakerArrangementFor(2));
    if (DoesMidiIn())
        addEventInput(STR16("MIDI Input"), 1);
    if (DoesMidiOut())
        addEventOutput(STR16("MIDI Output"), 1);

    InitParameters(*this, parameters, *this, PluginType() == 1, DoesMidiIn());

    if (GetHost() == kHostUninit)
    {
        FUnknownPtr<Vst::IHostApplication> app(context);
        Vst::String128 name{};
        if (app && app->getName(name) == kResultOk)
            SetHost(narrowText(name), 0);
    }
    OnHostIdentified();
    OnParamReset();

    RefreshBusView();
    mIdleDriver->Initialize(context, FactoryHostContext());
    return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::terminate()
{
    mThreads.Expect(HostThread::Main, "terminate");
    mIdleDriver->Stop();
    const auto lock = mThreads.Enter(HostThread::Main, "terminate");
    const tresult result = SingleComponentEffect::terminate();
    RefreshBusView();
    return result;
}

// ---- Buses ----------------------------------------------------------------------

void Vst3Plugin::AddBusesOfConfig(int inputConfigIdx, int outputConfigIdx)
{
    for (int dirIdx = 0; dirIdx < 2; ++dirIdx)
    {
        const auto dir = static_cast<Direction>(dirIdx);
        const int configIdx = dir == kInput ? inputConfigIdx : outputConfigIdx;
        if (configIdx < 0 || configIdx >= NIOConfigs())
            continue;
        const IOConfig& config = GetIOConfig(configIdx);
        const int busCount = config.NBuses(dir);
        for (int i = 0; i < busCount; ++i)
        {
            Vst::String128 name;
            Utf8ToString128(BusName(dir, i, busCount).c_str(), name);
            const Vst::SpeakerArrangement arr =
                SpeakerArrangementFor(config.NChannelsOfBus(dir, i));
            const Vst::BusType type = i == 0 ? Vst::kMain : Vst::kAux;
            const int32 flags = i == 0 ? Vst::BusInfo::kDefaultActive : 0;
            if (dir == kInput)
                addAudioInput(name, arr, type, flags);
            else
                addAudioOutput(name, arr, type, flags);
        }
    }
}

void Vst3Plugin::RefreshBusView()
{
    const bool none = audioInputs.empty() && audioOutputs.empty();
    for (int dirIdx = 0; dirIdx < 2; ++dirIdx)
    {
        const Vst::BusList& list = dirIdx == kInput ? audioInputs : audioOutputs;
        uint64_t active = 0;
        for (size_t i = 0; i < list.size() && i < kBusBits; ++i)
            if (list[i]->isActive())
                active |= uint64_t{1} << i;
        mBusActive[dirIdx].store(active, std::memory_order_relaxed);
        mBusCount[dirIdx].store(none ? -1 : static_cast<int>(list.size()),
                                std::memory_order_release);
    }
    ForgetBlockSetUp();
}

int Vst3Plugin::PluginBusCount(Direction dir) const
{
    // Before `initialize` made the buses, the configured layouts apply.
    const int count = mBusCount[dir].load(std::memory_order_acquire);
    return count < 0 ? Vst3ProcessorBase::PluginBusCount(dir) : count;
}

bool Vst3Plugin::IsPluginBusActive(Direction dir, int busIdx) const
{
    const int count = mBusCount[dir].load(std::memory_order_acquire);
    if (count < 0)
        return Vst3ProcessorBase::IsPluginBusActive(dir, busIdx);
    if (busIdx < 0 || busIdx >= count)
        return false;
    if (busIdx < kBusBits)
        return (mBusActive[dir].load(std::memory_order_relaxed) >> busIdx & 1u) != 0;
    const Vst::BusList& list = dir == kInput ? audioInputs : audioOutputs;
    return list[static_cast<size_t>(busIdx)]->isActive();
}

PluginProcessor::ArrangedBuses Vst3Plugin::ArrangedBusesForBlock(int hostOutputBuses) const
{
    const int inputs = mBusCount[kInput].load(std::memory_order_acquire);
    const int outputs = mBusCount[kOutput].load(std::memory_order_acquire);
    if (inputs < 0 || outputs < 0)
        return Vst3ProcessorBase::ArrangedBusesForBlock(hostOutputBuses);
    // The same answers as the bus-by-bus questions, from the two words.
    ArrangedBuses buses;
    buses.inputBuses = inputs;
    buses.sidechainActive =
        inputs >= 2 && (mBusActive[kInput].load(std::memory_order_relaxed) >> 1 & 1u) != 0;
    const int asked = std::min({hostOutputBuses, outputs, kBusBits});
    const uint64_t mask = asked <= 0          ? 0
                          : asked >= kBusBits ? ~uint64_t{0}
                                              : (uint64_t{1} << asked) - 1;
    buses.activeOutputs = mBusActive[kOutput].load(std::memory_order_relaxed) & mask;
    return buses;
}

tresult PLUGIN_API Vst3Plugin::activateBus(Vst::MediaType type, Vst::BusDirection dir, int32 index,
                                           TBool state)
{
    const tresult result = SingleComponentEffect::activateBus(type, dir, index, state);
    RefreshBusView();
    return result;
}

tresult PLUGIN_API Vst3Plugin::setBusArrangements(Vst::SpeakerArrangement* inputs, int32 numIns,
                                                  Vst::SpeakerArrangement* outputs, int32 numOuts)
{
    mThreads.Expect(HostThread::Setup, "setBusArrangements");
    // These hosts ask for arrangements the plug-in cannot take and fail the
    // insert on a refusal; the plug-in keeps its buses and adapts per block.
    if (GetHost() == kHostArdour || GetHost() == kHostMixbus)
        return kResultOk;
    const auto lock = mThreads.Enter(HostThread::Setup, "setBusArrangements");

    SetChannelConnections(kInput, 0, NChannels(kInput), false);
    SetChannelConnections(kOutput, 0, NChannels(kOutput), false);
    if (numIns < 0 || numOuts < 0 || numIns > MaxBusCount(kInput) || numOuts > MaxBusCount(kOutput))
        return kResultFalse;
    if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
        return kInvalidArgument;

    std::vector<int> ins;
    std::vector<int> outs;
    for (int32 i = 0; i < numIns; ++i)
        ins.push_back(ChannelCountOf(inputs[i]));
    for (int32 i = 0; i < numOuts; ++i)
        outs.push_back(ChannelCountOf(outputs[i]));
    const int match = MatchConfig(ins, outs);
    if (match < 0)
        return kResultFalse;
    // A bus the host activated stays active: hosts activate before or after
    // arranging, and need not activate again.
    std::vector<bool> wasActive[2];
    for (int dirIdx = 0; dirIdx < 2; ++dirIdx)
        for (const auto& bus : dirIdx == kInput ? audioInputs : audioOutputs)
            wasActive[dirIdx].push_back(bus->isActive());
    removeAudioBusses();
    AddBusesOfConfig(match, match);
    for (int dirIdx = 0; dirIdx < 2; ++dirIdx)
    {
        Vst::BusList& list = dirIdx == kInput ? audioInputs : audioOutputs;
        for (size_t i = 0; i < list.size() && i < wasActive[dirIdx].size(); ++i)
            list[i]->setActive(wasActive[dirIdx][i]);
    }
    RefreshBusView();
    return kResultOk;
}

// ---- Processing -----------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::canProcessSampleSize(int32 symbolicSampleSize)
{
    mThreads.Expect(HostThread::Any, "canProcessSampleSize");
    return symbolicSampleSize == Vst::kSample32 || symbolicSampleSize == Vst::kSample64
               ? kResultTrue
               : kResultFalse;
}

uint32 PLUGIN_API Vst3Plugin::getLatencySamples()
{
    mThreads.Expect(HostThread::Any, "getLatencySamples");
    return static_cast<uint32>(std::max(GetLatency(), 0));
}

uint32 PLUGIN_API Vst3Plugin::getTailSamples()
{
    mThreads.Expect(HostThread::Any, "getTailSamples");
    return GetTailIsInfinite() ? Vst::kInfiniteTail
                               : static_cast<uint32>(std::max(GetTailSize(), 0));
}

tresult PLUGIN_API Vst3Plugin::setupProcessing(Vst::ProcessSetup& setup)
{
    mThreads.Expect(HostThread::Setup, "setupProcessing");
    if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
        return kResultFalse;
    // The engine's filters and time constants are meaningless outside this
    // range (a rate of 0 or NaN silently stops all dipping).
    constexpr double kMaxSampleRate = 768000.0;
    if (!std::isfinite(setup.sampleRate) || setup.sampleRate <= 0.0 ||
        setup.sampleRate > kMaxSampleRate)
        return kResultFalse;
    const auto lock = mThreads.Enter(HostThread::Setup, "setupProcessing");
    processSetup = setup;
    SetSampleRate(setup.sampleRate);
    SetBlockSize(setup.maxSamplesPerBlock);
    PrepareMidiOutput(setup.maxSamplesPerBlock);
    ResetBypassDelay();
    ResetProcessing();
    return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setProcessing(TBool state)
{
    // Hosts call it on their main or their audio thread.
    mThreads.Expect(HostThread::Any, "setProcessing");
    if (!state)
    {
        const auto lock = mThreads.Enter(HostThread::Any, "setProcessing");
        ResetBypassDelay();
        ResetProcessing();
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setActive(TBool state)
{
    mThreads.Expect(HostThread::Setup, "setActive");
    ForgetBlockSetUp();
    OnActivate(state != 0);
    return kResultOk;
}

uint32 PLUGIN_API Vst3Plugin::getProcessContextRequirements()
{
    mThreads.Expect(HostThread::Any, "getProcessContextRequirements");
    return mProcessContextRequirements;
}

void Vst3Plugin::ApplyParameterChanges(Vst::ProcessData& data)
{
    Vst::IParameterChanges* changes = data.inputParameterChanges;
    if (!changes)
        return;
    const int32 count = changes->getParameterCount();
    const auto paramCount = static_cast<Vst::ParamID>(mHostValues.size());
    for (int32 i = 0; i < count; ++i)
    {
        Vst::IParamValueQueue* queue = changes->getParameterData(i);
        if (!queue)
            continue;
        const int32 points = queue->getPointCount();
        int32 offset = 0;
        Vst::ParamValue value = 0.0;
        // Only the block's last value of each parameter counts.
        if (points <= 0 || queue->getPoint(points - 1, offset, value) != kResultTrue)
            continue;
        const Vst::ParamID id = queue->getParameterId();
        if (id < paramCount)
        {
            HostValue& last = mHostValues[id];
            // The value this parameter already took from the host, and
            // nothing has moved it since: applying it again changes nothing.
            // (A value once taken, `param` is set.)
            if (value == last.normalised && last.param->Value() == last.plain)
                continue;
            IParam* param = last.param ? last.param : GetParam(static_cast<int>(id));
            const double before = param->Value();
            param->Set(param->FromNormalised(value));
            if (param->Value() != before)
                NoteParamsEdited();
            OnParamChange(static_cast<int>(id));
            last = {value, param->Value(), param};
        }
        else if (id == kBypassParamId)
        {
            SetBypassed(value > 0.5);
        }
        else if (id >= kMidiControllerParamBase)
        {
            const MidiMsg msg = MidiMsgForControllerParam(id, value, offset);
            SendMidiMsgFromProcessor(msg);
            ProcessMidiMsg(msg);
        }
    }
}

tresult PLUGIN_API Vst3Plugin::process(Vst::ProcessData& data)
{
    const HostThreadCheck::ProcessScope audio(mThreads);
    ApplyProcessContext(data);
    ApplyParameterChanges(data);
    ProcessAudio(data);
    FlushMidiOutput(data);
    ReportPendingEdits(data);
    return kResultOk;
}

// ---- State ----------------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::getState(IBStream* state)
{
    const auto lock = mThreads.Enter(HostThread::Main, "getState");
    if (!state)
        return kInvalidArgument;
    FlushDeferredHostCalls();
    IByteChunk chunk;
    if (!SaveState(chunk))
        return kResultFalse;
    int32 bypass = GetBypassed() ? 1 : 0;
    chunk.Put(bypass);
    StateRecords records;
    SaveStateRecords(records);
    // A size the user chose for the editor; the design size needs no record.
    if (!EditorHasDesignSize())
    {
        IByteChunk size;
        size.Put(static_cast<int32>(EditorWidth()));
        size.Put(static_cast<int32>(EditorHeight()));
        records.Add(kEditorSizeRecord, std::move(size));
    }
    records.WriteTo(chunk);
    int32 written = 0;
    if (state->write(chunk.GetData(), chunk.Size(), &written) != kResultOk ||
        written != chunk.Size())
        return kResultFalse;
    return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setState(IBStream* state)
{
    const auto lock = mThreads.Enter(HostThread::Main, "setState");
    if (!state)
        return kInvalidArgument;

    IByteChunk chunk;
    const bool readOnErrors = GetHost() == kHostWaveLab;
    // Values as doubles, then the host bypass flag.
    const int longest = NParams() * static_cast<int>(sizeof(double)) +
                        static_cast<int>(sizeof(int32)) + kStateMargin;
    for (;;)
    {
        uint8 piece[kStateReadPiece];
        int32 got = 0;
        const tresult result = state->read(piece, kStateReadPiece, &got);
        if (got > 0)
            chunk.PutBytes(piece, std::min(got, kStateReadPiece));
        // Refused whole, before anything changes.
        if (chunk.Size() > longest)
        {
            FlushDeferredHostCalls();
            return kResultFalse;
        }
        // This host reports an error on the last, short piece of a stream.
        if ((result != kResultOk && !readOnErrors) || got <= 0)
            break;
    }

    // The host's values replace what a private tick set and has not
    // reported yet: telling the host of those now would only be undone.
    mDeferred.DropPerforms();
    FlushDeferredHostCalls();

    // A short chunk still restores the values that fit whole (older, shorter
    // states rely on it) and the engine follows them; the host-side bypass
    // comes after the parameters, so without it the restore is incomplete.
    const int pos = LoadState(chunk, 0);
    int32 bypass = 0;
    const int recordsPos = pos >= 0 ? chunk.Get(bypass, pos) : -1;
    const bool complete = recordsPos >= 0;
    if (complete)
    {
        SetBypassed(bypass != 0);
        if (Vst::Parameter* parameter = parameters.getParameter(kBypassParamId))
            parameter->setNormalized(bypass ? 1.0 : 0.0);
    }
    // States written before records existed have none.
    const StateRecords records = StateRecords::ReadFrom(chunk, recordsPos);
    LoadStateRecords(records);
    RestoreEditorSize(records);

    // Whatever the answer, the controller and the page show what the
    // processor now holds.
    for (int i = 0; i < NParams(); ++i)
        if (Vst::Parameter* parameter = parameters.getParameter(static_cast<Vst::ParamID>(i)))
            parameter->setNormalized(GetParam(i)->Normalised());
    for (int i = 0; i < NParams(); ++i)
        SendParamValueToPage(i, GetParam(i)->Normalised(), true);
    if (complete)
        return kResultOk;
    // A host that sees the restore fail does not read the values back by
    // itself.
    if (componentHandler)
        componentHandler->restartComponent(Vst::kParamValuesChanged);
    return kResultFalse;
}

tresult PLUGIN_API Vst3Plugin::setComponentState(IBStream* /*state*/)
{
    mThreads.Expect(HostThread::Main, "setComponentState");
    // The component's state already carries everything (one object).
    return kResultOk;
}

// ---- Controller -----------------------------------------------------------------

// The SDK's lookups by index throw on an index out of range; a host must get
// an answer instead.
tresult PLUGIN_API Vst3Plugin::getParameterInfo(int32 paramIndex, Vst::ParameterInfo& info)
{
    mThreads.Expect(HostThread::Any, "getParameterInfo");
    if (paramIndex < 0 || paramIndex >= parameters.getParameterCount())
        return kResultFalse;
    return SingleComponentEffect::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API Vst3Plugin::getUnitInfo(int32 unitIndex, Vst::UnitInfo& info)
{
    mThreads.Expect(HostThread::Main, "getUnitInfo");
    if (unitIndex < 0 || unitIndex >= getUnitCount())
        return kResultFalse;
    return SingleComponentEffect::getUnitInfo(unitIndex, info);
}

tresult PLUGIN_API Vst3Plugin::getParamStringByValue(Vst::ParamID id,
                                                     Vst::ParamValue valueNormalized,
                                                     Vst::String128 string)
{
    // Hosts show values from any of their threads (automation lanes too).
    mThreads.Expect(HostThread::Any, "getParamStringByValue");
    if (!string)
        return kInvalidArgument;
    if (id < static_cast<Vst::ParamID>(NParams()))
    {
        char text[IParam::kTextSize] = {};
        GetParam(static_cast<int>(id))->FormatValue(valueNormalized, true, text, true);
        Utf8ToString128(text, string);
        return kResultTrue;
    }
    // The SDK's list parameters index their texts by the value unchecked.
    const Vst::ParamValue v = valueNormalized >= 0.0 ? std::min(valueNormalized, 1.0) : 0.0;
    return SingleComponentEffect::getParamStringByValue(id, v, string);
}

tresult PLUGIN_API Vst3Plugin::getParamValueByString(Vst::ParamID id, Vst::TChar* string,
                                                     Vst::ParamValue& valueNormalized)
{
    mThreads.Expect(HostThread::Any, "getParamValueByString");
    if (!string)
        return kInvalidArgument;
    if (id < static_cast<Vst::ParamID>(NParams()))
    {
        // Text that reads as no value is refused; the host keeps the value it has.
        const IParam* param = GetParam(static_cast<int>(id));
        const std::optional<double> plain = param->ParseTypedText(narrowText(string));
        if (!plain)
            return kResultFalse;
        valueNormalized = param->ToNormalised(*plain);
        return kResultTrue;
    }
    return SingleComponentEffect::getParamValueByString(id, string, valueNormalized);
}

Vst::ParamValue PLUGIN_API Vst3Plugin::normalizedParamToPlain(Vst::ParamID id,
                                                              Vst::ParamValue valueNormalized)
{
    mThreads.Expect(HostThread::Any, "normalizedParamToPlain");
    if (id < static_cast<Vst::ParamID>(NParams()))
        return GetParam(static_cast<int>(id))->FromNormalised(valueNormalized);
    return SingleComponentEffect::normalizedParamToPlain(id, valueNormalized);
}

Vst::ParamValue PLUGIN_API Vst3Plugin::plainParamToNormalized(Vst::ParamID id,
                                                              Vst::ParamValue plainValue)
{
    mThreads.Expect(HostThread::Any, "plainParamToNormalized");
    if (id < static_cast<Vst::ParamID>(NParams()))
        return GetParam(static_cast<int>(id))->ToNormalised(plainValue);
    return SingleComponentEffect::plainParamToNormalized(id, plainValue);
}

Vst::ParamValue PLUGIN_API Vst3Plugin::getParamNormalized(Vst::ParamID id)
{
    const auto lock = mThreads.Enter(HostThread::Any, "getParamNormalized");
    Vst::Parameter* parameter = parameters.getParameter(id);
    return parameter ? parameter->getNormalized() : 0.0;
}

tresult PLUGIN_API Vst3Plugin::setParamNormalized(Vst::ParamID id, Vst::ParamValue value)
{
    const auto lock = mThreads.Enter(HostThread::Main, "setParamNormalized");
    Vst::Parameter* parameter = parameters.getParameter(id);
    if (!parameter)
        return kResultFalse;
    FlushDeferredHostCalls();
    // A NaN would be stored as it is and come back from getParamNormalized
    // and the state; outside 0..1 the plug-in's own value would disagree with
    // the published one.
    value = std::isnan(value) ? parameter->getInfo().defaultNormalizedValue
                              : std::clamp(value, 0.0, 1.0);
    parameter->setNormalized(value);
    if (id < static_cast<Vst::ParamID>(NParams()))
    {
        IParam* param = GetParam(static_cast<int>(id));
        const double before = param->Value();
        param->Set(param->FromNormalised(value));
        // Hosts echo values they already hold; only a change counts.
        if (param->Value() != before)
            NoteParamsEdited();
        OnParamChangeUI(static_cast<int>(id));
        SendParamValueToPage(static_cast<int>(id), param->Normalised(), true);
    }
    return kResultTrue;
}

tresult PLUGIN_API Vst3Plugin::setComponentHandler(Vst::IComponentHandler* handler)
{
    const auto lock = mThreads.Enter(HostThread::Main, "setComponentHandler");
    const tresult result = SingleComponentEffect::setComponentHandler(handler);
    FlushDeferredHostCalls();
    return result;
}

IPlugView* PLUGIN_API Vst3Plugin::createView(FIDString name)
{
    const auto lock = mThreads.Enter(HostThread::Main, "createView");
    if (!HasEditor() || !name || std::strcmp(name, Vst::ViewType::kEditor) != 0)
        return nullptr;
    FlushDeferredHostCalls();
    mView = new Vst3View(*this);
    return mView;
}

void Vst3Plugin::ViewDestroyed(Vst3View* view)
{
    const auto lock = mThreads.Enter(HostThread::Main, "view release");
    if (mView == view)
        mView = nullptr;
}

void Vst3Plugin::OpenEditorWindow(void* parent)
{
    // Without a web view (none installed, no display) the editor shows none.
    OpenEditorWebView(*this, parent, EditorWidth(), EditorHeight(), mView ? mView->Scale() : 1.0f);
}

void Vst3Plugin::SetEditorScale(float scale)
{
    SetWebViewScale(scale);
}

void Vst3Plugin::EditorViewResized(float width, float height)
{
    SetWebViewBounds(0, 0, static_cast<int>(std::lround(width)),
                     static_cast<int>(std::lround(height)));
}

bool Vst3Plugin::RequestEditorSize(int width, int height)
{
    return mView != nullptr && mView->RequestSize(width, height);
}

void Vst3Plugin::RestoreEditorSize(const StateRecords& records)
{
    // A state without the record had the design size.
    int32 width = EditorDesignWidth();
    int32 height = EditorDesignHeight();
    if (const IByteChunk* size = records.Find(kEditorSizeRecord); size && size->Size() >= 8)
    {
        size->Get(width, 0);
        size->Get(height, 4);
    }
    const bool changed = width != EditorWidth() || height != EditorHeight();
    SetEditorSize(width, height);
    // An open editor takes the restored size when the host agrees.
    if (changed && mView != nullptr && mView->isAttached())
        mView->RequestSize(EditorWidth(), EditorHeight());
}

void Vst3Plugin::CloseEditorWindow()
{
    DetachWebViewBackend();
    EditorClosed();
}

// ---- MIDI mapping and channel context ---------------------------------------------

tresult PLUGIN_API Vst3Plugin::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                           Vst::CtrlNumber midiControllerNumber,
                                                           Vst::ParamID& id)
{
    mThreads.Expect(HostThread::Main, "getMidiControllerAssignment");
    return MidiControllerAssignment(busIndex, channel, midiControllerNumber, id) ? kResultTrue
                                                                                 : kResultFalse;
}

tresult PLUGIN_API Vst3Plugin::setChannelContextInfos(Vst::IAttributeList* list)
{
    const auto lock = mThreads.Enter(HostThread::Main, "setChannelContextInfos");
    if (!ReadChannelContext(list, mChannelContext))
        return kResultFalse;
    TrackInfoChanged();
    return kResultTrue;
}

} // namespace plugfw
