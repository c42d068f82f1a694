// A Source and its Maskers as separate engines on one private registry, run
// in lock step: what a user hears on
// the Masker's track.
#include <gtest/gtest.h>

#include "masking_test_rig.h"
#include "masking_test_tables.h"

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kChunk = 512;
constexpr int kSecond = 48000;
constexpr int kChannel = 5;

// Bands around the vowel's formants (700, 1200, 2600 Hz) where the noise
// covers it, and bands an octave and more away from anything it sings.
constexpr int kCoveredBands[] = {9, 11, 12, 13};
constexpr int kFarBands[] = {0, 1, 2, 3, 19, 20, 21, 22, 23};

class MaskingPairTest : public ::testing::Test
{
protected:
    std::unique_ptr<PeerRegistry> registry = makeRegistry();
    std::unique_ptr<SpectralEngine> source = makeEngineOn(*registry, kRoleSource, kChannel);
    std::unique_ptr<SpectralEngine> masker;
    Track sourceTrack;
    Track maskerTrack;

    void setUpPair(double depthPercent, int seconds)
    {
        masker = makeEngineOn(*registry, kRoleMasker, kChannel, depthPercent);
        // An editor shows the Masker: its dip meters are measured.
        masker->setMetersWanted(true);
        const int n = seconds * kSecond;
        sourceTrack.engine = source.get();
        sourceTrack.in0 = sourceTrack.in1 = vowel(n, 0.05);
        maskerTrack.engine = masker.get();
        maskerTrack.in0 = whiteNoise(n, 7, 0.2);
        maskerTrack.in1 = whiteNoise(n, 99, 0.2);
    }
    void run(int from = 0, int to = -1)
    {
        runLockStep({&sourceTrack, &maskerTrack}, kChunk, 0, from, to);
    }
    // Per-band change of the Masker's left output against its delayed input.
    std::vector<double> maskerChangeDb(int from, int to) const
    {
        return bandChangeDb(bandPowers(delayed(maskerTrack.in0, kEngineLatency), from, to),
                            bandPowers(maskerTrack.out0, from, to));
    }
};

TEST_F(MaskingPairTest, FullDepthDipsWhereTheSourceIsCoveredAndNowhereElse)
{
    setUpPair(100.0, 4);
    run();
    const std::vector<double> change = maskerChangeDb(2 * kSecond, 4 * kSecond);
    double covered = 0.0;
    for (int k : kCoveredBands)
    {
        EXPECT_LT(change[k], -1.0) << "band " << k;
        covered += change[k];
    }
    EXPECT_LT(covered / std::size(kCoveredBands), -4.0);
    for (int k : kFarBands)
        EXPECT_NEAR(change[k], 0.0, 0.5) << "band " << k;
    EXPECT_TRUE(masker->meters().linked);
    EXPECT_EQ(masker->meters().peers, 1);
    EXPECT_GT(masker->meters().touched, 3);
    EXPECT_LT(masker->meters().nullDb, -3.0f);
}

TEST_F(MaskingPairTest, DepthZeroPassesTheInputDelayedBitExact)
{
    setUpPair(0.0, 2);
    run();
    for (int t = 0; t < 2 * kSecond; ++t)
    {
        const double expect0 = t >= kEngineLatency ? maskerTrack.in0[t - kEngineLatency] : 0.0;
        const double expect1 = t >= kEngineLatency ? maskerTrack.in1[t - kEngineLatency] : 0.0;
        ASSERT_EQ(maskerTrack.out0[t], expect0) << "sample " << t;
        ASSERT_EQ(maskerTrack.out1[t], expect1) << "sample " << t;
    }
    // The Source is still seen and measured; the meters show no dip.
    EXPECT_TRUE(masker->meters().linked);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_NEAR(masker->meters().dipDb[k], 0.0f, 0.01f) << "band " << k;
    EXPECT_EQ(masker->meters().touched, 0);
    EXPECT_EQ(masker->meters().nullDb, -120.0f);
}

// The dip meters are measured only while an editor shows them; whether
// they are changes nothing the track plays.
TEST_F(MaskingPairTest, DipMetersFollowTheEditorAndNeverTheSound)
{
    setUpPair(100.0, 3);
    masker->setMetersWanted(false);
    run(0, 2 * kSecond);
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_EQ(masker->meters().dipDb[k], 0.0f) << "band " << k;
    EXPECT_EQ(masker->meters().nullDb, -120.0f);
    EXPECT_EQ(masker->meters().touched, 0);
    const std::vector<double> unmetered = maskerTrack.out0;

    masker->setMetersWanted(true);
    run(2 * kSecond, 3 * kSecond);
    EXPECT_LT(masker->meters().nullDb, -3.0f);
    EXPECT_GT(masker->meters().touched, 3);
    double deepest = 0.0;
    for (int k = 0; k < kBandCount; ++k)
        deepest = std::min(deepest, static_cast<double>(masker->meters().dipDb[k]));
    EXPECT_LT(deepest, -3.0);

    // The same pair, afresh, with the editor open throughout plays the same samples.
    masker.reset();
    source.reset();
    registry = makeRegistry();
    source = makeEngineOn(*registry, kRoleSource, kChannel);
    setUpPair(100.0, 3);
    run(0, 2 * kSecond);
    for (int t = 0; t < 2 * kSecond; ++t)
        ASSERT_EQ(maskerTrack.out0[t], unmetered[t]) << "sample " << t;
}

TEST_F(MaskingPairTest, TheSourceOutputIsNeverDipped)
{
    setUpPair(100.0, 2);
    run();
    for (int t = kEngineLatency; t < 2 * kSecond; ++t)
        ASSERT_EQ(sourceTrack.out0[t], sourceTrack.in0[t - kEngineLatency]) << "sample " << t;
}

TEST_F(MaskingPairTest, AMaskerStopsFollowingASourceThatNoLongerPublishes)
{
    setUpPair(100.0, 6);
    run(0, 2 * kSecond);
    // The Source's audio stops (its slot stays live through idle heartbeats);
    // the Masker goes on.
    for (int t = 2 * kSecond; t < 6 * kSecond; t += kChunk)
    {
        const int n = std::min(kChunk, 6 * kSecond - t);
        masker->processChunk(maskerTrack.in0.data() + t, maskerTrack.in1.data() + t,
                             maskerTrack.out0.data() + t, maskerTrack.out1.data() + t, n, t, true,
                             nullptr, nullptr);
        heartbeat(*registry, source->handover().idleSide().link);
        if (t >= 2 * kSecond + kSecond && t < 2 * kSecond + kSecond + kChunk)
        {
            // One second later the last published levels are still followed.
            double deepest = 1.0;
            for (int k = 0; k < kBandCount; ++k)
                deepest = std::min(deepest, masker->bandGain(0, k));
            EXPECT_LT(deepest, 0.5);
        }
    }
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kBandCount; ++k)
            EXPECT_EQ(masker->bandGain(c, k), 1.0) << "band " << k;
    // Once released the output is the delayed input again, bit for bit.
    for (int t = 5 * kSecond; t < 6 * kSecond; ++t)
        ASSERT_EQ(maskerTrack.out0[t], maskerTrack.in0[t - kEngineLatency]) << "sample " << t;
    EXPECT_TRUE(masker->meters().linked); // still live, just silent
    EXPECT_EQ(masker->meters().touched, 0);
    EXPECT_LT(masker->meters().nullDb, -110.0f);
}

TEST_F(MaskingPairTest, AMaskerOfAChannelWithoutASourceNeverDips)
{
    setUpPair(100.0, 2);
    masker = makeEngineOn(*registry, kRoleMasker, kChannel + 1, 100.0);
    maskerTrack.engine = masker.get();
    run();
    EXPECT_FALSE(masker->meters().linked);
    for (int t = kEngineLatency; t < 2 * kSecond; ++t)
        ASSERT_EQ(maskerTrack.out0[t], maskerTrack.in0[t - kEngineLatency]) << "sample " << t;
}

TEST_F(MaskingPairTest, ASeekClearsTheSourceHistory)
{
    setUpPair(100.0, 2);
    run(0, kSecond);
    ASSERT_GT(masker->masking().sourceHistoryWritePos(), 50);
    // Both jump back to the start of the song.
    runLockStep({&sourceTrack, &maskerTrack}, kChunk, -kSecond, kSecond, kSecond + kChunk);
    EXPECT_EQ(masker->masking().sourceHistoryWritePos(), 1);
    for (int i = 1; i < kSourceHistorySize; ++i)
        ASSERT_EQ(masker->masking().sourceHistoryEnd(i), -1) << "entry " << i;
}

TEST_F(MaskingPairTest, ASidechainMaskerFollowsItsOwnSidechainWithoutASlot)
{
    setUpPair(100.0, 4);
    masker->settings().sidechainOn = 1;
    masker->settings().channelIndex = kChannel + 2; // no Source there
    maskerTrack.side0 = sourceTrack.in0.data();
    maskerTrack.side1 = sourceTrack.in1.data();
    run();
    EXPECT_EQ(masker->handover().idleSide().link.slotIndex.load(), -1);
    EXPECT_EQ(masker->meters().peers, 1);
    EXPECT_TRUE(masker->meters().linked);
    const std::vector<double> change = maskerChangeDb(2 * kSecond, 4 * kSecond);
    double covered = 0.0;
    for (int k : kCoveredBands)
        covered += change[k];
    EXPECT_LT(covered / std::size(kCoveredBands), -4.0);
    for (int k : kFarBands)
        EXPECT_NEAR(change[k], 0.0, 0.5) << "band " << k;
}

TEST_F(MaskingPairTest, TheLowGuardKeepsTheBandsBelowItUntouched)
{
    setUpPair(100.0, 3);
    masker->settings().lowGuardHz = 500.0f;
    const MaskingTables bands;
    bool guardedMoved = false;
    double deepestFree = 1.0;
    for (int from = 0; from < 3 * kSecond; from += kChunk)
    {
        run(from, std::min(from + kChunk, 3 * kSecond));
        for (int c = 0; c < 2; ++c)
        {
            for (int k = 0; k < kBandCount; ++k)
            {
                if (bands.centreHz[k] < 500.0)
                    guardedMoved |= masker->bandGain(c, k) != 1.0;
                else
                    deepestFree = std::min(deepestFree, masker->bandGain(c, k));
            }
        }
    }
    EXPECT_FALSE(guardedMoved);
    EXPECT_LT(deepestFree, 0.5);
}

TEST_F(MaskingPairTest, TwoMaskersOfOneSourceGetOneCurve)
{
    setUpPair(100.0, 2);
    auto second = makeEngineOn(*registry, kRoleMasker, kChannel, 100.0);
    Track secondTrack;
    secondTrack.engine = second.get();
    secondTrack.in0 = whiteNoise(2 * kSecond, 1234, 0.1);
    secondTrack.in1 = whiteNoise(2 * kSecond, 4321, 0.1);
    runLockStep({&sourceTrack, &maskerTrack, &secondTrack}, kChunk);
    const int a = masker->handover().idleSide().link.slotIndex.load();
    const int b = second->handover().idleSide().link.slotIndex.load();
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_NE(a, b);
    bool anyDip = false;
    for (int k = 0; k < kBandCount; ++k)
    {
        EXPECT_EQ(masker->masking().sharedGain(k), second->masking().sharedGain(k));
        anyDip |= masker->masking().sharedGain(k) < 1.0f;
    }
    EXPECT_TRUE(anyDip);
}

TEST_F(MaskingPairTest, AMutedLinkStopsTheDips)
{
    setUpPair(100.0, 3);
    run(0, kSecond);
    registry->slots[masker->handover().idleSide().link.slotIndex.load()].mute.store(1);
    run(kSecond, 3 * kSecond);
    for (int t = 2 * kSecond + kSecond / 2; t < 3 * kSecond; ++t)
        ASSERT_EQ(maskerTrack.out0[t], maskerTrack.in0[t - kEngineLatency]) << "sample " << t;
}

} // namespace
} // namespace ostrel
