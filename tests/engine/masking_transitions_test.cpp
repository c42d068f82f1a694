// What the Masker path does at its edges: leaving it while dipping, Listen
// and the link matrix's solo, Bell Listen, non-finite input.
#include <gtest/gtest.h>

#include "allocation_counting.h"
#include "masking_test_rig.h"

namespace ostrel
{
namespace
{

using namespace testing;

constexpr int kChunk = 512;
constexpr int kSecond = 48000;
constexpr int kChannel = 12;

// A Masker dipping noise under a sung vowel, as in the two-instance tests.
class MaskingTransitionTest : public ::testing::Test, public SourceAndMasker
{
protected:
    MaskingTransitionTest() : SourceAndMasker(kChannel, 4 * kSecond) {}

    void SetUp() override
    {
        const int n = 4 * kSecond;
        maskerTrack.in0 = whiteNoise(n, 7, 0.2);
        maskerTrack.in1 = whiteNoise(n, 99, 0.2);
    }
    void run(int from, int to) { runLockStep({&sourceTrack, &maskerTrack}, kChunk, 0, from, to); }
    // What the Masker takes away from its (delayed) input, per channel.
    std::vector<double> removed(int channel) const
    {
        const std::vector<double>& in = channel == 0 ? maskerTrack.in0 : maskerTrack.in1;
        const std::vector<double>& out = channel == 0 ? maskerTrack.out0 : maskerTrack.out1;
        std::vector<double> r(in.size(), 0.0);
        for (size_t t = kEngineLatency; t < in.size(); ++t)
            r[t] = in[t - kEngineLatency] - out[t];
        return r;
    }
    // Leaves the Masker role at `switchAt` (a chunk boundary) and checks that
    // the removed signal fades out without a step and ends at exactly zero.
    void expectSmoothRelease(int switchAt)
    {
        const std::vector<double> r = removed(0);
        const double before = rms(r, switchAt - 2 * kChunk, switchAt);
        ASSERT_GT(before, 0.02) << "the Masker was not dipping";
        // Over every 5 ms window of the next 100 ms, the removed signal may only
        // shrink at the pace of a 20 ms release, and never come back.
        double previous = before;
        for (int from = switchAt; from < switchAt + kSecond / 10; from += 240)
        {
            const double now = rms(r, from, from + 240);
            EXPECT_GT(now, 0.4 * previous) << "step at " << from - switchAt;
            EXPECT_LT(now, 1.5 * previous) << "dip came back at " << from - switchAt;
            previous = std::max(now, 1e-9);
        }
        for (int t = switchAt + kSecond / 2; t < 4 * kSecond; ++t)
            ASSERT_EQ(r[t], 0.0) << "sample " << t;
    }
};

TEST_F(MaskingTransitionTest, SwitchingToOffFadesTheDipsOut)
{
    run(0, 2 * kSecond);
    masker->settings().role = kRoleOff;
    run(2 * kSecond, 4 * kSecond);
    expectSmoothRelease(2 * kSecond);
}

TEST_F(MaskingTransitionTest, SwitchingToSourceFadesTheDipsOut)
{
    run(0, 2 * kSecond);
    masker->settings().role = kRoleSource;
    masker->settings().channelIndex = kChannel + 1;
    run(2 * kSecond, 4 * kSecond);
    expectSmoothRelease(2 * kSecond);
}

TEST_F(MaskingTransitionTest, BypassFadesTheDipsOut)
{
    run(0, 2 * kSecond);
    masker->settings().bypass = 1;
    run(2 * kSecond, 4 * kSecond);
    expectSmoothRelease(2 * kSecond);
}

// A twin Masker on the same input listening (by parameter or by the link
// matrix's solo of its slot): both share the same curve, so
// the twin's output is exactly what the first one takes away.
class MaskingListenTest : public MaskingTransitionTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(MaskingListenTest, ListeningPlaysExactlyWhatIsTakenAway)
{
    const bool bySolo = GetParam();
    auto twin = makeEngineOn(*registry, kRoleMasker, kChannel);
    Track twinTrack;
    twinTrack.engine = twin.get();
    twinTrack.in0 = maskerTrack.in0;
    twinTrack.in1 = maskerTrack.in1;
    if (!bySolo)
        twin->settings().listen = 1;
    for (int from = 0; from < 2 * kSecond; from += kChunk)
    {
        runLockStep({&sourceTrack, &maskerTrack, &twinTrack}, kChunk, 0, from, from + kChunk);
        if (bySolo)
            registry->header.soloIndex.store(twin->handover().idleSide().link.slotIndex.load());
    }
    const std::vector<double> r0 = removed(0);
    const std::vector<double> r1 = removed(1);
    ASSERT_GT(rms(r0, kSecond, 2 * kSecond), 0.02);
    for (int t = kSecond; t < 2 * kSecond; ++t)
    {
        ASSERT_NEAR(twinTrack.out0[t], r0[t], 1e-12) << "sample " << t;
        ASSERT_NEAR(twinTrack.out1[t], r1[t], 1e-12) << "sample " << t;
    }
    // Listening back off glides to the normal output, the first one's to the
    // last bit once the glide is over.
    twin->settings().listen = 0;
    registry->header.soloIndex.store(-1);
    runLockStep({&sourceTrack, &maskerTrack, &twinTrack}, kChunk, 0, 2 * kSecond, 3 * kSecond);
    for (int t = 2 * kSecond + kSecond / 2; t < 3 * kSecond; ++t)
    {
        ASSERT_EQ(twinTrack.out0[t], maskerTrack.out0[t]) << "sample " << t;
        ASSERT_EQ(twinTrack.out1[t], maskerTrack.out1[t]) << "sample " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(ParameterOrSolo, MaskingListenTest, ::testing::Bool());

TEST_F(MaskingTransitionTest, BellListenPlaysTheBellsBand)
{
    masker->settings().setDepth(DepthDb{0.0f, -6.0f}); // no band dips: only the bell path matters
    masker->settings().bellFreqHz[1] = 2000.0f;
    masker->settings().bellQ[1] = 4.0f;
    masker->settings().bellListen = 1;
    run(0, 2 * kSecond);
    // The same band-pass run on the input, delayed like everything else.
    Biquad reference;
    reference.setCoefficients(bandPassCoefficients(2000.0, 4.0, kRigRate));
    std::vector<double> expected(maskerTrack.in0.size(), 0.0);
    for (size_t t = 0; t < expected.size(); ++t)
        expected[t] = reference.step(maskerTrack.in0[t]);
    expected = delayed(expected, kEngineLatency);
    double error = 0.0;
    for (int t = kSecond; t < 2 * kSecond; ++t)
        error = std::max(error, std::fabs(maskerTrack.out0[t] - expected[t]));
    EXPECT_LT(error, 1e-6);
    // Turning it off goes back to the plain (undipped) signal.
    masker->settings().bellListen = -1;
    run(2 * kSecond, 3 * kSecond);
    EXPECT_EQ(maskerTrack.out0[3 * kSecond - 1], maskerTrack.in0[3 * kSecond - 1 - kEngineLatency]);
}

TEST_F(MaskingTransitionTest, NonFiniteInputGivesFiniteOutputAndLeavesNoTrace)
{
    // The same run twice: once with NaN and infinities, once with zeros there.
    const int n = 3 * kSecond;
    const int bad[] = {kSecond, kSecond + 1, kSecond + 700, kSecond + 5000};
    auto referenceRegistry = makeRegistry();
    auto refSource = makeEngineOn(*referenceRegistry, kRoleSource, kChannel);
    auto refMasker = makeEngineOn(*referenceRegistry, kRoleMasker, kChannel);
    Track refSourceTrack = sourceTrack;
    refSourceTrack.engine = refSource.get();
    Track refMaskerTrack = maskerTrack;
    refMaskerTrack.engine = refMasker.get();
    const double poison[] = {std::nan(""), HUGE_VAL, -HUGE_VAL, std::nan("")};
    for (int i = 0; i < 4; ++i)
    {
        maskerTrack.in0[bad[i]] = poison[i];
        maskerTrack.in1[bad[i] + 3] = poison[3 - i];
        refMaskerTrack.in0[bad[i]] = 0.0;
        refMaskerTrack.in1[bad[i] + 3] = 0.0;
    }
    // The Source gets one too.
    sourceTrack.in0[kSecond + 10] = std::nan("");
    refSourceTrack.in0[kSecond + 10] = 0.0;
    run(0, n);
    runLockStep({&refSourceTrack, &refMaskerTrack}, kChunk, 0, 0, n);

    ASSERT_GT(rms(removed(0), kSecond / 2, kSecond), 0.02) << "the Masker was not dipping";
    for (int t = 0; t < n; ++t)
    {
        ASSERT_TRUE(std::isfinite(maskerTrack.out0[t])) << "sample " << t;
        ASSERT_TRUE(std::isfinite(maskerTrack.out1[t])) << "sample " << t;
    }
    // Apart from the very samples that were bad, the output is what clean
    // zeros would have given.
    int differing = 0;
    for (int t = 0; t < n; ++t)
    {
        differing += maskerTrack.out0[t] != refMaskerTrack.out0[t];
        differing += maskerTrack.out1[t] != refMaskerTrack.out1[t];
    }
    EXPECT_LE(differing, 8);
    for (int t = 2 * kSecond; t < n; ++t)
        ASSERT_EQ(maskerTrack.out0[t], refMaskerTrack.out0[t]) << "sample " << t;
}

TEST_F(MaskingTransitionTest, TheMaskerAndSelfChunksNeverAllocate)
{
    // Worst case: a live Source, dips in most bands, active bells, Listen on.
    for (int b = 0; b < kBellCount; ++b)
    {
        masker->settings().bellActive[b] = 1;
        masker->settings().bellDepthPercent[b] = 100.0f;
        masker->settings().bellFreqHz[b] = 500.0f * (b + 1);
    }
    masker->settings().bellListen = 2;
    run(0, kSecond);
    ASSERT_GT(rms(removed(0), kSecond / 2, kSecond), 0.02) << "the Masker was not dipping";
    masker->settings().listen = 1;
    beginCountingAllocations();
    run(kSecond, 2 * kSecond);
    EXPECT_EQ(endCountingAllocations(), 0);

    masker->settings().role = kRoleSelf;
    beginCountingAllocations();
    run(2 * kSecond, 3 * kSecond);
    EXPECT_EQ(endCountingAllocations(), 0);
}

} // namespace
} // namespace ostrel
