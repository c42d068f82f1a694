#include "plugin/ostrel.h"

#include "engine/block_driver.h"
#include "framework/iparam.h"
#include "link/peer_registry.h"
#include "plugin/param_definitions.h"

#include <algorithm>

namespace ostrel
{

plugfw::Config ostrelConfig()
{
    plugfw::Config c;
    c.nParams = kNumParams;
    c.nPresets = 1;
    c.channelIOStr = "2-2 1-1 1.1-1 2.1-2 2.2-2";
    c.pluginName = "Ostrel";
    c.productName = "Ostrel";
    c.makerName = "Talmesh";
    c.version = 0x0001092D;  // 1.9.45
    c.uniqueId = 0x4F53544C; // 'OSTL'
    c.makerId = 0x544C4D53;  // 'TLMS'
    c.latency = kEngineLatency;
    c.doesMidiIn = false;
    c.doesMidiOut = false;
    c.doesMpe = false;
    c.doesStateChunks = false;
    c.pluginType = 0;
    c.hasEditor = true;
    c.editorWidth = 1084;
    c.editorHeight = 543;
    c.editorMinWidth = 361;
    c.editorMaxWidth = 3252;
    c.editorMinHeight = 181;
    c.editorMaxHeight = 1629;
    c.hostCanResizeEditor = true;
    c.bundleId = "";
    c.appGroupId = "";
    return c;
}

Ostrel::Ostrel() : Vst3Plugin(ostrelConfig())
{
    // The engine starts from its own initial settings: no OnParamChange runs
    // here; the host's controller initialisation brings them in line.
    DefineParameters();
    SetChannelLabel(plugfw::kInput, 0, "Main L");
    SetChannelLabel(plugfw::kInput, 1, "Main R");
    SetChannelLabel(plugfw::kInput, 2, "Sidechain L");
    SetChannelLabel(plugfw::kInput, 3, "Sidechain R");
}

Ostrel::~Ostrel()
{
    // Leave the registry before anything else goes: other instances must not
    // keep reading a slot whose owner is being torn down.
    mEngine.handover().releaseSlots();
    // The last queued writes (a preset saved just before the editor closed).
    mFiles.RunWrites();
}

void Ostrel::DefineParameters()
{
    for (int i = 0; i < kNumParams; ++i)
        defineParam(*GetParam(i), kParamTable[i]);
}

void Ostrel::OnParamChange(int paramIdx)
{
    if (const plugfw::IParam* param = GetParam(paramIdx))
        mEngine.settings().apply(kParamTable[paramIdx], param->Value());
}

std::vector<std::string> Ostrel::PageValueTexts(int paramIdx) const
{
    std::vector<std::string> texts;
    if (paramIdx < 0 || paramIdx >= kNumParams)
        return texts;
    for (const std::string_view text : kParamTable[paramIdx].pageTexts)
        if (!text.empty())
            texts.emplace_back(text);
    return texts;
}

void Ostrel::SetParamFromEditor(int paramIdx, double normalisedValue)
{
    Vst3Plugin::SetParamFromEditor(paramIdx, normalisedValue);
    // The user's own edit (in this page, or in some editor's link matrix):
    // the new last settings. Host restores and automation never get here.
    mLastState.NoteEditorEdit();
}

void Ostrel::ResetProcessing()
{
    mEngine.resetEngine(GetSampleRate());
    WantPageRefresh();
    mMonoScratch.resize(static_cast<size_t>(std::max(1, GetBlockSize())), 0.0);
}

int Ostrel::LoadState(const plugfw::IByteChunk& chunk, int startPos)
{
    mLastState.NoteHostRestore();
    return PluginApiBase::LoadState(chunk, startPos);
}

void Ostrel::processBlock(double** inputs, double** outputs, int nFrames)
{
    const ChannelList in{inputs, ConnectedFlags(plugfw::kInput), NChannels(plugfw::kInput)};
    const ChannelList out{outputs, ConnectedFlags(plugfw::kOutput), NChannels(plugfw::kOutput)};
    const plugfw::ITimeInfo& time = GetTimeInfo();
    const HostTransport transport{time.samplePos, time.transportIsRunning};
    mEngine.setHostBypassed(GetBypassed());
    ostrel::processBlock(mEngine, in, out, GetSidechainStartChannel(), transport, nFrames,
                         mMonoScratch);
}

const plugfw::RecentInput* Ostrel::KeptMainInput(int channels) const
{
    // Only a stereo block puts both main inputs into the engine unchanged (a
    // mono block carries the first in both). Further input channels count
    // only while unconnected, when they read zeros.
    const bool* in = ConnectedFlags(plugfw::kInput);
    const bool* out = ConnectedFlags(plugfw::kOutput);
    if (NChannels(plugfw::kInput) < 2 || NChannels(plugfw::kOutput) < 2 || !in[1] || !out[1])
        return nullptr;
    for (int ch = 2; ch < std::min(channels, NChannels(plugfw::kInput)); ++ch)
        if (in[ch])
            return nullptr;
    return &mKeptInput;
}

void Ostrel::WantPageRefresh()
{
    mPage.WantRefresh();
    mFiles.WantPageFiles();
}

void Ostrel::EditorOpened()
{
    SendAllParamValuesToPage();
    // A new page has seen no meters yet; the engine measures for it.
    mPage.Opened();
    mFiles.WantPageFiles();
    mEngine.setMetersWanted(true);
}

void Ostrel::EditorClosed()
{
    mPage.Closed();
    mEngine.setMetersWanted(false);
    for (int i = 0; i < kNumParams; ++i)
    {
        if (mGestures.Close(GestureHolder::Page, i))
            ReleaseHostGesture(i);
    }
}

} // namespace ostrel
