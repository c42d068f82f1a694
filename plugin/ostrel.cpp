#include "plugin/ostrel.h"

#include "engine/block_driver.h"
#include "framework/iparam.h"
#include "link/peer_registry.h"

#include <algorithm>
#include <cstdio>

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
    detachAtDestruction(sharedRegistry(), engine.link);
    // The last queued writes (a preset saved just before the editor closed).
    fileWork.RunWrites();
}

void Ostrel::DefineParameters()
{
    using plugfw::ShapePowCurve;
    const ShapePowCurve curve(3.0);
    const int none = 0;

    // Definition order as the product has always made it (High Guard before
    // Sidechain); the indices are what counts for state.
    GetParam(kParamRole)
        ->DefineEnum("Role", 0, 4, "", none, "", {"Off", "Source", "Masker", "Self"});
    GetParam(kParamChannel)->DefineInt("Channel", 1, 1, 64, "", none, "");
    GetParam(kParamDepth)->DefineDouble("Depth", 0.0, 0.0, 100.0, 0.1, "%", none, "");
    GetParam(kParamBypass)->DefineBool("Bypass", 0, "", none, "", "off", "on");
    GetParam(kParamSelectivity)->DefineDouble("Selectivity", 11.0, 0.0, 100.0, 0.1, "%", none, "");
    GetParam(kParamListen)->DefineBool("Listen", 0, "", none, "", "off", "on");
    GetParam(kParamLowGuard)
        ->DefineDouble("Low Guard", 20.0, 20.0, 500.0, 1.0, "Hz", none, "", curve);
    GetParam(kParamHighGuard)
        ->DefineDouble("High Guard", 20000.0, 2000.0, 20000.0, 1.0, "Hz", none, "", curve);
    GetParam(kParamSidechain)->DefineBool("Sidechain", 0, "", none, "", "off", "on");
    for (int k = 0; k < kBellCount; ++k)
    {
        char name[32];
        std::snprintf(name, sizeof(name), "Bell %d Freq", k + 1);
        GetParam(bellParam(k, kBellFreqOffset))
            ->DefineDouble(name, 1000.0, 20.0, 20000.0, 0.1, "Hz", none, "", curve);
        std::snprintf(name, sizeof(name), "Bell %d Q", k + 1);
        GetParam(bellParam(k, kBellQOffset))
            ->DefineDouble(name, 1.5, 0.3, 10.0, 0.01, "", none, "");
        std::snprintf(name, sizeof(name), "Bell %d Depth", k + 1);
        GetParam(bellParam(k, kBellDepthOffset))
            ->DefineDouble(name, 0.0, 0.0, 100.0, 0.1, "%", none, "");
        std::snprintf(name, sizeof(name), "Bell %d Active", k + 1);
        GetParam(bellParam(k, kBellActiveOffset))->DefineBool(name, 0, "", none, "", "off", "on");
    }
    GetParam(kParamBellListen)->DefineInt("Bell Listen", 0, 0, 4, "", none, "");
    GetParam(kParamPriority)->DefineInt("Priority", 4, 1, 8, "", none, "");
}

void Ostrel::OnParamChange(int paramIdx)
{
    const plugfw::IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    const double v = param->Value();
    const uint8_t on = v >= 0.5 ? 1 : 0;
    EngineSettings& s = engine.settings;

    switch (paramIdx)
    {
    case kParamRole:
        s.role = static_cast<int>(v);
        break;
    case kParamChannel:
        s.channelIndex = static_cast<int>(v) - 1;
        break;
    case kParamDepth:
    {
        // Single precision, as the dips have always been computed.
        float f = static_cast<float>(v) * 0.01f;
        if (f >= 1.0f)
            f = 1.0f;
        if (f < 0.0f)
            f = 0.0f;
        s.setDepth(DepthDb{-48.0f * f, -(30.0f * f + 6.0f)});
        break;
    }
    case kParamBypass:
        s.bypass = on;
        break;
    case kParamSelectivity:
        s.selectivity = static_cast<float>(v * 9.0 * 0.01 + 3.0);
        break;
    case kParamListen:
        s.listen = on;
        break;
    case kParamLowGuard:
        s.lowGuardHz = static_cast<float>(v);
        break;
    case kParamSidechain:
        s.sidechainOn = on;
        break;
    case kParamBellListen:
        s.bellListen = static_cast<int>(v) - 1;
        break;
    case kParamHighGuard:
        s.highGuardHz = static_cast<float>(v);
        break;
    case kParamPriority:
        s.priority = static_cast<int>(v);
        break;
    default:
    {
        const int bell = (paramIdx - kParamBell1Freq) / kParamsPerBell;
        switch ((paramIdx - kParamBell1Freq) % kParamsPerBell)
        {
        case kBellFreqOffset:
            s.bellFreqHz[bell] = static_cast<float>(v);
            break;
        case kBellQOffset:
            s.bellQ[bell] = static_cast<float>(v);
            break;
        case kBellDepthOffset:
            s.bellDepthPercent[bell] = static_cast<float>(v);
            break;
        case kBellActiveOffset:
            s.bellActive[bell] = on;
            break;
        }
        break;
    }
    }
}

void Ostrel::SetParamFromEditor(int paramIdx, double normalisedValue)
{
    Vst3Plugin::SetParamFromEditor(paramIdx, normalisedValue);
    // The user's own edit (in this page, or in some editor's link matrix):
    // the new last settings. Host restores and automation never get here.
    if (!restoringLastState)
        lastStateDirty = true;
}

void Ostrel::ResetProcessing()
{
    engine.resetEngine(GetSampleRate());
    refreshPending = true;
    WantPageFiles();
    monoScratch.resize(static_cast<size_t>(std::max(1, GetBlockSize())), 0.0);
}

int Ostrel::LoadState(const plugfw::IByteChunk& chunk, int startPos)
{
    hostStateRestored = true;
    return PluginApiBase::LoadState(chunk, startPos);
}

void Ostrel::processBlock(double** inputs, double** outputs, int nFrames)
{
    const ChannelList in{inputs, ConnectedFlags(plugfw::kInput), NChannels(plugfw::kInput)};
    const ChannelList out{outputs, ConnectedFlags(plugfw::kOutput), NChannels(plugfw::kOutput)};
    const plugfw::ITimeInfo& time = GetTimeInfo();
    const HostTransport transport{time.samplePos, time.transportIsRunning};
    engine.hostBypassed = GetBypassed();
    ostrel::processBlock(engine, in, out, GetSidechainStartChannel(), transport, nFrames,
                         monoScratch);
}

bool Ostrel::KeepsMainInput(int channels) const
{
    // Only a stereo block puts both main inputs into the line unchanged (a
    // mono block carries the first in both); every path of the engine writes
    // the line. Further input channels count only while unconnected, when
    // they read zeros.
    const bool* in = ConnectedFlags(plugfw::kInput);
    const bool* out = ConnectedFlags(plugfw::kOutput);
    if (NChannels(plugfw::kInput) < 2 || NChannels(plugfw::kOutput) < 2 || !in[1] || !out[1])
        return false;
    for (int ch = 2; ch < std::min(channels, NChannels(plugfw::kInput)); ++ch)
        if (in[ch])
            return false;
    return true;
}

void Ostrel::ReadKeptMainInput(int channel, int endAgo, int count, double* dst) const
{
    if (channel >= 0 && channel < 2)
        engine.readRecentInput(channel, endAgo, count, dst);
    else
        std::fill_n(dst, count, 0.0);
}

void Ostrel::EditorOpened()
{
    SendAllParamValuesToPage();
    editorOpen = true;
    refreshPending = true;
    WantPageFiles();
    keyForwarding = false;
    // A new page has seen no meters yet; the engine measures for it.
    meterTicks = 0;
    lastMetersSent.clear();
    lastSourcesSent.clear();
    lastMatrixSent.clear();
    engine.meters.wanted.store(1, std::memory_order_relaxed);
}

void Ostrel::EditorClosed()
{
    editorOpen = false;
    keyForwarding = false;
    settingsShown.reset();
    engine.meters.wanted.store(0, std::memory_order_relaxed);
    for (int i = 0; i < kNumParams; ++i)
    {
        if (!gestureOpen[i])
            continue;
        gestureOpen[i] = false;
        gestureTicks[i] = 0;
        ReleaseHostGesture(i);
    }
}

} // namespace ostrel
