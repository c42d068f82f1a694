#include "framework/plugin_api_base.h"

#include "framework/editor_size.h"

#include <algorithm>

namespace plugfw
{

PluginApiBase::PluginApiBase(const Config& config)
    : PluginBase(config.nParams, config.nPresets), mPluginName(config.pluginName),
      mProductName(config.productName), mMakerName(config.makerName), mVersion(config.version),
      mUniqueId(config.uniqueId), mMakerId(config.makerId), mHasEditor(config.hasEditor),
      mHostCanResize(config.hostCanResizeEditor), mDesignWidth(config.editorWidth),
      mDesignHeight(config.editorHeight), mEditorWidth(config.editorWidth),
      mEditorHeight(config.editorHeight),
      mMinWidth(std::min(config.editorMinWidth, config.editorMaxWidth)),
      mMaxWidth(std::max(config.editorMinWidth, config.editorMaxWidth)),
      mMinHeight(std::min(config.editorMinHeight, config.editorMaxHeight)),
      mMaxHeight(std::max(config.editorMinHeight, config.editorMaxHeight)),
      mDoesMidiIn(config.doesMidiIn), mDoesMidiOut(config.doesMidiOut), mDoesMpe(config.doesMpe),
      mDoesStateChunks(config.doesStateChunks), mPluginType(config.pluginType)
{
}

PluginApiBase::~PluginApiBase() = default;

std::string PluginApiBase::GetPluginVersionString() const
{
    const unsigned v = static_cast<unsigned>(mVersion);
    return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." +
           std::to_string(v & 0xFF);
}

void PluginApiBase::SetEditorSize(int width, int height)
{
    const EditorSize size = NearestEditorSize(
        {mDesignWidth, mDesignHeight, mMinWidth, mMaxWidth, mMinHeight, mMaxHeight}, width, height,
        1.0);
    mEditorWidth = size.width;
    mEditorHeight = size.height;
}

void PluginApiBase::SetHost(std::string_view name, int version)
{
    mHostName = name;
    mHost = HostCodeOf(name);
    mHostVersion = version;
    OnHostIdentified();
}

void PluginApiBase::TimerTick()
{
    MidiMsg msg;
    while (mMidiMsgsFromProcessor.Pop(msg))
        OnMidiMsgUI(msg);
    SysExData sysex;
    while (mSysExDataFromProcessor.Pop(sysex))
        OnSysexMsgUI(sysex);
    IdleTick();
}

} // namespace plugfw
