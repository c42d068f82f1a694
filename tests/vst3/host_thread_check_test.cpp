// Host entry points on a thread the VST 3 rules do not allow abort the test
// program (the test programs ask for the checks, bundle_fixture.cpp); the
// threads the rules and real hosts do use pass.
#include "framework/iparam.h"
#include "tools/render/host/host_context.h"
#include "vst3/host_thread_check.h"
#include "vst3/vst3_plugin.h"

#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace Steinberg;
using plugfw::HostThread;
using plugfw::HostThreadCheck;

namespace
{

plugfw::Config TinyConfig()
{
    plugfw::Config c;
    c.nParams = 1;
    c.nPresets = 1;
    c.channelIOStr = "2-2";
    c.pluginName = "Tiny";
    return c;
}

// A plug-in whose idle ticks run a given action.
class Tiny : public plugfw::Vst3Plugin
{
public:
    explicit Tiny(std::function<void(Tiny&)> onTick = {})
        : Vst3Plugin(TinyConfig()), mOnTick(std::move(onTick))
    {
        GetParam(0)->DefineDouble("A", 0.0, 0.0, 100.0, 0.1);
    }
    void IdleTick() override
    {
        if (mOnTick)
            mOnTick(*this);
    }

private:
    std::function<void(Tiny&)> mOnTick;
};

void OnAnotherThread(const std::function<void()>& call)
{
    std::thread thread(call);
    thread.join();
}

// Made and initialised on the calling thread (the host's main thread);
// without a run loop the private timer thread ticks.
struct Session
{
    explicit Session(std::function<void(Tiny&)> onTick = {}, bool runLoop = true)
        : context("tests", runLoop), plugin(new Tiny(std::move(onTick)))
    {
        plugin->initialize(&context);
    }
    ~Session()
    {
        plugin->terminate();
        plugin->release();
    }
    ostrel::host::HostContext context;
    Tiny* plugin;
};

struct WrongThreadCase
{
    const char* name;
    std::function<void()> run;
    const char* message;
};

void PrintTo(const WrongThreadCase& c, std::ostream* os)
{
    *os << c.name;
}

const WrongThreadCase kWrongThreads[] = {
    {"EditorValueOffTheMainThread",
     []
     {
         Session s;
         OnAnotherThread([&] { s.plugin->setParamNormalized(0, 0.5); });
     },
     "setParamNormalized called off the host's main thread"},
    {"StateOffTheMainThread",
     []
     {
         Session s;
         IPtr<MemoryStream> stream = owned(new MemoryStream);
         OnAnotherThread([&] { s.plugin->getState(stream); });
     },
     "getState called off the host's main thread"},
    {"ViewOffTheMainThread",
     []
     {
         Session s;
         OnAnotherThread([&] { s.plugin->createView("editor"); });
     },
     "createView called off the host's main thread"},
    {"TickCallsAHostEntryPoint",
     []
     {
         // The private timer thread is one no host knows: only the plug-in
         // itself could call there.
         Session s([](Tiny& p) { p.setParamNormalized(0, 0.5); }, false);
         std::this_thread::sleep_for(std::chrono::seconds(5));
     },
     "setParamNormalized called on the plug-in's private timer thread"},
    {"EditGestureWithoutTheLock",
     []
     {
         Session s;
         s.plugin->BeginHostEdit(0);
     },
     "BeginHostEdit ran without the instance's lock"},
    {"SetupWhileABlockIsProcessed",
     []
     {
         HostThreadCheck check(nullptr);
         std::atomic<bool> inside{false};
         std::thread audio(
             [&]
             {
                 const HostThreadCheck::ProcessScope block(check);
                 inside = true;
                 std::this_thread::sleep_for(std::chrono::seconds(5));
             });
         while (!inside)
             std::this_thread::yield();
         check.Expect(HostThread::Setup, "setActive");
         audio.join();
     },
     "setActive called while a block is processed"},
    {"TwoBlocksAtOnce",
     []
     {
         HostThreadCheck check(nullptr);
         const HostThreadCheck::ProcessScope first(check);
         OnAnotherThread([&] { const HostThreadCheck::ProcessScope second(check); });
     },
     "process called while another block of the instance is processed"},
    {"MainEntryFromInsideProcess",
     []
     {
         HostThreadCheck check(nullptr);
         const HostThreadCheck::ProcessScope block(check);
         check.Expect(HostThread::Main, "setParamNormalized");
     },
     "setParamNormalized called from inside process"},
};

class HostThreadChecks : public ::testing::TestWithParam<WrongThreadCase>
{
};

TEST_P(HostThreadChecks, AbortOnAThreadTheRulesDoNotAllow)
{
    ASSERT_TRUE(HostThreadCheck::Requested());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GetParam().run(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Calls, HostThreadChecks, ::testing::ValuesIn(kWrongThreads),
                         [](const auto& info) { return std::string(info.param.name); });

// What hosts do and the rules allow: setup calls on the audio thread
// between blocks (as some hosts make them), queries from any thread,
// setProcessing while another thread processes, blocks on any one thread.
TEST(HostThreadChecks, ThreadsTheRulesAllowPass)
{
    Session s;
    Tiny& p = *s.plugin;
    OnAnotherThread(
        [&]
        {
            Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, 64, 48000.0};
            EXPECT_EQ(p.setupProcessing(setup), kResultOk);
            EXPECT_EQ(p.setActive(true), kResultOk);
            EXPECT_EQ(p.setProcessing(true), kResultOk);
            Vst::String128 text{};
            EXPECT_EQ(p.getParamStringByValue(0, 0.5, text), kResultTrue);
            EXPECT_DOUBLE_EQ(p.getParamNormalized(0), 0.0);
            EXPECT_GT(p.getLatencySamples() + 1, 0u);
        });
    HostThreadCheck check(nullptr);
    std::atomic<bool> inside{false};
    std::atomic<bool> done{false};
    std::thread audio(
        [&]
        {
            const HostThreadCheck::ProcessScope block(check);
            inside = true;
            while (!done)
                std::this_thread::yield();
        });
    while (!inside)
        std::this_thread::yield();
    check.Expect(HostThread::Any, "setProcessing");
    done = true;
    audio.join();
    const HostThreadCheck::ProcessScope onTheMainThread(check);
    {
        const auto lock = p.LockMainThread();
        p.BeginHostEdit(0);
        p.EndHostEdit(0);
    }
}

} // namespace
