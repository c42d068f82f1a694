// ostrel::Ostrel: the plug-in instance. One object is at once the audio
// processor, the edit controller and the editor delegate. It defines the 27
// parameters, owns the SpectralEngine, turns every parameter change into the
// engine's settings, and keeps the state of the idle driver and the editor
// bridge.
#pragma once

#include "editor_messages/meter_report.h"
#include "editor_messages/settings_message.h"
#include "engine/spectral_engine.h"
#include "link/link_matrix.h"
#include "plugin/gesture_book.h"
#include "plugin/last_state_keeper.h"
#include "plugin/ostrel_params.h"
#include "plugin/page_outbox.h"
#include "plugin/settings_slots.h"
#include "storage/file_work_queue.h"
#include "vst3/vst3_plugin.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
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
    // A stereo block's main input stays in the engine's lookahead line.
    bool KeepsMainInput(int channels) const override;
    void ReadKeptMainInput(int channel, int endAgo, int count, double* dst) const override;
    void EditorOpened() override;
    void EditorClosed() override;

    // --- idle driver (plugin/ostrel_idle.cpp) --------------------------------
    // Every 20 ms on the main thread, editor open or not.
    void IdleTick() override;
    // Outside the instance's lock (before and after each tick): the file
    // writes queued under it, and the files a pending page refresh needs.
    void IdleFileWork() override;
    // Sets a parameter on behalf of the link matrix as if the user had moved
    // it in the page: host gesture (unless the page holds one), edit, echo.
    // A drag in another editor's matrix is one host gesture here: Held opens
    // it (or stays in it), Ended closes it.
    void SetParamFromPeer(int paramIdx, double plainValue,
                          RequestGesture gesture = RequestGesture::Single);
    // --- meters (plugin/ostrel_meters.cpp) ------------------------------------
    // The engine's meters as the "meters" message shows them.
    MeterSnapshot TakeMeterSnapshot() const;
    // Every tick with the editor open: the meters, when they changed, at
    // most every fifth tick (10 a second).
    void SendMetersToPage();
    // Every tick: notes when the engine's block counter last moved.
    void NoteAudioProgress(int32_t blockCounter);
    // The host reported track information: the name is taken and published.
    void TrackInfoChanged() override;
    // The host's name is known: the instance joins its host session, in this
    // process or shared with the host's other processes.
    void OnHostIdentified() override;

    // --- editor messages (plugin/ostrel_editor_messages.cpp) -----------------
    // The product messages of the page, by tag; always reports them handled.
    bool OnEditorMessage(int msgTag, int ctrlTag, int dataSize, const void* data) override;
    // Page loaded: a refresh is due at the next tick, then "params" and the values.
    void ContentLoaded() override;
    std::vector<std::string> PageValueTexts(int paramIdx) const override;
    // Host and page keys reach the page's key handler while it asked for them.
    bool KeyDown(const plugfw::KeyPress& key) override;

    // --- the user's settings (plugin/ostrel_settings.cpp) --------------------
    // The user's last settings, at the first tick, for an instance that
    // neither its host nor its user has set since it was made: one edit for
    // the host, the monitoring switches never.
    void RestoreLastStateOnce();
    // The settings slots and the preset marks in the host's state.
    void SaveStateRecords(plugfw::StateRecords& records) const override;
    void LoadStateRecords(const plugfw::StateRecords& records) override;
    ParamValues LiveValues() const;
    // What the page's header shows: slot, preset and its modified mark.
    SettingsView CurrentSettingsView() const;

    // --- state ---------------------------------------------------------------
    SpectralEngine engine;

    // Idle driver and editor bridge (main thread unless said otherwise).
    // Host gestures held by the page or by a drag in some editor's link
    // matrix (Depth).
    GestureBook gestures;
    bool editorOpen = false;
    bool refreshPending = false;
    // The user's last settings: when to save them, whether to restore them.
    LastStateKeeper lastState;
    int32_t nameTicks = 0;
    int32_t peerListTicks = 0;
    int32_t lastBlockCounter = 0;
    bool blockCounterSeen = false;
    int32_t lastDepthRequestSeq = 0;
    int32_t lastPriorityRequestSeq = 0;
    uint32_t seenClaimCount = 0; // the link's claimCount whose requests were adopted
    std::string cachedTrackName;
    bool keyForwarding = false;
    SettingsSlots settingsSlots;
    std::optional<SettingsView> settingsShown; // as the page was last told
    // Meters (main thread): when audio was last processed (monotonic ms, -1
    // never).
    int64_t lastAudioMs = -1;
    // What the page last got of the messages sent only when they changed,
    // and the meters' pace.
    PageOutbox pageOutbox;

    // Second output of a mono block (audio thread; sized by ResetProcessing).
    std::vector<double> monoScratch;

    // File work done outside the instance's lock. A page refresh waits for
    // the files it shows to have been read there.
    struct PageFiles
    {
        std::string presets;
        size_t onboardedLength = 0;
        uint64_t presetsGeneration = 0; // of the presets file as read
        uint64_t request = 0;           // the pageFilesRequest it was read for
        bool folderRefused = false;     // the data folder is not used at all
    };
    FileWorkQueue fileWork;
    std::atomic<bool> pageFilesWanted{false};
    // Counts the refreshes that asked for the files: a read made for an
    // earlier one (before a page load, say, and before the user's answer to
    // the first-run guide) is not shown to a later page.
    std::atomic<uint64_t> pageFilesRequest{0};
    void WantPageFiles()
    {
        pageFilesRequest.fetch_add(1);
        pageFilesWanted = true;
    }
    // The presets file's generation this instance's page last got; another
    // instance's write moves the process-wide one on.
    uint64_t presetsSeen = 0;
    bool presetsRefreshPending = false;

private:
    // The host has named itself and the instance joined its host session
    // (the matrix then says where it meets its peers).
    bool mHostSessionJoined = false;
    std::mutex mPageFilesMutex;
    std::optional<PageFiles> mPageFiles; // read outside the lock, for the next refresh
    std::vector<FileWorkQueue::FailedWrite> mFailedWrites; // not yet told to the page

    void DefineParameters();
    // Idle driver and editor-message helpers.
    void RefreshPage(const PageFiles& files);
    // The page's presets after a write by any instance of the process.
    void SendPresetsToPage(const PageFiles& files);
    std::optional<PageFiles> TakePageFiles();
    // The writes that failed, each with why, to the page.
    void SendFileErrorsToPage();
    // The cached track name into the held slot (an empty one empties it).
    void PublishTrackName();
    void SendTextToPage(int msgTag, const std::string& text);
    // Sends `text` unless the page already has it as its `which` report.
    void SendChangedTextToPage(int msgTag, const std::string& text, PageOutbox::Report which);
    void ParameterFromPage(const MessageText& text);
    void MatrixEditFromPage(const MessageText& text);
    // Ends the host gesture of a parameter once neither the page nor a
    // matrix drag holds it.
    void ReleaseHostGesture(int paramIdx);
    // Settings: one edit for the host of every `which` parameter whose value
    // differs from `plain`, echoed to the page.
    void ApplyValuesAsOneEdit(const ParamValues& plain, bool (*which)(int));
    void PresetFromPage(const MessageText& text);
    void CompareFromPage(const MessageText& text);
    void SendSettingsToPage();
};

} // namespace ostrel
