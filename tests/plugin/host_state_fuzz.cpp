// libFuzzer target: what a host can hand the plug-in through its VST 3
// interfaces. Each input is a state stream for setState, then parameter
// changes and one process call whose block size and samples come from the
// remaining bytes, while the instance's own timer ticks; a Source instance on
// the same channel keeps publishing beside it. Afterwards the state must read back and the
// output must be finite wherever the input was.
#include "plugin/ostrel.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Steinberg;

namespace
{

constexpr int kMaxBlock = 1024;

ostrel::Ostrel& Prepared(ostrel::Ostrel*& slot)
{
    if (slot == nullptr)
    {
        slot = new ostrel::Ostrel();
        slot->initialize(nullptr);
        Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample64, kMaxBlock, 48000.0};
        slot->setupProcessing(setup);
        slot->activateBus(Vst::kAudio, Vst::kInput, 0, true);
        slot->activateBus(Vst::kAudio, Vst::kOutput, 0, true);
        slot->setActive(true);
        slot->setProcessing(true);
    }
    return *slot;
}

void UsePrivateDataFolder()
{
    static const bool done = []
    {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("ostrel-state-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        return true;
    }();
    (void)done;
}

// Reads bytes off the front of the input.
struct Reader
{
    const uint8_t* data;
    size_t size;

    uint8_t Byte() { return size > 0 ? (--size, *data++) : 0; }
    double Unit() { return Byte() / 255.0; }
};

// A sample that is not ordinary (non-finite or absurdly loud) may come out
// again, latency samples later (the host bypass hands it back as it came), so
// only outputs after a long enough run of ordinary input must be finite.
constexpr long kCleanRunNeeded = 1264 + 4096;

bool Ordinary(double x)
{
    return std::fabs(x) <= 1e4;
}

// Runs one block through `p` with the given samples (64-bit, stereo);
// returns false when an output that must be finite is not.
bool ProcessBlock(ostrel::Ostrel& p, std::vector<double>& left, std::vector<double>& right, int n,
                  long* cleanRun)
{
    std::vector<double> outLeft(static_cast<size_t>(n)), outRight(static_cast<size_t>(n));
    double* in[2] = {left.data(), right.data()};
    double* out[2] = {outLeft.data(), outRight.data()};
    Vst::AudioBusBuffers inBus{};
    inBus.numChannels = 2;
    inBus.channelBuffers64 = in;
    Vst::AudioBusBuffers outBus{};
    outBus.numChannels = 2;
    outBus.channelBuffers64 = out;
    Vst::ProcessData data{};
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = Vst::kSample64;
    data.numSamples = n;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    // Read before processing: a host may process in place.
    std::vector<long> clean(static_cast<size_t>(n));
    for (int t = 0; t < n; ++t)
    {
        const size_t i = static_cast<size_t>(t);
        if (cleanRun != nullptr)
            *cleanRun = Ordinary(left[i]) && Ordinary(right[i]) ? *cleanRun + 1 : 0;
        clean[i] = cleanRun != nullptr ? *cleanRun : 0;
    }
    p.process(data);
    if (cleanRun == nullptr)
        return true;
    for (int t = 0; t < n; ++t)
    {
        const size_t i = static_cast<size_t>(t);
        if (clean[i] >= kCleanRunNeeded &&
            !(std::isfinite(outLeft[i]) && std::isfinite(outRight[i])))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UsePrivateDataFolder();
    static ostrel::Ostrel* target = nullptr;
    static ostrel::Ostrel* source = nullptr;
    ostrel::Ostrel& p = Prepared(target);
    ostrel::Ostrel& s = Prepared(source);
    s.setParamNormalized(0, 1.0 / 3.0); // Role: Source

    Reader in{data, size};
    // The first byte says how much of the input is the state stream.
    const size_t stateBytes = std::min(in.size, static_cast<size_t>(in.Byte()) * 4);
    IPtr<MemoryStream> stream = owned(new MemoryStream(
        const_cast<char*>(reinterpret_cast<const char*>(in.data)), static_cast<TSize>(stateBytes)));
    in.data += stateBytes;
    in.size -= stateBytes;
    p.setState(stream);

    // A few parameter values straight from the controller side.
    const int changes = in.Byte() % 8;
    for (int i = 0; i < changes; ++i)
    {
        const Vst::ParamID id = in.Byte() % 32;
        p.setParamNormalized(id, in.Unit());
    }

    // One block of samples from the rest (with the odd huge or non-finite one).
    const int n = 1 + in.Byte() * 4 % kMaxBlock;
    std::vector<double> left(static_cast<size_t>(n)), right(static_cast<size_t>(n));
    for (int t = 0; t < n; ++t)
    {
        const uint8_t b = in.Byte();
        double v = (b - 128) / 128.0;
        if (b == 255)
            v = 1e200;
        else if (b == 254)
            v = std::nan("");
        left[static_cast<size_t>(t)] = v;
        right[static_cast<size_t>(t)] = -v;
    }
    std::vector<double> sourceLeft(static_cast<size_t>(n), 0.25), sourceRight = sourceLeft;
    static long cleanRun = 0;
    ProcessBlock(s, sourceLeft, sourceRight, n, nullptr);
    if (!ProcessBlock(p, left, right, n, &cleanRun))
        std::abort(); // a long run of ordinary input gave non-finite output

    // Whatever was restored must read back as a state.
    IPtr<MemoryStream> saved = owned(new MemoryStream);
    if (p.getState(saved) != kResultOk)
        std::abort();
    return 0;
}
