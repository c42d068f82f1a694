// A Source and a Masker processing on their own audio threads while a third
// thread does what the idle tick does (heartbeats, level and meter
// reads). Run under ThreadSanitizer it proves that the
// only things the instances share are the registry's atomics and the
// meters; in the plain build it checks that the output stays finite and the
// Masker really follows its Source while everything runs at once.
#include "masking_test_rig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace ostrel::testing
{
namespace
{

constexpr int kChunk = 512;
constexpr int kChunks = 160;

struct AudioThreadResult
{
    bool finite = true;
    int chunksDone = 0;
};

void runAudio(SpectralEngine& engine, const std::vector<double>& in, AudioThreadResult& result)
{
    std::vector<double> out0(kChunk), out1(kChunk);
    for (int c = 0; c < kChunks; ++c)
    {
        const double* p = in.data() + static_cast<size_t>(c) * kChunk;
        engine.processChunk(p, p, out0.data(), out1.data(), kChunk,
                            static_cast<int64_t>(c) * kChunk, true, nullptr, nullptr);
        for (int t = 0; t < kChunk; ++t)
            result.finite = result.finite && std::isfinite(out0[t]) && std::isfinite(out1[t]);
        ++result.chunksDone;
        // Leave the idle thread room to interleave, as a host's block period would.
        std::this_thread::yield();
    }
}

TEST(EngineConcurrency, SourceMaskerAndIdleDutiesRunAtOnce)
{
    auto registry = makeRegistry();
    auto source = makeEngineOn(*registry, kRoleSource, 2);
    auto masker = makeEngineOn(*registry, kRoleMasker, 2);

    const int n = kChunk * kChunks;
    const auto voice = vowel(n, 0.2);
    const auto pad = whiteNoise(n, 7, 0.2);

    AudioThreadResult sourceResult, maskerResult;
    std::atomic<bool> audioDone{false};
    std::atomic<int> ticks{0};
    float meterSink = 0.0f;

    std::thread idle(
        [&]
        {
            float levels[kPeerBandCount];
            while (!audioDone.load(std::memory_order_acquire))
            {
                for (SpectralEngine* e : {source.get(), masker.get()})
                {
                    heartbeat(*registry, e->handover().idleSide().link);
                    for (int k = 0; k < kBandCount; ++k)
                        meterSink += e->meters().dipDb[k] + e->meters().src[k];
                    meterSink += e->meters().nullDb;
                }
                readLevels(registry->slots[2], levels);
                ticks.fetch_add(1, std::memory_order_relaxed);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });

    std::thread sourceThread([&] { runAudio(*source, voice, sourceResult); });
    std::thread maskerThread([&] { runAudio(*masker, pad, maskerResult); });
    sourceThread.join();
    maskerThread.join();
    audioDone.store(true, std::memory_order_release);
    idle.join();

    EXPECT_EQ(sourceResult.chunksDone, kChunks);
    EXPECT_EQ(maskerResult.chunksDone, kChunks);
    EXPECT_TRUE(sourceResult.finite);
    EXPECT_TRUE(maskerResult.finite);
    EXPECT_TRUE(std::isfinite(meterSink));
    EXPECT_GT(ticks.load(), 0);
    // The Masker found its live Source through the registry.
    EXPECT_TRUE(masker->meters().linked);
    EXPECT_EQ(registry->slots[2].role.load(), kPeerRoleSource);
}

// The parameter handler may run on the main thread while the audio thread
// processes: every setting, Depth's pair among them, is read whole.
TEST(EngineConcurrency, SettingsChangeWhileAudioRuns)
{
    auto registry = makeRegistry();
    auto masker = makeEngineOn(*registry, kRoleSelf, 4);
    const int n = kChunk * kChunks;
    const auto pad = whiteNoise(n, 9, 0.2);
    AudioThreadResult result;
    std::atomic<bool> audioDone{false};
    bool depthPairsWhole = true;

    std::thread handler(
        [&]
        {
            for (int i = 0; !audioDone.load(std::memory_order_acquire); ++i)
            {
                const float f = static_cast<float>(i % 101) * 0.01f;
                masker->settings().setDepth(DepthDb{-48.0f * f, -(30.0f * f + 6.0f)});
                masker->settings().role.store(i % 7 == 0 ? kRoleMasker : kRoleSelf,
                                              std::memory_order_relaxed);
                masker->settings().selectivity.store(3.0f + static_cast<float>(i % 10),
                                                     std::memory_order_relaxed);
                masker->settings().bellFreqHz[i % kBellCount].store(200.0f + i % 5000,
                                                                    std::memory_order_relaxed);
                masker->settings().listen.store(i % 13 == 0 ? 1 : 0, std::memory_order_relaxed);
                const DepthDb d = masker->settings().depth();
                // scale = -48 f and bias = -(30 f + 6) always belong together.
                depthPairsWhole = depthPairsWhole &&
                                  std::fabs(d.biasDb - (30.0f / 48.0f * d.scaleDb - 6.0f)) < 1e-3f;
                std::this_thread::yield();
            }
        });
    std::thread audio([&] { runAudio(*masker, pad, result); });
    audio.join();
    audioDone.store(true, std::memory_order_release);
    handler.join();

    EXPECT_EQ(result.chunksDone, kChunks);
    EXPECT_TRUE(result.finite);
    EXPECT_TRUE(depthPairsWhole);
}

} // namespace
} // namespace ostrel::testing
