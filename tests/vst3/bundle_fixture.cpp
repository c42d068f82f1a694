#include "bundle_fixture.h"

#include "plugin/ostrel.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#ifndef OSTREL_TEST_BUNDLE
#error "OSTREL_TEST_BUNDLE must name the built bundle"
#endif

using namespace Steinberg;

namespace ostrel::test
{

namespace
{
// Host entry points called on a thread the VST 3 rules do not allow abort
// the test program (vst3/host_thread_check.h): set before any instance
// exists, for the bundle's instances and the ones made here alike.
const bool kHostThreadsChecked = setenv("OSTREL_CHECK_HOST_THREADS", "1", 1) == 0;
} // namespace

host::Vst3Module& Bundle()
{
    static host::Vst3Module module;
    static const bool loaded = []
    {
        // Whatever the instances might store goes to a private folder, never
        // to the user's own.
        static char folder[] = "/tmp/ostrel-vst3-test-XXXXXX";
        if (mkdtemp(folder))
        {
            setenv("XDG_CONFIG_HOME", folder, 1);
            std::atexit([] { std::system((std::string("rm -rf '") + folder + "'").c_str()); });
        }
        std::string error;
        const bool ok = module.Load(OSTREL_TEST_BUNDLE, error);
        if (!ok)
            ADD_FAILURE() << error;
        return ok;
    }();
    (void)loaded;
    return module;
}

IPluginFactory* Factory()
{
    return Bundle().Factory();
}

Instance::Instance(const std::string& hostName, bool offerRunLoop, bool handlerGroupsEdits)
    : mContext(std::make_unique<host::HostContext>(hostName, offerRunLoop)),
      mHandler(handlerGroupsEdits)
{
    std::string error;
    mInstance = host::PluginInstance::Create(Factory(), 0, mContext.get(), error);
    if (!mInstance)
        throw std::runtime_error(error);
    mInstance->Controller()->setComponentHandler(&mHandler);
}

Instance::~Instance()
{
    mInstance.reset();
}

std::vector<uint8_t> Instance::GetState()
{
    IPtr<MemoryStream> stream = owned(new MemoryStream);
    EXPECT_EQ(mInstance->Component()->getState(stream), kResultOk);
    const auto size = static_cast<size_t>(stream->getSize());
    const auto* data = reinterpret_cast<const uint8_t*>(stream->getData());
    return std::vector<uint8_t>(data, data + size);
}

tresult Instance::SetState(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> copy = bytes;
    IPtr<MemoryStream> stream =
        owned(new MemoryStream(copy.data(), static_cast<TSize>(copy.size())));
    return mInstance->Component()->setState(stream);
}

void Instance::Prepare(int channels, int block, bool use64)
{
    mBlock = block;
    std::string error;
    host::BusLayout layout;
    layout.mainIn = channels;
    layout.out = channels;
    ASSERT_TRUE(mInstance->SetBusLayout(layout, error)) << error;
    ASSERT_TRUE(mInstance->Prepare(48000.0, block, use64, error)) << error;
}

void Instance::PrepareLayout(const host::BusLayout& layout, Arranging arranging, int block,
                             bool use64)
{
    mBlock = block;
    std::string error;
    if (arranging == Arranging::SendAsIs)
        mInstance->SendLayoutAsIs(layout);
    else
        ASSERT_TRUE(
            mInstance->SetBusLayout(layout, error, arranging == Arranging::ActivateThenArrange))
            << error;
    ASSERT_TRUE(mInstance->Prepare(48000.0, block, use64, error)) << error;
}

std::vector<std::vector<double>> Instance::Run(const std::vector<std::vector<double>>& input,
                                               host::ParameterChanges* firstChanges,
                                               const std::vector<std::vector<double>>* sidechain)
{
    const auto frames = static_cast<long>(input[0].size());
    const auto outChannels = static_cast<size_t>(mInstance->Layout().out);
    std::vector<std::vector<double>> output(outChannels,
                                            std::vector<double>(static_cast<size_t>(frames)));
    for (long start = 0; start < frames; start += mBlock)
    {
        const int n = static_cast<int>(std::min<long>(mBlock, frames - start));
        std::vector<const double*> ins;
        std::vector<const double*> sides;
        std::vector<double*> outs;
        for (const auto& channel : input)
            ins.push_back(channel.data() + start);
        if (sidechain)
            for (const auto& channel : *sidechain)
                sides.push_back(channel.data() + start);
        for (auto& channel : output)
            outs.push_back(channel.data() + start);
        EXPECT_EQ(mInstance->Process(ins.data(), sidechain ? sides.data() : nullptr, outs.data(), n,
                                     start == 0 ? firstChanges : nullptr),
                  kResultOk);
        mContext->RunLoop().Advance(1000.0 * n / 48000.0);
    }
    return output;
}

Ostrel& PluginObject(Instance& plugin)
{
    return *static_cast<Ostrel*>(plugin->Processor());
}

tresult SendTrackContext(Instance& plugin, const char16_t* name, int64 index)
{
    namespace Context = Vst::ChannelContext;
    FUnknownPtr<Context::IInfoListener> listener(plugin->Controller());
    EXPECT_TRUE(listener);
    if (!listener)
        return kNoInterface;
    IPtr<Vst::HostAttributeList> list = owned(new Vst::HostAttributeList);
    if (name)
    {
        int64 length = 0;
        while (name[length] != 0)
            ++length;
        list->setInt(Context::kChannelNameLengthKey, length);
        list->setString(Context::kChannelNameKey, reinterpret_cast<const Vst::TChar*>(name));
    }
    list->setInt(Context::kChannelIndexKey, index);
    list->setInt(Context::kChannelColorKey, 0xFF336699);
    return listener->setChannelContextInfos(list);
}

std::vector<std::vector<double>> TestSignal(int channels, int frames, unsigned seed)
{
    std::vector<std::vector<double>> x(static_cast<size_t>(channels),
                                       std::vector<double>(static_cast<size_t>(frames)));
    uint32_t state = seed * 747796405u + 1u;
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
        {
            state = state * 1664525u + 1013904223u;
            const double noise = static_cast<double>(state >> 8) / (1u << 24) - 0.5;
            // Values exact in 32-bit floats, so 32-bit runs can be compared
            // bit for bit.
            const double v = 0.3 * noise + 0.2 * std::sin(0.01 * i * (c + 1));
            x[static_cast<size_t>(c)][static_cast<size_t>(i)] = static_cast<float>(v);
        }
    return x;
}

double DoubleAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    double v = 0.0;
    std::memcpy(&v, bytes.data() + offset, sizeof(v));
    return v;
}

int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    int32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, sizeof(v));
    return v;
}

std::vector<uint8_t> StateOf(const std::vector<double>& values, const int32_t* bypass)
{
    std::vector<uint8_t> bytes(values.size() * 8 + (bypass ? 4 : 0));
    std::memcpy(bytes.data(), values.data(), values.size() * 8);
    if (bypass)
        std::memcpy(bytes.data() + values.size() * 8, bypass, 4);
    return bytes;
}

} // namespace ostrel::test
