// One plug-in instance driven the way a DAW drives it: created from the
// module's factory, initialised with the host context, its buses negotiated,
// set up and activated, then fed blocks with parameter changes and a
// process context whose transport plays and whose project time advances.
// Audio is handed over as 64-bit channel buffers and converted to 32-bit
// samples when the instance runs in 32-bit mode.
#pragma once

#include "tools/render/host/parameter_changes.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrel::host
{

// Channel counts of the buses a host asks for; sidechain 0 = none.
struct BusLayout
{
    int mainIn = 2;
    int sidechainIn = 0;
    int out = 2;
};

class PluginInstance
{
public:
    ~PluginInstance();

    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // Creates the factory's class `classIndex` (an audio module class) and
    // initialises it with `hostContext`.
    static std::unique_ptr<PluginInstance> Create(Steinberg::IPluginFactory* factory,
                                                  int classIndex, Steinberg::FUnknown* hostContext,
                                                  std::string& error);

    Steinberg::Vst::IComponent* Component() const { return mComponent; }
    Steinberg::Vst::IAudioProcessor* Processor() const { return mProcessor; }
    Steinberg::Vst::IEditController* Controller() const { return mController; }

    // The parameter whose title matches `name` (case, spaces, "-" and "_"
    // ignored).
    bool FindParameter(const std::string& name, Steinberg::Vst::ParameterInfo& info) const;
    std::vector<Steinberg::Vst::ParameterInfo> Parameters() const;
    std::string ValueText(Steinberg::Vst::ParamID id, double normalised) const;

    // setBusArrangements for the layout and activation of the buses it uses:
    // by default arranged first, as most hosts do; some activate first.
    bool SetBusLayout(const BusLayout& layout, std::string& error, bool activateFirst = false);
    // Sends blocks of this layout without arranging the buses at all, as hosts
    // do that take any answer to setBusArrangements as agreement; only
    // activates the buses the layout uses.
    void SendLayoutAsIs(const BusLayout& layout);
    const BusLayout& Layout() const { return mLayout; }

    // setupProcessing, setActive(true), setProcessing(true).
    bool Prepare(double sampleRate, int maxBlock, bool use64, std::string& error,
                 Steinberg::int32 processMode = Steinberg::Vst::kOffline);
    // setProcessing(false), setActive(false); Prepare may follow again.
    void Stop();
    bool Prepared() const { return mPrepared; }

    // One block of `n` frames (n <= maxBlock). `sidechain` may be null when
    // the layout has none; `changes` may be null. Output changes that the
    // plug-in reports are left in `OutputChanges()`.
    Steinberg::tresult Process(const double* const* mainIn, const double* const* sidechain,
                               double* const* out, int n, ParameterChanges* changes);

    // Blocks run without a context when false (the plug-in keeps the last).
    void SetSendContext(bool send) { mSendContext = send; }
    void SetPlaying(bool playing) { mPlaying = playing; }
    // The main input's channels share the output buffers (processing in place).
    void SetInPlace(bool inPlace) { mInPlace = inPlace; }
    Steinberg::Vst::ProcessContext& Context() { return mContext; }
    ParameterChanges& OutputChanges() { return mOutputChanges; }
    bool Use64() const { return mUse64; }

private:
    PluginInstance() = default;

    Steinberg::Vst::IComponent* mComponent = nullptr;
    Steinberg::Vst::IAudioProcessor* mProcessor = nullptr;
    Steinberg::Vst::IEditController* mController = nullptr;
    bool mSeparateController = false;
    bool mInitialised = false;

    BusLayout mLayout;
    int mInputBusCount = 1;
    bool mPrepared = false;
    bool mUse64 = false;
    Steinberg::int32 mProcessMode = Steinberg::Vst::kOffline;
    int mMaxBlock = 0;
    double mSampleRate = 48000.0;
    bool mSendContext = true;
    bool mPlaying = true;
    bool mInPlace = false;

    Steinberg::Vst::ProcessContext mContext{};
    ParameterChanges mOutputChanges;
    std::vector<std::vector<float>> mFloatIn; // main then sidechain channels
    std::vector<std::vector<float>> mFloatOut;
    std::vector<std::vector<double>> mSilence; // inputs the caller did not give
    std::vector<std::vector<double>> mOut64;   // 64-bit outputs when the caller gives none
};

} // namespace ostrel::host
