// plugfw::PluginBase: the plug-in object's parameter list in use. It turns
// the parameter values into the state chunk and back, keeps the preset
// slots, and declares the parameter-change hook that the plug-in class
// overrides to bring its processing in line with the values.
#pragma once

#include "framework/byte_chunk.h"
#include "framework/state_records.h"
#include "framework/web_view_editor_delegate.h"

#include <atomic>
#include <string>
#include <vector>

namespace plugfw
{

// One parameter's new value in an edit of several at once.
struct ParamEdit
{
    int paramIdx = 0;
    double normalisedValue = 0.0;
};

class PluginBase : public WebViewEditorDelegate
{
public:
    PluginBase(int nParams, int nPresets);
    ~PluginBase() override;

    // A parameter's value has changed (any thread that changed it). The
    // default does nothing.
    virtual void OnParamChange(int /*paramIdx*/) {}

    // Editor edit: sets the parameter from the normalised value, tells the
    // host (InformHostOfParamChange) and runs OnParamChange. Indices outside
    // the parameter list change nothing.
    void SetParamFromEditor(int paramIdx, double normalisedValue) override;
    // How an editor edit reaches the host; the plug-in API layer provides it.
    virtual void InformHostOfParamChange(int /*paramIdx*/, double /*normalisedValue*/) {}

    // Several editor edits that the user made with one action (a preset, a
    // settings slot): one undo step in the host. Where the host groups edits
    // they go out as one group (every begin, every value, every end);
    // elsewhere each parameter gets a complete gesture of its own.
    void SetParamsFromEditorAsOneEdit(const std::vector<ParamEdit>& edits);
    // The plug-in API layer provides the grouping.
    virtual bool HostGroupsEdits() const { return false; }
    virtual void BeginHostEditGroup() {}
    virtual void EndHostEditGroup() {}
    // Something besides the parameter values changed (what the state
    // records hold): the host should offer to save.
    virtual void MarkStateDirty() {}

    // Whether the host or the editor changed a parameter's value since the
    // object was made (restoring a state is the plug-in class's business).
    // Any thread.
    bool ParamsEditedSinceCreation() const { return mParamsEdited.load(std::memory_order_relaxed); }
    void NoteParamsEdited()
    {
        if (!mParamsEdited.load(std::memory_order_relaxed))
            mParamsEdited.store(true, std::memory_order_relaxed);
    }

    // State: the parameter chunk is every parameter's real value as a
    // little-endian double, in index order, and nothing else.
    bool SerializeParams(IByteChunk& chunk) const;
    // Reads the values from `startPos`; a value that is not all there ends the
    // reading with position -1. Afterwards every parameter is announced
    // (OnParamReset). Returns the final position.
    int UnserializeParams(const IByteChunk& chunk, int startPos);
    virtual bool SaveState(IByteChunk& chunk) const { return SerializeParams(chunk); }
    virtual int LoadState(const IByteChunk& chunk, int startPos)
    {
        return UnserializeParams(chunk, startPos);
    }
    // OnParamChange and the editor-side hook for every parameter, in order.
    void OnParamReset();
    // What the host's state keeps besides the values: the plug-in adds its
    // records when saving, and gets those of a restored state (none for a
    // state that has no records).
    virtual void SaveStateRecords(StateRecords& /*records*/) const {}
    virtual void LoadStateRecords(const StateRecords& /*records*/) {}

    // Presets.
    static constexpr int kPresetNameSize = 256;
    int NPresets() const { return static_cast<int>(mPresets.size()); }
    int CurrentPresetIdx() const { return mCurrentPresetIdx; }
    // Recalls a preset slot; an empty slot is first filled with the current
    // state and named "user preset N".
    bool RestorePreset(int index);
    const char* PresetName(int index) const;
    virtual void OnPresetsModified() {}

private:
    struct Preset
    {
        bool initialized = false;
        std::string name = "empty";
        IByteChunk chunk;
    };

    std::vector<Preset> mPresets;
    int mCurrentPresetIdx = 0;
    std::atomic<bool> mParamsEdited{false};
};

} // namespace plugfw
