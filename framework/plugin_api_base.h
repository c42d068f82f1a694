// plugfw::PluginApiBase: the side of the plug-in object that faces the
// plug-in API in general. It keeps the identity from the configuration
// record, identifies the host from its name, owns the lock-free queues
// through which the audio thread hands events to the main thread, and runs
// the idle work at every timer tick.
#pragma once

#include "framework/host_codes.h"
#include "framework/plugin_base.h"
#include "framework/plugin_config.h"
#include "framework/spsc_queue.h"

#include <string>
#include <string_view>

namespace plugfw
{

// A parameter change made on the audio thread, for the main thread.
struct ParamTuple
{
    int idx = 0;
    double value = 0.0;
};

class PluginApiBase : public PluginBase
{
public:
    static constexpr int kParamChangeQueueSize = 513;
    static constexpr int kMidiQueueSize = 33;
    static constexpr int kSysExQueueSize = 5;
    // The idle timer's period.
    static constexpr int kTimerPeriodMs = 20;

    explicit PluginApiBase(const Config& config);
    ~PluginApiBase() override;

    // Identity.
    const std::string& GetPluginName() const { return mPluginName; }
    const std::string& GetProductName() const { return mProductName; }
    const std::string& GetMakerName() const { return mMakerName; }
    int GetPluginVersion() const { return mVersion; }
    // "major.minor.third" of the packed version.
    std::string GetPluginVersionString() const;
    int GetUniqueId() const { return mUniqueId; }
    int GetMakerId() const { return mMakerId; }
    bool HasEditor() const { return mHasEditor; }
    bool HostCanResizeEditor() const { return mHostCanResize; }
    // The editor's size in logical pixels: the design size of the
    // configuration until the host or the user resizes a resizable editor.
    int EditorWidth() const { return mEditorWidth; }
    int EditorHeight() const { return mEditorHeight; }
    int EditorDesignWidth() const { return mDesignWidth; }
    int EditorDesignHeight() const { return mDesignHeight; }
    bool EditorHasDesignSize() const
    {
        return mEditorWidth == mDesignWidth && mEditorHeight == mDesignHeight;
    }
    // The nearest size the editor may take (editor_size.h), in logical
    // pixels; becomes the editor's size. Main thread.
    void SetEditorSize(int width, int height);
    int EditorMinWidth() const { return mMinWidth; }
    int EditorMaxWidth() const { return mMaxWidth; }
    int EditorMinHeight() const { return mMinHeight; }
    int EditorMaxHeight() const { return mMaxHeight; }
    bool DoesMidiIn() const { return mDoesMidiIn; }
    bool DoesMidiOut() const { return mDoesMidiOut; }
    bool DoesMpe() const { return mDoesMpe; }
    bool DoesStateChunks() const { return mDoesStateChunks; }
    int PluginType() const { return mPluginType; }

    // Host.
    void SetHost(std::string_view name, int version);
    virtual void OnHostIdentified() {}
    const std::string& GetHostName() const { return mHostName; }
    int GetHost() const { return mHost; }
    int GetHostVersion() const { return mHostVersion; }

    // Audio thread -> main thread. Each push drops the entry when its queue is full.
    bool SendParamChangeFromProcessor(int idx, double value)
    {
        return mParamChangeFromProcessor.Push({idx, value});
    }
    bool PopParamChangeFromProcessor(ParamTuple& change)
    {
        return mParamChangeFromProcessor.Pop(change);
    }
    bool SendMidiMsgFromProcessor(const MidiMsg& msg) { return mMidiMsgsFromProcessor.Push(msg); }
    bool SendSysexMsgFromProcessor(const SysExData& msg)
    {
        return mSysExDataFromProcessor.Push(msg);
    }
    // Editor -> processing side.
    bool SendSysexMsgFromEditor(const SysExData& msg) { return mSysExDataFromEditor.Push(msg); }
    bool PopSysexMsgFromEditor(SysExData& msg) { return mSysExDataFromEditor.Pop(msg); }

    // Every timer period on the main thread: hands the processor's MIDI and
    // system-exclusive messages to the editor hooks, then runs IdleTick.
    void TimerTick();
    virtual void IdleTick() {}
    // Just before and after every tick, on the same thread but outside the
    // instance's lock: file work the ticks and page messages queued.
    virtual void IdleFileWork() {}

private:
    std::string mPluginName;
    std::string mProductName;
    std::string mMakerName;
    int mVersion;
    int mUniqueId;
    int mMakerId;
    bool mHasEditor;
    bool mHostCanResize;
    int mDesignWidth;
    int mDesignHeight;
    int mEditorWidth;
    int mEditorHeight;
    int mMinWidth;
    int mMaxWidth;
    int mMinHeight;
    int mMaxHeight;
    bool mDoesMidiIn;
    bool mDoesMidiOut;
    bool mDoesMpe;
    bool mDoesStateChunks;
    int mPluginType;

    std::string mHostName;
    int mHost = kHostUninit;
    int mHostVersion = 0;

    SpscQueue<ParamTuple, kParamChangeQueueSize> mParamChangeFromProcessor;
    SpscQueue<MidiMsg, kMidiQueueSize> mMidiMsgsFromProcessor;
    SpscQueue<SysExData, kSysExQueueSize> mSysExDataFromProcessor;
    SpscQueue<SysExData, kSysExQueueSize> mSysExDataFromEditor;
};

} // namespace plugfw
