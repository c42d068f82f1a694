// Sixteen instances of the bundle in one process, driven all at once the way
// a busy session drives them. Audio threads process blocks without pause
// (Off, Source, Masker and Self on three shared channels, 32- and 64-bit
// samples, blocks of every length up to each setup's maximum), while the main
// thread, in a seeded random order, changes parameters through the
// controller and through the processor's queue, copies states, posts the
// pages' messages (matrix edits, solo, gestures, presets), renames tracks,
// opens and closes editors, restarts processing (or has the audio thread
// restart it, as some hosts do) and replaces instances. Half the instances
// tick on the host's run loop, half on their private timer.
// The test command runs it under ThreadSanitizer for a minute:
// OSTREL_STRESS_SECONDS sets the length (3 s by default), OSTREL_STRESS_SEED
// the main thread's order.
#include "bundle_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "framework/base64.h"
#include "framework/iweb_view.h"
#include "framework/spsc_queue.h"
#include "link/peer_registry.h"
#include "plugin/ostrel.h"
#include "tools/render/host/plug_frame.h"

#include "pluginterfaces/gui/iplugview.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

constexpr int kLanes = 16;
constexpr int kAudioThreads = 4;
constexpr int kSignalFrames = 1 << 15;
constexpr int kLongestBlock = 2048;
constexpr auto kRelaxed = std::memory_order_relaxed;
using Clock = std::chrono::steady_clock;

double FromEnvironment(const char* name, double fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtod(text, nullptr) : fallback;
}

// Processing setups a lane starts with and is switched between.
struct ProcessingSetup
{
    host::BusLayout layout;
    double sampleRate;
    int maxBlock;
    bool use64;
    int32 mode;
};

const ProcessingSetup kSetups[] = {
    {{2, 0, 2}, 48000.0, 256, false, Vst::kRealtime},
    {{1, 0, 1}, 44100.0, 1024, true, Vst::kRealtime},
    {{2, 2, 2}, 48000.0, 512, false, Vst::kRealtime},
    {{2, 0, 2}, 96000.0, kLongestBlock, true, Vst::kOffline},
    {{1, 1, 1}, 48000.0, 64, false, Vst::kRealtime},
    {{2, 2, 2}, 44100.0, 333, true, Vst::kPrefetch},
};

// Stops processing and starts it again with `setup`, from the thread that
// processes the instance (or while that thread leaves it alone).
bool Restart(host::PluginInstance& plugin, const ProcessingSetup& setup, bool playing)
{
    plugin.Stop();
    plugin.SetPlaying(playing);
    std::string error;
    return plugin.SetBusLayout(setup.layout, error) &&
           plugin.Prepare(setup.sampleRate, setup.maxBlock, setup.use64, error, setup.mode);
}

const char16_t* const kTrackNames[] = {
    u"Lead Vocal",
    u"Gtr 1",
    u"",
    u"Chœur été \U0001F3A4",
    u"A track name much longer than any slot keeps",
    u"Keys",
};

// Who may touch a lane's instance: its audio thread takes it for one block
// at a time (Ready -> Processing -> Ready); the main thread holds it (Ready
// -> Held) to restart processing or replace the instance, as a host stops a
// track's audio before either.
enum LaneState : int
{
    kHeld,
    kReady,
    kProcessing,
};

struct Change
{
    Vst::ParamID id = 0;
    double value = 0.0;
};

// What the main thread posts to an open editor's page. The page's stand-in
// hands it to the plug-in at the instance's next tick, on whichever thread
// ticks, as the browser's own events arrive.
struct PagePost
{
    std::mutex mutex;
    bool loaded = false;
    std::vector<std::string> messages;
};

// The browser of an open editor: there is no display to show a real one.
class PageStandIn final : public plugfw::WebViewBackend
{
public:
    PageStandIn(plugfw::IWebView& view, std::shared_ptr<PagePost> post)
        : mView(view), mPost(std::move(post))
    {
    }
    void EvaluateScript(const std::string& /*script*/) override {}
    void Poll() override
    {
        bool loaded = false;
        std::vector<std::string> messages;
        {
            std::lock_guard<std::mutex> lock(mPost->mutex);
            loaded = std::exchange(mPost->loaded, false);
            messages.swap(mPost->messages);
        }
        if (loaded)
            mView.OnWebContentLoaded();
        for (const std::string& message : messages)
            mView.OnWebMessage(message);
    }

private:
    plugfw::IWebView& mView;
    std::shared_ptr<PagePost> mPost;
};

struct Lane
{
    bool privateTimer = false;
    std::unique_ptr<Instance> plugin;
    int maxBlock = 0; // of the running setup
    std::atomic<int> state{kHeld};
    // A restart the audio thread makes itself, as some hosts do.
    std::atomic<const ProcessingSetup*> audioRestart{nullptr};
    plugfw::SpscQueue<Change, 64> queue; // the processor's parameter changes
    std::atomic<long> blocks{0};
    // The open editor.
    IPlugView* view = nullptr;
    std::unique_ptr<host::PlugFrame> frame;
    std::shared_ptr<PagePost> page;
};

// A product message as the page posts it (its bytes in base64).
std::string ProductMessage(int tag, const std::string& text)
{
    return R"({"msg":"SAMFUI","ctrlTag":-1,"msgTag":)" + std::to_string(tag) + R"(,"data":")" +
           plugfw::Base64Encode(reinterpret_cast<const uint8_t*>(text.data()), text.size()) +
           R"("})";
}

class SessionConcurrency : public ::testing::Test
{
protected:
    using Rng = std::mt19937;

    struct Action
    {
        const char* name;
        int weight;
        void (SessionConcurrency::*run)();
    };
    static const Action kActions[];

    // --- the audio threads ---------------------------------------------------

    void AudioThread(int index)
    {
        Rng rng(mSeed + 1u + static_cast<unsigned>(index));
        const auto input = TestSignal(2, kSignalFrames, static_cast<unsigned>(index) + 1);
        const auto sidechain = TestSignal(2, kSignalFrames, static_cast<unsigned>(index) + 101);
        std::vector<std::vector<double>> output(2, std::vector<double>(kLongestBlock));
        host::ParameterChanges changes;
        int at = 0;
        while (!mStop.load(kRelaxed))
        {
            bool processed = false;
            for (int i = index; i < kLanes; i += kAudioThreads)
            {
                Lane& lane = mLanes[static_cast<size_t>(i)];
                int ready = kReady;
                if (!lane.state.compare_exchange_strong(ready, kProcessing,
                                                        std::memory_order_acquire))
                    continue;
                if (const ProcessingSetup* setup = lane.audioRestart.exchange(nullptr))
                {
                    if (!Restart(**lane.plugin, *setup, rng() % 4 != 0))
                        mProcessErrors.fetch_add(1, kRelaxed);
                    lane.maxBlock = setup->maxBlock;
                }
                const int n = 1 + static_cast<int>(rng() % static_cast<unsigned>(lane.maxBlock));
                if (at + n > kSignalFrames)
                    at = 0;
                changes.Clear();
                int32 offset = 0;
                for (Change c; lane.queue.Pop(c); offset = std::min(offset + 1, n - 1))
                    changes.Add(c.id, offset, c.value);
                const double* in[2] = {input[0].data() + at, input[1].data() + at};
                const double* side[2] = {sidechain[0].data() + at, sidechain[1].data() + at};
                double* out[2] = {output[0].data(), output[1].data()};
                if ((*lane.plugin)->Process(in, side, out, n, &changes) != kResultOk)
                    mProcessErrors.fetch_add(1, kRelaxed);
                const int channels = (*lane.plugin)->Layout().out;
                for (int c = 0; c < channels; ++c)
                    if (!std::all_of(out[c], out[c] + n, [](double v) { return std::isfinite(v); }))
                        mNonFinite.fetch_add(1, kRelaxed);
                lane.blocks.fetch_add(1, kRelaxed);
                lane.state.store(kReady, std::memory_order_release);
                at += n;
                processed = true;
            }
            if (!processed)
                std::this_thread::yield();
        }
    }

    // --- lanes -----------------------------------------------------------------

    void Hold(Lane& lane)
    {
        for (int ready = kReady;
             !lane.state.compare_exchange_weak(ready, kHeld, std::memory_order_acquire);
             ready = kReady)
            std::this_thread::yield();
    }

    // Applies a setup to a held lane and hands it to its audio thread.
    void Start(Lane& lane, const ProcessingSetup& setup)
    {
        Check(Restart(**lane.plugin, setup, mRng() % 4 != 0), "processing starts");
        lane.maxBlock = setup.maxBlock;
        lane.state.store(kReady, std::memory_order_release);
    }

    void NewInstance(Lane& lane)
    {
        lane.plugin = std::make_unique<Instance>("ostrel-stress", !lane.privateTimer);
    }

    Lane& RandomLane() { return mLanes[mRng() % kLanes]; }
    const ProcessingSetup& RandomSetup() { return kSetups[mRng() % std::size(kSetups)]; }

    // --- parameters --------------------------------------------------------------

    // Role and Channel come up often, so that the copied states do not leave
    // every lane with the same role.
    Vst::ParamID RandomParam()
    {
        if (mRng() % 3 == 0)
            return mRng() % 2 ? kRole : kChannel;
        const auto id = static_cast<Vst::ParamID>(mRng() % (kParamCount + 1));
        return id == kParamCount ? kHostBypassId : id;
    }

    // A value a host might send: roles and channels that keep Sources,
    // Maskers and Self on the same three channels, switches that silence the
    // link mostly off.
    double RandomValue(Vst::ParamID id)
    {
        switch (id)
        {
        case kRole:
            return static_cast<double>(mRng() % 4) / 3.0;
        case kChannel:
            return static_cast<double>(mRng() % 3) / 63.0;
        case kBypass:
        case kListen:
        case kSidechain:
        case kHostBypassId:
            return mRng() % 8 == 0 ? 1.0 : 0.0;
        default:
            return std::uniform_real_distribution<double>(0.0, 1.0)(mRng);
        }
    }

    // --- the main thread's actions ------------------------------------------------

    void ControllerParameter()
    {
        Lane& lane = RandomLane();
        const Vst::ParamID id = RandomParam();
        Check((*lane.plugin)->Controller()->setParamNormalized(id, RandomValue(id)) == kResultTrue,
              "the controller takes a value");
        Check(std::isfinite((*lane.plugin)->Controller()->getParamNormalized(id)),
              "the controller gives a finite value back");
    }

    void QueuedParameter()
    {
        Lane& lane = RandomLane();
        for (unsigned k = 1 + mRng() % 3; k > 0; --k)
        {
            const Vst::ParamID id = RandomParam();
            lane.queue.Push({id, RandomValue(id)}); // a full queue drops, as hosts do
        }
    }

    void CopyState()
    {
        const std::vector<uint8_t> state = RandomLane().plugin->GetState();
        {
            // A run loop that never turns: no tick disturbs the copy.
            Instance fresh("ostrel-stress");
            Check(fresh.SetState(state) == kResultOk && fresh.GetState() == state,
                  "a state round-trips through a fresh instance");
        }
        Check(RandomLane().plugin->SetState(state) == kResultOk,
              "a running instance takes a copied state");
    }

    void PageMessage()
    {
        std::vector<Lane*> open;
        for (Lane& lane : mLanes)
            if (lane.page)
                open.push_back(&lane);
        if (open.empty())
        {
            Lane& lane = RandomLane();
            OpenEditor(lane);
            open.push_back(&lane);
        }
        Lane& lane = *open[mRng() % open.size()];
        // Rows of the matrix: the Sources' channels, and the Maskers' slots,
        // which they take from the top.
        const std::string row = std::to_string(mRng() % 2 ? 1 + mRng() % 3 : 64 - mRng() % 8);
        const std::string param = std::to_string(mRng() % kParamCount);
        const std::string number = std::to_string(mRng() % 101);
        std::string message;
        switch (mRng() % 8)
        {
        case 0:
            message = ProductMessage(kTagMatrixEdit,
                                     R"({"ch":)" + row + R"(,"depth":1,"v":)" + number + "}");
            break;
        case 1:
            message = ProductMessage(kTagMatrixEdit, R"({"ch":)" + row + R"(,"pri":1,"v":)" +
                                                         std::to_string(1 + mRng() % 8) + "}");
            break;
        case 2:
            message = ProductMessage(kTagMatrixEdit, R"({"ch":)" + row + R"(,"mute":1,"v":)" +
                                                         std::to_string(mRng() % 2) + "}");
            break;
        case 3:
            message = ProductMessage(kTagSolo, R"({"ch":)" + (mRng() % 2 ? row : "-1") + "}");
            break;
        case 4:
            message = ProductMessage(kTagParameter, R"({"paramIdx":)" + param + R"(,"gesture":")" +
                                                        (mRng() % 2 ? "begin" : "end") + R"("})");
            break;
        case 5:
            message = R"({"msg":"SPVFUI","paramIdx":)" + param + R"(,"value":0.)" + number + "}";
            break;
        case 6:
            message = ProductMessage(kTagSavePresets,
                                     R"([{"name":"Stress )" + number + R"(","values":[0.5]}])");
            break;
        default:
            message = ProductMessage(kTagSetOnboarded, "");
            break;
        }
        std::lock_guard<std::mutex> lock(lane.page->mutex);
        lane.page->messages.push_back(std::move(message));
    }

    void RenameTrack()
    {
        Lane& lane = RandomLane();
        Check(SendTrackContext(*lane.plugin, kTrackNames[mRng() % std::size(kTrackNames)],
                               mRng() % kLanes) == kResultTrue,
              "the track's name is taken");
    }

    void OpenOrCloseEditor()
    {
        Lane& lane = RandomLane();
        if (lane.view)
            CloseEditor(lane);
        else
            OpenEditor(lane);
    }

    void RestartProcessing()
    {
        Lane& lane = RandomLane();
        const ProcessingSetup& setup = RandomSetup();
        if (mRng() % 2 == 0)
        {
            lane.audioRestart.store(&setup);
            return;
        }
        Hold(lane);
        Start(lane, setup);
    }

    void ReplaceInstance()
    {
        Lane& lane = RandomLane();
        Hold(lane);
        CloseEditor(lane);
        const std::vector<uint8_t> state = lane.plugin->GetState();
        CheckHostCalls(lane);
        NewInstance(lane);
        Check(lane.plugin->SetState(state) == kResultOk,
              "a new instance takes the old one's state");
        Start(lane, RandomSetup());
    }

    // --- editors ---------------------------------------------------------------------

    void OpenEditor(Lane& lane)
    {
        // Frames offer their run loop; for a private-timer lane sometimes not,
        // so that its ticks, and its page's messages, stay on the timer thread.
        lane.frame = std::make_unique<host::PlugFrame>(!lane.privateTimer || mRng() % 2 == 0);
        lane.view = (*lane.plugin)->Controller()->createView(Vst::ViewType::kEditor);
        Check(lane.view != nullptr, "the editor view is made");
        if (!lane.view)
            return;
        lane.view->setFrame(lane.frame.get());
        // No parent window without a display: no browser starts, and the
        // page's stand-in takes its place.
        Check(lane.view->attached(nullptr, kPlatformTypeX11EmbedWindowID) == kResultTrue,
              "the view is attached");
        Ostrel& object = PluginObject(*lane.plugin);
        lane.page = std::make_shared<PagePost>();
        lane.page->loaded = true;
        const auto lock = object.LockMainThread();
        object.AttachWebViewBackend(std::make_unique<PageStandIn>(object, lane.page));
    }

    void CloseEditor(Lane& lane)
    {
        if (!lane.view)
            return;
        Check(lane.view->removed() == kResultTrue, "the view is removed");
        lane.view->setFrame(nullptr);
        lane.view->release();
        lane.view = nullptr;
        lane.frame.reset();
        lane.page.reset();
    }

    // --- checks ----------------------------------------------------------------------

    void Check(bool ok, const char* what)
    {
        if (ok)
            return;
        if (mFaults.size() < 20)
            mFaults.emplace_back(what);
        ++mFaultCount;
    }

    // Nothing reaches the host's component handler but from its main thread.
    void CheckHostCalls(Lane& lane)
    {
        for (const auto& record : lane.plugin->Handler().Records())
            Check(record.thread == mMainThread, "the host is called from its main thread only");
        lane.plugin->Handler().ClearRecords();
    }

    // Every host run loop, by the wall time since the last turn.
    void TurnRunLoops(double ms)
    {
        for (Lane& lane : mLanes)
        {
            lane.plugin->Context().RunLoop().Advance(ms);
            if (lane.frame)
                lane.frame->RunLoop().Advance(ms);
        }
    }

    const unsigned mSeed = static_cast<unsigned>(FromEnvironment("OSTREL_STRESS_SEED", 13));
    const double mSeconds = FromEnvironment("OSTREL_STRESS_SECONDS", 3.0);
    const std::thread::id mMainThread = std::this_thread::get_id();
    Rng mRng{mSeed};
    std::array<Lane, kLanes> mLanes;
    std::atomic<bool> mStop{false};
    std::atomic<long> mNonFinite{0};
    std::atomic<long> mProcessErrors{0};
    std::vector<std::string> mFaults;
    long mFaultCount = 0;
};

const SessionConcurrency::Action SessionConcurrency::kActions[] = {
    {"controller parameter", 8, &SessionConcurrency::ControllerParameter},
    {"queued parameter", 8, &SessionConcurrency::QueuedParameter},
    {"state copy", 3, &SessionConcurrency::CopyState},
    {"page message", 6, &SessionConcurrency::PageMessage},
    {"track name", 3, &SessionConcurrency::RenameTrack},
    {"editor", 2, &SessionConcurrency::OpenOrCloseEditor},
    {"restart", 1, &SessionConcurrency::RestartProcessing},
    {"replace", 1, &SessionConcurrency::ReplaceInstance},
};

TEST_F(SessionConcurrency, AudioMainAndTimerThreadsAllAtOnce)
{
    std::cout << "stress: " << mSeconds << " s, seed " << mSeed << "\n";
    const int kRoles[] = {kRoleOff, kRoleSource, kRoleMasker, kRoleSelf};
    for (int i = 0; i < kLanes; ++i)
    {
        Lane& lane = mLanes[static_cast<size_t>(i)];
        lane.privateTimer = i % 2 == 1;
        NewInstance(lane);
        lane.queue.Push({kRole, kRoles[i % 4] / 3.0});
        lane.queue.Push({kChannel, (i % 3) / 63.0});
        lane.queue.Push({kDepth, 0.7});
        Start(lane, kSetups[static_cast<size_t>(i) % std::size(kSetups)]);
        if (i % 5 == 0)
            OpenEditor(lane);
    }
    PeerRegistry& registry =
        *PluginObject(*mLanes[0].plugin).Engine().handover().idleSide().lease.registry;

    std::vector<std::thread> audio;
    for (int t = 0; t < kAudioThreads; ++t)
        audio.emplace_back([this, t] { AudioThread(t); });

    // The actions dealt from a shuffled deck (each as often as its weight),
    // so that every kind runs in every round; at least one whole round.
    std::vector<size_t> deck;
    for (size_t a = 0; a < std::size(kActions); ++a)
        deck.insert(deck.end(), static_cast<size_t>(kActions[a].weight), a);
    std::array<long, std::size(kActions)> done{};
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(mSeconds);
    auto turned = start;
    for (size_t dealt = 0; dealt < deck.size() || Clock::now() < end; ++dealt)
    {
        if (dealt % deck.size() == 0)
            std::shuffle(deck.begin(), deck.end(), mRng);
        const Action& action = kActions[deck[dealt % deck.size()]];
        (this->*action.run)();
        ++done[static_cast<size_t>(&action - kActions)];
        const auto now = Clock::now();
        TurnRunLoops(
            std::min(std::chrono::duration<double, std::milli>(now - turned).count(), 100.0));
        turned = now;
        for (Lane& lane : mLanes)
            CheckHostCalls(lane);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    mStop = true;
    for (std::thread& thread : audio)
        thread.join();

    long blocks = 0;
    std::array<int, 4> roles{}; // Off, Source, Masker, Self at the end
    for (Lane& lane : mLanes)
    {
        CloseEditor(lane);
        CheckHostCalls(lane);
        EXPECT_GT(lane.blocks.load(), 0) << "every instance was processed";
        blocks += lane.blocks.load();
        ++roles[static_cast<size_t>(PluginObject(*lane.plugin).Engine().settings().role.load() &
                                    3)];
    }
    std::cout << "stress: " << blocks << " blocks, roles " << roles[0] << "/" << roles[1] << "/"
              << roles[2] << "/" << roles[3] << ";";
    for (size_t a = 0; a < std::size(kActions); ++a)
    {
        std::cout << " " << kActions[a].name << " " << done[a];
        EXPECT_GT(done[a], 0) << kActions[a].name;
    }
    std::cout << std::endl;
    EXPECT_EQ(mNonFinite.load(), 0) << "blocks with a sample that is not finite";
    EXPECT_EQ(mProcessErrors.load(), 0) << "blocks refused or restarts failed";
    EXPECT_EQ(mFaultCount, 0) << ::testing::PrintToString(mFaults);

    // Every instance gone: every slot it held is free again.
    for (Lane& lane : mLanes)
        lane.plugin.reset();
    for (int i = 0; i < kPeerSlotCount; ++i)
    {
        const PeerSlot& slot = registry.slots[i];
        EXPECT_EQ(slot.ownerId.load(), 0u) << "slot " << i;
        EXPECT_EQ(slot.holderCount.load(), 0) << "slot " << i;
        EXPECT_EQ(slot.role.load(), 0) << "slot " << i;
    }
    EXPECT_EQ(registry.header.liveLinks.load(), 0);
}

} // namespace
} // namespace ostrel::test
