// What an idle tick reports to the host, and from which thread: with a host
// run loop the tick is on the main thread and calls the host at once; on the
// private timer thread (hosts without a run loop) it never calls the host:
// values reach it through the processor's output changes or at the next
// main-thread call, gesture ends and restarts at the next main-thread call.
#include "framework/iparam.h"
#include "tools/render/host/component_handler.h"
#include "tools/render/host/host_context.h"
#include "tools/render/host/parameter_changes.h"
#include "vst3/vst3_plugin.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

using namespace Steinberg;
using Call = ostrel::host::ComponentHandler::Call;

namespace
{

plugfw::Config TinyConfig()
{
    plugfw::Config c;
    c.nParams = 2;
    c.nPresets = 1;
    c.channelIOStr = "2-2";
    c.pluginName = "Tiny";
    c.latency = 16;
    return c;
}

// A plug-in whose first idle tick runs a given action.
class TickingPlugin : public plugfw::Vst3Plugin
{
public:
    explicit TickingPlugin(std::function<void(TickingPlugin&)> action)
        : Vst3Plugin(TinyConfig()), mAction(std::move(action))
    {
        GetParam(0)->DefineDouble("A", 0.0, 0.0, 100.0, 0.1);
        GetParam(1)->DefineDouble("B", 0.0, 0.0, 100.0, 0.1);
    }

    void IdleTick() override
    {
        if (!ticked.exchange(true))
        {
            tickThread = std::this_thread::get_id();
            mAction(*this);
            acted = true;
        }
    }

    std::atomic<bool> ticked{false};
    std::atomic<bool> acted{false};
    std::thread::id tickThread;

private:
    std::function<void(TickingPlugin&)> mAction;
};

bool WaitFor(const std::atomic<bool>& flag)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag.load())
    {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class DeferredHostCalls : public ::testing::Test
{
protected:
    // Creates and initialises the plug-in; `runLoop` says whether the host
    // context offers one.
    void Make(std::function<void(TickingPlugin&)> action, bool runLoop)
    {
        context = std::make_unique<ostrel::host::HostContext>("tests", runLoop);
        plugin = new TickingPlugin(std::move(action));
        plugin->setComponentHandler(&handler);
        ASSERT_EQ(plugin->initialize(context.get()), kResultOk);
    }
    void TearDown() override
    {
        if (plugin)
        {
            plugin->terminate();
            plugin->release();
        }
    }
    // One silent stereo block with output changes.
    void ProcessBlock(ostrel::host::ParameterChanges& out)
    {
        Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, 64, 48000.0};
        plugin->setupProcessing(setup);
        std::vector<float> l(64), r(64), ol(64), orr(64);
        float* ins[2] = {l.data(), r.data()};
        float* outs[2] = {ol.data(), orr.data()};
        Vst::AudioBusBuffers in{}, o{};
        in.numChannels = o.numChannels = 2;
        in.channelBuffers32 = ins;
        o.channelBuffers32 = outs;
        Vst::ProcessData data{};
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = 64;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &o;
        data.outputParameterChanges = &out;
        EXPECT_EQ(plugin->process(data), kResultOk);
    }
    std::vector<ostrel::host::ComponentHandler::Record> Calls() { return handler.Records(); }

    std::unique_ptr<ostrel::host::HostContext> context;
    ostrel::host::ComponentHandler handler;
    TickingPlugin* plugin = nullptr;
    const std::thread::id mainThread = std::this_thread::get_id();
};

void EditFromTheTick(TickingPlugin& p)
{
    p.BeginHostEdit(0);
    p.SetParamFromEditor(0, 0.25);
    p.EndHostEdit(0);
    p.SetLatency(42);
}

TEST_F(DeferredHostCalls, PrivateTickCallsNoHostAndTheValueLeavesWithTheNextBlock)
{
    Make(EditFromTheTick, false);
    ASSERT_TRUE(WaitFor(plugin->acted));
    EXPECT_NE(plugin->tickThread, mainThread);
    // The plug-in took the value at once.
    EXPECT_DOUBLE_EQ(plugin->GetParam(0)->Value(), 25.0);
    EXPECT_TRUE(Calls().empty());

    ostrel::host::ParameterChanges out;
    ProcessBlock(out);
    Vst::ParamValue v = -1.0;
    ASSERT_TRUE(out.Last(0, v));
    EXPECT_DOUBLE_EQ(v, 0.25);
    ostrel::host::ParameterChanges again;
    ProcessBlock(again);
    EXPECT_EQ(again.getParameterCount(), 0);

    // The next main-thread call brings the restart; the value went already.
    plugin->setParamNormalized(1, 0.5);
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].call, Call::Restart);
    EXPECT_EQ(calls[0].id, static_cast<Vst::ParamID>(Vst::kLatencyChanged));
    EXPECT_EQ(calls[0].thread, mainThread);
}

TEST_F(DeferredHostCalls, WithoutAudioTheValueArrivesAsACompleteGesture)
{
    Make(EditFromTheTick, false);
    ASSERT_TRUE(WaitFor(plugin->acted));
    Vst::String128 unused{};
    plugin->getParamStringByValue(0, 0.5, unused); // not a delivery point
    EXPECT_TRUE(Calls().empty());
    plugin->setParamNormalized(1, 0.5);
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].call, Call::Begin);
    EXPECT_EQ(calls[1].call, Call::Perform);
    EXPECT_DOUBLE_EQ(calls[1].value, 0.25);
    EXPECT_EQ(calls[2].call, Call::End);
    EXPECT_EQ(calls[3].call, Call::Restart);
    for (const auto& c : calls)
    {
        EXPECT_EQ(c.id == 0 || c.call == Call::Restart, true);
        EXPECT_EQ(c.thread, mainThread);
    }
}

TEST_F(DeferredHostCalls, AHostRestoreReplacesValuesNotYetReported)
{
    Make(EditFromTheTick, false);
    ASSERT_TRUE(WaitFor(plugin->acted));
    // Two values and the host bypass: the project the host restores.
    std::vector<uint8_t> bytes(2 * sizeof(double) + sizeof(int32));
    const double values[2] = {10.0, 20.0};
    std::memcpy(bytes.data(), values, sizeof(values));
    IPtr<MemoryStream> stream =
        owned(new MemoryStream(bytes.data(), static_cast<TSize>(bytes.size())));
    EXPECT_EQ(plugin->setState(stream), kResultOk);
    EXPECT_DOUBLE_EQ(plugin->GetParam(0)->Value(), 10.0);
    for (const auto& c : Calls())
        EXPECT_EQ(c.call, Call::Restart) << "the tick's 0.25 would only be undone";
    ostrel::host::ParameterChanges out;
    ProcessBlock(out);
    EXPECT_EQ(out.getParameterCount(), 0);
}

TEST_F(DeferredHostCalls, EndWithoutAnOpenGestureIsDropped)
{
    Make([](TickingPlugin& p) { p.EndHostEdit(0); }, false);
    ASSERT_TRUE(WaitFor(plugin->acted));
    plugin->setParamNormalized(1, 0.5);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(DeferredHostCalls, OpenGestureEndedByAPrivateTickIsClosedOnTheMainThread)
{
    std::atomic<bool> begun{false};
    Make(
        [&](TickingPlugin& p)
        {
            if (begun.load())
                p.EndHostEdit(0);
        },
        false);
    // Begin on the main thread before the first tick acts.
    {
        const auto lock = plugin->LockMainThread();
        plugin->BeginHostEdit(0);
        begun = true;
        // Let the tick run again if it already passed: reset its latch.
        plugin->ticked = false;
        plugin->acted = false;
    }
    ASSERT_TRUE(WaitFor(plugin->acted));
    auto calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].call, Call::Begin);
    plugin->setParamNormalized(1, 0.5);
    calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].call, Call::End);
    EXPECT_EQ(calls[1].id, 0u);
    EXPECT_EQ(calls[1].thread, mainThread);
}

TEST_F(DeferredHostCalls, RunLoopTicksReportAtOnce)
{
    Make(EditFromTheTick, true);
    EXPECT_EQ(context->RunLoop().TimerCount(), 1u);
    context->RunLoop().Advance(20.0);
    ASSERT_TRUE(plugin->acted.load());
    EXPECT_EQ(plugin->tickThread, mainThread);
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].call, Call::Begin);
    EXPECT_EQ(calls[1].call, Call::Perform);
    EXPECT_EQ(calls[2].call, Call::End);
    EXPECT_EQ(calls[3].call, Call::Restart);
}

TEST_F(DeferredHostCalls, TerminateStopsTheTicks)
{
    Make([](TickingPlugin&) {}, true);
    plugin->terminate();
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
    context->RunLoop().Advance(100.0);
    EXPECT_FALSE(plugin->ticked.load());
}

} // namespace
