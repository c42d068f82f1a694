// plugfw::Vst3Plugin: makes the plug-in object one VST 3 component that is
// processor and edit controller at once. It answers every host call
// (IComponent, IAudioProcessor, IEditController, IMidiMapping, the channel
// context), creates the editor view, runs the 20 ms idle timer, and turns
// the framework's host-facing hooks (edit gestures, editor edits, latency
// changes) into calls on the host's component handler.
//
// Threads: each host entry point names the thread it expects
// (host_thread_check.h). `process` runs on the audio thread and takes no
// lock. Every other host call that changes anything, the editor's messages
// and the idle ticks take one per-instance lock once per entry, so that a
// tick from the private timer thread (hosts without a run loop) never
// overlaps them. A private tick never calls the host: what it would report
// waits in DeferredHostCalls for the next main-thread opportunity, and
// parameter values also reach the host through the processor's output
// parameter changes.
#pragma once

#include "framework/plugin_api_base.h"
#include "framework/timer.h"
#include "vst3/deferred_host_calls.h"
#include "vst3/host_idle_driver.h"
#include "vst3/host_thread_check.h"
#include "vst3/single_component_effect.h"
#include "vst3/vst3_controller_base.h"
#include "vst3/vst3_processor_base.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace plugfw
{

class Vst3View;

class Vst3Plugin : public PluginApiBase,
                   public Vst3ProcessorBase,
                   public Vst3ControllerBase,
                   public Steinberg::Vst::SingleComponentEffect,
                   public Steinberg::Vst::IMidiMapping,
                   public Steinberg::Vst::ChannelContext::IInfoListener
{
public:
    explicit Vst3Plugin(const Config& config);
    ~Vst3Plugin() override;

    // IPluginBase
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API terminate() SMTG_OVERRIDE;

    // IComponent
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type,
                                              Steinberg::Vst::BusDirection dir,
                                              Steinberg::int32 index,
                                              Steinberg::TBool state) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) SMTG_OVERRIDE;

    // IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                     Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize)
        SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup)
        SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) SMTG_OVERRIDE;

    // IProcessContextRequirements
    Steinberg::uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE;

    // IEditController
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API getParameterInfo(
        Steinberg::int32 paramIndex, Steinberg::Vst::ParameterInfo& info) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API
    getParamStringByValue(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue valueNormalized,
                          Steinberg::Vst::String128 string) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API
    getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                          Steinberg::Vst::ParamValue& valueNormalized) SMTG_OVERRIDE;
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(
        Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue valueNormalized) SMTG_OVERRIDE;
    Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(
        Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue plainValue) SMTG_OVERRIDE;
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id)
        SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API
    setParamNormalized(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler)
        SMTG_OVERRIDE;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) SMTG_OVERRIDE;

    // IUnitInfo
    Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex,
                                              Steinberg::Vst::UnitInfo& info) SMTG_OVERRIDE;

    // IMidiMapping
    Steinberg::tresult PLUGIN_API getMidiControllerAssignment(
        Steinberg::int32 busIndex, Steinberg::int16 channel,
        Steinberg::Vst::CtrlNumber midiControllerNumber, Steinberg::Vst::ParamID& id) SMTG_OVERRIDE;

    // ChannelContext::IInfoListener
    Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list)
        SMTG_OVERRIDE;

    OBJ_METHODS(Vst3Plugin, SingleComponentEffect)
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid,
                                                 void** obj) SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE { return SingleComponentEffect::addRef(); }
    // The last release stops the idle timer before anything is destroyed.
    Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE;

    // Framework hooks towards the host.
    void BeginHostEdit(int paramIdx) override;
    void EndHostEdit(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalisedValue) override;
    void InformHostOfLatencyChange() override;
    // Grouped edits through IComponentHandler2, where the host offers it and
    // only from the main thread.
    bool HostGroupsEdits() const override;
    void BeginHostEditGroup() override;
    void EndHostEditGroup() override;
    void MarkStateDirty() override;
    int PluginBusCount(Direction dir) const override;
    bool IsPluginBusActive(Direction dir, int busIdx) const override;
    ArrangedBuses ArrangedBusesForBlock(int hostOutputBuses) const override;

    // The editor window inside the host's parent window; the web view host
    // provides it. Closing ends the editor (EditorClosed).
    virtual void OpenEditorWindow(void* parent);
    virtual void CloseEditorWindow();
    // The host's content scale for the editor.
    virtual void SetEditorScale(float scale);
    // The host gave the view a new size (logical pixels): the web view follows.
    virtual void EditorViewResized(float width, float height);
    // The page asks for a new editor size (logical pixels); the host decides.
    bool RequestEditorSize(int width, int height);

    // A host entry point: checks its thread, then holds the instance's lock
    // (which serialises host calls, editor messages and ticks) for the entry.
    [[nodiscard]] HostThreadCheck::Lock EnterFromHost(HostThread expected, const char* entry)
    {
        return mThreads.Enter(expected, entry);
    }
    // The lock for main-thread work that is not a host call (tests).
    [[nodiscard]] HostThreadCheck::Lock LockMainThread()
    {
        return mThreads.Enter(HostThread::Any, "lock");
    }
    void ExpectHostThread(HostThread expected, const char* entry) const
    {
        mThreads.Expect(expected, entry);
    }
    Timer& IdleTimer() { return mTimer; }
    HostIdleDriver& IdleDriver() { return *mIdleDriver; }
    Vst3View* CurrentView() const { return mView; }
    void ViewDestroyed(Vst3View* view);
    // Host calls held back while the private timer thread was ticking
    // (the caller holds the lock).
    void FlushDeferredHostCalls();

private:
    void OnTimerTick();
    // The editor size a host state carries after its bypass flag.
    void RestoreEditorSize(const StateRecords& records);
    void AddBusesOfConfig(int inputConfigIdx, int outputConfigIdx);
    // Copies the audio buses' count and activity for the audio thread, after
    // every change the main thread makes to them.
    void RefreshBusView();
    void ApplyParameterChanges(Steinberg::Vst::ProcessData& data);
    void ReportPendingEdits(Steinberg::Vst::ProcessData& data);
    bool OnTimerThread() const { return mTimer.OnPrivateThread(); }

    HostThreadCheck mThreads;
    Timer mTimer;
    std::unique_ptr<HostIdleDriver> mIdleDriver;
    Vst3View* mView = nullptr;
    DeferredHostCalls mDeferred;
    // Per parameter, the normalised value last taken from the host's
    // changes and the value it gave (audio thread only): hosts reading
    // automation resend unchanged values in every block.
    struct HostValue
    {
        double normalised = std::numeric_limits<double>::quiet_NaN();
        double plain = std::numeric_limits<double>::quiet_NaN();
        IParam* param = nullptr; // set with the first value taken
    };
    std::vector<HostValue> mHostValues;
    // Per direction, the audio buses as a block reads them: their count (-1
    // before any were made) and one bit per active bus, kept beside the
    // SDK's bus objects so that a block reads two words, not every bus.
    static constexpr int kBusBits = 64;
    std::atomic<int> mBusCount[2] = {-1, -1};
    std::atomic<uint64_t> mBusActive[2] = {0, 0};
};

} // namespace plugfw
