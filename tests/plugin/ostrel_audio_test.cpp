// The plug-in's audio road through the framework: channel connection, the
// engine's block driver and the registry, measured at the host buffers.
#include "plugin/ostrel.h"

#include "framework/iparam.h"
#include "link/peer_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{

using ostrel::Ostrel;
using plugfw::HostAudioBus;

constexpr int kLatency = 1264;

class OstrelAudio : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin->OnParamReset(); // what the host's controller initialisation does
        plugin->SetSampleRate(48000.0);
        plugin->SetBlockSize(kBlock);
        plugin->ResetProcessing();
    }

    // Runs `blocks` blocks of a ramp through `channels` main channels (32-bit)
    // and returns output channel 0.
    std::vector<float> RunRamp(int channels, int blocks)
    {
        std::vector<float> result;
        for (int b = 0; b < blocks; ++b)
        {
            std::vector<std::vector<float>> in(channels, std::vector<float>(kBlock));
            std::vector<std::vector<float>> out(channels, std::vector<float>(kBlock, 9.0f));
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < kBlock; ++i)
                    in[ch][i] = static_cast<float>((b * kBlock + i + 1) * 1e-4 * (ch + 1));
            std::vector<float*> inPtrs, outPtrs;
            for (int ch = 0; ch < channels; ++ch)
            {
                inPtrs.push_back(in[ch].data());
                outPtrs.push_back(out[ch].data());
            }
            HostAudioBus inBus, outBus;
            inBus.numChannels = outBus.numChannels = channels;
            inBus.channels32 = inPtrs.data();
            outBus.channels32 = outPtrs.data();
            plugin->ProcessBuffers(&inBus, 1, &outBus, 1, 32, kBlock);
            result.insert(result.end(), out[0].begin(), out[0].end());
        }
        return result;
    }

    static constexpr int kBlock = 512;
    std::unique_ptr<Ostrel> plugin = std::make_unique<Ostrel>();
};

TEST_F(OstrelAudio, OffRolePassesStereoThroughWithTheReportedLatency)
{
    const std::vector<float> out = RunRamp(2, 4);
    for (int i = 0; i < kLatency; ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
    for (int i = kLatency; i < 4 * kBlock; ++i)
        ASSERT_FLOAT_EQ(out[i], static_cast<float>((i - kLatency + 1) * 1e-4)) << i;
}

TEST_F(OstrelAudio, MonoLayoutPassesThroughToo)
{
    const std::vector<float> out = RunRamp(1, 4);
    EXPECT_EQ(out[kLatency - 1], 0.0f);
    EXPECT_FLOAT_EQ(out[kLatency + 100], 101e-4f);
}

TEST_F(OstrelAudio, HostBypassDelaysByTheSameLatency)
{
    plugin->SetBypassed(true);
    const std::vector<float> out = RunRamp(2, 4);
    EXPECT_EQ(out[kLatency - 1], 0.0f);
    EXPECT_FLOAT_EQ(out[kLatency], 1e-4f);
}

TEST(OstrelLifetime, DestructionReleasesTheRegistrySlot)
{
    auto plugin = std::make_unique<Ostrel>();
    plugin->OnParamReset();
    plugin->SetBlockSize(256);
    plugin->ResetProcessing();
    plugin->GetParam(ostrel::kParamRole)->Set(1); // Source
    plugin->GetParam(ostrel::kParamChannel)->Set(41);
    plugin->OnParamChange(ostrel::kParamRole);
    plugin->OnParamChange(ostrel::kParamChannel);

    std::vector<double> in(256, 0.1), out0(256), out1(256);
    double* inPtrs[2] = {in.data(), in.data()};
    double* outPtrs[2] = {out0.data(), out1.data()};
    HostAudioBus inBus, outBus;
    inBus.numChannels = outBus.numChannels = 2;
    inBus.channels64 = inPtrs;
    outBus.channels64 = outPtrs;
    plugin->ProcessBuffers(&inBus, 1, &outBus, 1, 64, 256);

    ostrel::PeerRegistry& registry = ostrel::sharedRegistry();
    const uint32_t id = plugin->Engine().handover().idleSide().link.instanceId;
    ASSERT_EQ(plugin->Engine().handover().idleSide().link.slotIndex.load(), 40);
    ASSERT_EQ(registry.slots[40].ownerId.load(), id);
    plugin.reset();
    EXPECT_NE(registry.slots[40].ownerId.load(), id);
}

} // namespace
