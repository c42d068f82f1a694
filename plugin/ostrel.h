// ostrel::Ostrel: the plug-in instance. One object is at once the audio
// processor, the edit controller and the editor delegate. It defines the 27
// parameters, owns the SpectralEngine, turns every parameter change into the
// engine's settings, and keeps the state of the idle driver and the editor
// bridge in a few parts of their own.
#pragma once

#include "editor_messages/meter_report.h"
#include "editor_messages/settings_message.h"
#include "engine/spectral_engine.h"
#include "link/link_matrix.h"
#include "plugin/engine_recent_input.h"
#include "plugin/gesture_book.h"
#include "plugin/instance_files.h"
#include "plugin/last_state_keeper.h"
#include "plugin/link_upkeep.h"
#include "plugin/ostrel_params.h"
#include "plugin/page_bridge.h"
#include "plugin/settings_slots.h"
#include "vst3/vst3_plugin.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel
{

class MessageText;

// The configuration record the framework bases are built with.
plugfw::Config ostrelConfig();

class Ostrel : public plugfw::Vst3Plugin
{
public:
    Ostrel();
    ~Ostrel() override;

    // --- framework hooks (plugin/ostrel.cpp) ---------------------------------
    // Parameter handler: writes the engine setting of parameter `paramIdx`.
    // Audio thread (changes with a block) or main thread (everything else).
    void OnParamChange(int paramIdx) override;
    // Every edit made in an editor; the only changes that the last-state
    // file keeps.
    void SetParamFromEditor(int paramIdx, double normalisedValue) override;
    void ResetProcessing() override;
    int LoadState(const plugfw::IByteChunk& chunk, int startPos) override;
    void processBlock(double** inputs, double** outputs, int nFrames) override;
    // A stereo block's main input stays in the engine.
    const plugfw::RecentInput* KeptMainInput(int channels) const override;
    void EditorOpened() override;
    void EditorClosed() override;

    // --- idle driver (plugin/ostrel_idle.cpp) --------------------------------
    // Every 20 ms on the main thread, editor open or not.
    void IdleTick() override;
    // Outside the instance's lock (before and after each tick): the file
    // writes queued under it, and the files a pending page refresh needs.
    void IdleFileWork() override;
    // The host reported track information: the name is taken and published.
    void TrackInfoChanged() override;
    // The host's name is known: the instance joins its host session, in this
    // process or shared with the host's other processes.
    void OnHostIdentified() override;
    // Outside the lock (IdleFileWork): the preference "Link across
    // processes", read a few times a second by one instance of the process
    // (at once when this instance has just written it); the process's place
    // follows it, and every instance follows the place at its next tick.
    void FollowLinkPreference(bool justWritten);
    // The page's choice of that preference: written to the data folder.
    void LinkPreferenceFromPage(const std::string& word);
    // The registry and handle the idle duties and the editor work with.
    PeerRegistry& IdleRegistry() { return *mEngine.handover().idleSide().lease.registry; }
    PeerLink& IdleLink() { return mEngine.handover().idleSide().link; }

    // --- editor messages (plugin/ostrel_editor_messages.cpp) -----------------
    // The product messages of the page, by tag; always reports them handled.
    bool OnEditorMessage(int msgTag, int ctrlTag, int dataSize, const void* data) override;
    // Page loaded: a refresh is due at the next tick, then "params" and the values.
    void ContentLoaded() override;
    std::vector<std::string> PageValueTexts(int paramIdx) const override;
    // Host and page keys reach the page's key handler while it asked for them.
    bool KeyDown(const plugfw::KeyPress& key) override;

    // --- the user's settings (plugin/ostrel_settings.cpp) --------------------
    // The settings slots and the preset marks in the host's state.
    void SaveStateRecords(plugfw::StateRecords& records) const override;
    void LoadStateRecords(const plugfw::StateRecords& records) override;

    // --- what the instance's parts show of themselves ------------------------
    SpectralEngine& Engine() { return mEngine; }
    const SpectralEngine& Engine() const { return mEngine; }
    const GestureBook& Gestures() const { return mGestures; }
    const PageBridge& Page() const { return mPage; }
    const LastStateKeeper& LastState() const { return mLastState; }
    const LinkUpkeep& Link() const { return mLink; }
    // Sized by ResetProcessing for a mono block's second output.
    size_t MonoScratchSize() const { return mMonoScratch.size(); }

protected:
    // The file work, for instances that play the timer thread's interleavings.
    InstanceFiles& FileWork() { return mFiles; }
    // Where the page's meters come from: the engine's readings (a test's
    // instance shows readings of its own through the same report).
    virtual MeterReadings ReadMeters() const { return mEngine.meters(); }

private:
    SpectralEngine mEngine;
    EngineRecentInput mKeptInput{mEngine};
    // Host gestures held by the page or by a drag in some editor's link
    // matrix.
    GestureBook mGestures;
    // The page: shown or not, refresh, keys, what it last got, the pace.
    PageBridge mPage;
    // File writes and the page's file reads, outside the instance's lock.
    InstanceFiles mFiles;
    // The user's last settings: when to save them, whether to restore them.
    LastStateKeeper mLastState;
    SettingsSlots mSettingsSlots;
    // The instance's place among its peers between ticks.
    LinkUpkeep mLink;
    // Second output of a mono block (audio thread; sized by ResetProcessing).
    std::vector<double> mMonoScratch;

    void DefineParameters();

    // Idle driver helpers (plugin/ostrel_idle.cpp).
    // Sets a parameter on behalf of the link matrix as if the user had moved
    // it in the page: host gesture (unless the page holds one), edit, echo.
    // A drag in another editor's matrix is one host gesture here: Held opens
    // it (or stays in it), Ended closes it.
    void SetParamFromPeer(int paramIdx, double plainValue,
                          RequestGesture gesture = RequestGesture::Single);
    // Ends the host gesture of a parameter once neither the page nor a
    // matrix drag holds it.
    void ReleaseHostGesture(int paramIdx);
    // The stalled-audio attach, published depth, matrix requests and track
    // name, editor open or not.
    void RunLinkDuties(PeerRegistry& registry, int64_t nowMs);
    // The full refresh, or the presets alone, once their files are read.
    void RefreshPageWhenDue();
    void RefreshPage(const InstanceFiles::PageFiles& files);
    // The page's presets after a write by any instance of the process.
    void SendPresetsToPage(const InstanceFiles::PageFiles& files);
    // The writes that failed, each with why, to the page.
    void SendFileErrorsToPage();
    // The track name the host last reported becomes the one published.
    void TakeTrackName();
    // The track name into the held slot (an empty one empties it).
    void PublishTrackName();
    void SendTextToPage(int msgTag, const std::string& text);
    // Sends `text` unless the page already has it as its `which` report.
    void SendChangedTextToPage(int msgTag, const std::string& text, PageBridge::Report which);

    // Meters (plugin/ostrel_meters.cpp).
    // The engine's meters as the "meters" message shows them.
    MeterSnapshot TakeMeterSnapshot() const;
    // Every tick with the editor open: the meters, when they changed, at
    // most every fifth tick (10 a second).
    void SendMetersToPage();

    // Page messages (plugin/ostrel_editor_messages.cpp).
    void ParameterFromPage(const MessageText& text);
    void MatrixEditFromPage(const MessageText& text);
    // A refresh is due: the files it shows are read for it.
    void WantPageRefresh();

    // Settings (plugin/ostrel_settings.cpp).
    // The user's last settings, at the first tick, for an instance that
    // neither its host nor its user has set since it was made: one edit for
    // the host, the monitoring switches never.
    void RestoreLastStateOnce();
    // Every 20 ticks at most, the last settings into their file.
    void SaveLastStateWhenDue();
    ParamValues LiveValues() const;
    // What the page's header shows: slot, preset and its modified mark.
    SettingsView CurrentSettingsView() const;
    // Settings: one edit for the host of every `which` parameter whose value
    // differs from `plain`, echoed to the page.
    void ApplyValuesAsOneEdit(const ParamValues& plain, bool (*which)(int));
    void PresetFromPage(const MessageText& text);
    void CompareFromPage(const MessageText& text);
    void SendSettingsToPage();
};

} // namespace ostrel
