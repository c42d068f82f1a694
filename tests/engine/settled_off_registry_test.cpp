// A settled Off instance meets the registry once per analysis period (short
// blocks inside a period leave it alone): whatever the block size, its peers
// meter follows a Source taking and leaving its channel within a period and a
// block, the idle thread's block counter still counts every slice, and the
// output stays the input a latency late.
#include "masking_test_rig.h"

#include <gtest/gtest.h>

namespace ostrel::testing
{
namespace
{

constexpr int kChannel = 5;
constexpr int kPeriod = 512; // at kRigRate

class SettledOffRegistry : public ::testing::TestWithParam<int>
{
protected:
    std::unique_ptr<PeerRegistry> registry = makeRegistry();
    std::unique_ptr<SpectralEngine> off = makeEngineOn(*registry, kRoleOff, kChannel);
    std::vector<double> input = pinkNoise(48000 * 2, 17, 0.3);
    std::vector<double> out0, out1;
    int fed = 0;         // samples processed so far
    int mismatches = 0;  // output samples that are not the input a latency late
    uint32_t slices = 0; // slices the processed blocks cut into at period ends

    int32_t counter() const
    {
        return off->handover().idleSide().link.blockCounter.load(std::memory_order_relaxed);
    }

    // `samples` more input in blocks of the case's size; from `check` on,
    // every output sample must be the input a latency late.
    void run(int samples, bool check = true)
    {
        const int block = GetParam();
        out0.resize(static_cast<size_t>(block));
        out1.resize(static_cast<size_t>(block));
        for (int end = fed + samples; fed < end; fed += block)
        {
            ASSERT_LE(static_cast<size_t>(fed + block), input.size());
            off->processChunk(input.data() + fed, input.data() + fed, out0.data(), out1.data(),
                              block, fed, true, nullptr, nullptr);
            for (int t = 0; t < block && check; ++t)
            {
                const double expected = input[static_cast<size_t>(fed + t - kEngineLatency)];
                mismatches += out0[static_cast<size_t>(t)] != expected ||
                              out1[static_cast<size_t>(t)] != expected;
            }
            for (int pos = fed % kPeriod, left = block; left > 0; pos = 0, ++slices)
                left -= std::min(left, kPeriod - pos);
        }
    }
};

TEST_P(SettledOffRegistry, PeersMeterFollowsWithinAPeriodAndEverySliceIsCounted)
{
    run(48000, false); // settled long since
    EXPECT_EQ(off->meters().peers, 0);
    const int32_t before = counter();
    slices = 0;

    PeerLink source;
    initPeerLink(*registry, source);
    ASSERT_TRUE(claimByChannel(*registry, source, kPeerRoleSource, kChannel));
    run(kPeriod + GetParam());
    EXPECT_EQ(off->meters().peers, 1) << "a Source took the channel";

    release(*registry, source);
    run(kPeriod + GetParam());
    EXPECT_EQ(off->meters().peers, 0) << "the Source left";

    EXPECT_EQ(static_cast<uint32_t>(counter() - before), slices);
    EXPECT_EQ(mismatches, 0);
    EXPECT_LT(heldSlot(*registry, off->handover().idleSide().link), 0);
}

// Blocks inside a period, one that ends on its end, ones across it.
INSTANTIATE_TEST_SUITE_P(Blocks, SettledOffRegistry,
                         ::testing::Values(1, 37, 64, 100, 512, 700, 1024));

} // namespace
} // namespace ostrel::testing
