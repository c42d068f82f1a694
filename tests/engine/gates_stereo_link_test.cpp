// The stereo link inside a running Masker: identical channels are dipped
// alike, independent channels are gated on their own.
#include <gtest/gtest.h>

#include "masking_test_rig.h"

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kSecond = 48000;
constexpr int kChunk = 512;
constexpr int kChannel = 30;

class StereoLinkInAMaskerTest : public ::testing::Test, public SourceAndMasker
{
protected:
    StereoLinkInAMaskerTest() : SourceAndMasker(kChannel, 3 * kSecond) {}
    void runChunk(int from)
    {
        runLockStep({&sourceTrack, &maskerTrack}, kChunk, 0, from, from + kChunk);
    }
};

TEST_F(StereoLinkInAMaskerTest, IdenticalChannelsAreDippedAlike)
{
    maskerTrack.in0 = maskerTrack.in1 = whiteNoise(3 * kSecond, 17, 0.2);
    double worstDb = 0.0;
    double deepest = 1.0;
    for (int from = 0; from < 3 * kSecond; from += kChunk)
    {
        runChunk(from);
        if (from < kSecond)
            continue;
        for (int k = 0; k < kBandCount; ++k)
        {
            worstDb =
                std::max(worstDb, std::fabs(dB(masker->bandGain(0, k) / masker->bandGain(1, k))));
            deepest = std::min(deepest, masker->bandGain(0, k));
        }
    }
    ASSERT_LT(deepest, 0.5) << "the Masker was not dipping";
    EXPECT_LE(worstDb, 1.5);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(masker->masking().stereoLink(k), 1.0) << "band " << k;
}

TEST_F(StereoLinkInAMaskerTest, IndependentChannelsAreNotLinked)
{
    maskerTrack.in0 = whiteNoise(3 * kSecond, 17, 0.2);
    maskerTrack.in1 = whiteNoise(3 * kSecond, 71, 0.2);
    // Over wide bands the measured coherence of independent noise stays near
    // 0; narrow bass bands need longer than 80 ms to tell, so look above them.
    double linkSum[kBandCount] = {};
    int chunks = 0;
    bool channelsDiffer = false;
    for (int from = 0; from < 3 * kSecond; from += kChunk)
    {
        runChunk(from);
        if (from < kSecond)
            continue;
        ++chunks;
        for (int k = 0; k < kBandCount; ++k)
        {
            linkSum[k] += masker->masking().stereoLink(k);
            channelsDiffer |= std::fabs(dB(masker->bandGain(0, k) / masker->bandGain(1, k))) > 3.0;
        }
    }
    for (int k = 12; k < kBandCount; ++k)
        EXPECT_LT(linkSum[k] / chunks, 0.05) << "band " << k;
    EXPECT_TRUE(channelsDiffer);
}

} // namespace
} // namespace ostrel
