// Host calls that some hosts make on their audio thread (setupProcessing,
// setProcessing, setActive) never wait while an idle tick's file write waits
// for the disk: the write is made outside the instance's lock.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "storage/user_files.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace
{

// A disk that takes its time: while held, every fsync of this program waits
// until released (the file store flushes each write with fsync).
struct SlowDisk
{
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    int waiting = 0;
} gDisk;

} // namespace

extern "C" int fsync(int fd)
{
    {
        std::unique_lock<std::mutex> lock(gDisk.mutex);
        ++gDisk.waiting;
        gDisk.changed.notify_all();
        gDisk.changed.wait(lock, [] { return !gDisk.held; });
        --gDisk.waiting;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return real != nullptr ? real(fd) : 0;
}

namespace
{

using namespace ostrel;
using namespace std::chrono_literals;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using ostrel_test::RecordingWebView;

struct HostCallCase
{
    const char* label;
    std::function<Steinberg::tresult(RecordingOstrel&)> call;
};

class IdleFileWorkConcurrency : public OstrelPageTest,
                                public ::testing::WithParamInterface<HostCallCase>
{
protected:
    void TearDown() override
    {
        Release();
        OstrelPageTest::TearDown();
    }
    static void Hold()
    {
        std::lock_guard<std::mutex> lock(gDisk.mutex);
        gDisk.held = true;
    }
    static void Release()
    {
        std::lock_guard<std::mutex> lock(gDisk.mutex);
        gDisk.held = false;
        gDisk.changed.notify_all();
    }
    // Waits (up to a generous limit) until a write is stuck in fsync.
    static bool WriteStuck()
    {
        std::unique_lock<std::mutex> lock(gDisk.mutex);
        return gDisk.changed.wait_for(lock, 10s, [] { return gDisk.waiting > 0; });
    }
};

TEST_P(IdleFileWorkConcurrency, AudioThreadHostCallDoesNotWaitForALastStateWrite)
{
    RecordingOstrel& p = NewInstance();
    // No run loop: the private thread ticks, as in hosts that offer none.
    ASSERT_EQ(p.initialize(nullptr), Steinberg::kResultOk);
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample32, 256,
                                       48000.0};
    ASSERT_EQ(p.setupProcessing(setup), Steinberg::kResultOk);
    Hold();
    {
        const auto lock = p.LockMainThread();
        p.OpenEditor();
        p.SetParamFromEditor(kParamDepth, 0.5); // the last state is saved within 20 ticks
    }
    ASSERT_TRUE(WriteStuck());

    std::future<Steinberg::tresult> call =
        std::async(std::launch::async, [&] { return GetParam().call(p); });
    const bool answered = call.wait_for(2s) == std::future_status::ready;
    Release();
    EXPECT_TRUE(answered) << GetParam().label << " waited for the file write";
    EXPECT_EQ(call.get(), Steinberg::kResultOk);
    {
        const auto lock = p.LockMainThread();
        p.CloseEditor();
    }
    p.terminate();
}

INSTANTIATE_TEST_SUITE_P(Calls, IdleFileWorkConcurrency,
                         ::testing::Values(HostCallCase{"setProcessing", [](RecordingOstrel& p)
                                                        { return p.setProcessing(false); }},
                                           HostCallCase{"setupProcessing",
                                                        [](RecordingOstrel& p)
                                                        {
                                                            Steinberg::Vst::ProcessSetup setup{
                                                                Steinberg::Vst::kRealtime,
                                                                Steinberg::Vst::kSample32, 512,
                                                                44100.0};
                                                            return p.setupProcessing(setup);
                                                        }},
                                           HostCallCase{"setActive", [](RecordingOstrel& p)
                                                        { return p.setActive(true); }}),
                         [](const auto& info) { return std::string(info.param.label); });

using IdleFileWork = OstrelPageTest;

// A refresh between the page's save and its write shows the saved presets.
TEST_F(IdleFileWork, PresetsSavedByThePageReachTheNextRefreshBeforeTheyAreWritten)
{
    RecordingOstrel& p = NewInstance();
    RecordingWebView& web = p.OpenEditor();
    const std::string text = R"([{"name":"A"}])";
    p.OnEditorMessage(kTagSavePresets, 0, static_cast<int>(text.size()), text.data());
    EXPECT_EQ(ReadPresetsFile(), "") << "not written under the lock";
    p.ContentLoaded(); // another page load before the tick is over
    web.scripts.clear();
    p.IdleTick(); // the files are not read yet: the refresh waits
    EXPECT_TRUE(web.MessagesWithTag(kTagPresets).empty());
    p.Ticks(1);
    const auto presets = web.MessagesWithTag(kTagPresets);
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_NE(presets[0].text.find('A'), std::string::npos) << presets[0].text;
    EXPECT_EQ(ReadPresetsFile(), text);
}

} // namespace
