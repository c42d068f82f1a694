// What the end-to-end tests share: the built bundle, loaded once per test
// program with dlopen like a host loads it, and a host-side instance of its
// class (created through the factory, initialised with a host context,
// buses set, processing prepared) with helpers for blocks, state and
// parameters.
#pragma once

#include "plugin/ostrel_params.h"
#include "tools/render/host/component_handler.h"
#include "tools/render/host/host_context.h"
#include "tools/render/host/plugin_instance.h"
#include "tools/render/host/vst3_module.h"

#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ostrel
{
class Ostrel;
}

namespace ostrel::test
{

inline constexpr int kLatency = 1264;
inline constexpr int kParamCount = kNumParams;
inline constexpr Steinberg::Vst::ParamID kHostBypassId = 0x10000;

// Short names for the plug-in's parameter ids (plugin/ostrel_params.h).
enum ParamId : Steinberg::Vst::ParamID
{
    kRole = kParamRole,
    kChannel = kParamChannel,
    kDepth = kParamDepth,
    kBypass = kParamBypass,
    kSelectivity = kParamSelectivity,
    kListen = kParamListen,
    kLowGuard = kParamLowGuard,
    kSidechain = kParamSidechain,
    kBell1Freq = bellParam(0, kBellFreqOffset),
    kBell1Q = bellParam(0, kBellQOffset),
    kBell1Depth = bellParam(0, kBellDepthOffset),
    kBell1Active = bellParam(0, kBellActiveOffset),
    kBellListen = kParamBellListen,
    kHighGuard = kParamHighGuard,
    kPriority = kParamPriority,
};

// The module, loaded on first use and kept for the whole test program (as a
// host keeps it while instances exist).
host::Vst3Module& Bundle();
Steinberg::IPluginFactory* Factory();

// One instance with its own host context and component handler (which
// offers edit groups, IComponentHandler2, when asked to).
class Instance
{
public:
    explicit Instance(const std::string& hostName = "ostrel-tests", bool offerRunLoop = true,
                      bool handlerGroupsEdits = false);
    ~Instance();

    host::PluginInstance& operator*() { return *mInstance; }
    host::PluginInstance* operator->() { return mInstance.get(); }
    host::HostContext& Context() { return *mContext; }
    host::ComponentHandler& Handler() { return mHandler; }

    // Host state: getState into bytes / setState from bytes.
    std::vector<uint8_t> GetState();
    Steinberg::tresult SetState(const std::vector<uint8_t>& bytes);

    // Buses and processing in one go (stereo unless said).
    void Prepare(int channels = 2, int block = 256, bool use64 = false);
    // How a host brings its layout to the plug-in's buses.
    enum class Arranging
    {
        ArrangeThenActivate,
        ActivateThenArrange,
        SendAsIs, // no setBusArrangements: the host's channel counts just arrive
    };
    void PrepareLayout(const host::BusLayout& layout, Arranging arranging, int block = 256,
                       bool use64 = false);
    // Runs `input` (main channels x frames) through in blocks, with `changes`
    // in the first block; returns the output (as many channels as the
    // layout's output).
    std::vector<std::vector<double>>
    Run(const std::vector<std::vector<double>>& input,
        host::ParameterChanges* firstChanges = nullptr,
        const std::vector<std::vector<double>>* sidechain = nullptr);

private:
    std::unique_ptr<host::HostContext> mContext;
    host::ComponentHandler mHandler;
    std::unique_ptr<host::PluginInstance> mInstance;
    int mBlock = 256;
};

// The plug-in object behind an instance: the bundle's own, so what it
// reaches of process-wide state (the peer registry) is the bundle's, not this
// program's.
Ostrel& PluginObject(Instance& plugin);

// The host's channel context for the instance's track through
// setChannelContextInfos: the name (when given), the index and a colour.
Steinberg::tresult SendTrackContext(Instance& plugin, const char16_t* name,
                                    Steinberg::int64 index = 0);

// A deterministic test signal: white noise with a slow sine, per channel.
std::vector<std::vector<double>> TestSignal(int channels, int frames, unsigned seed = 7);

// Little-endian helpers for state bytes.
double DoubleAt(const std::vector<uint8_t>& bytes, size_t offset);
int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset);
std::vector<uint8_t> StateOf(const std::vector<double>& values, const int32_t* bypass);

} // namespace ostrel::test
