// Every vector version of the audio paths (engine/vector_version.h) gives the
// baseline's output bit for bit: each role's path, the spectral stage and the
// transforms, with odd block sizes and absurd samples in the input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/vector_version.h"
#include "masking_test_rig.h"

namespace ostrel::testing
{
namespace
{

struct Case
{
    const char* name;
    int role;
    bool sidechain = false;   // a Masker on its sidechain, no Source peer
    bool switchRoles = false; // Masker, Off, Source, Self in turn
};

constexpr int kChannel = 3;
const std::vector<int> kBlocks = {1, 37, 512, 64, 1000, 4096, 3, 128};

using Output = std::vector<double>[2];

void runIn(VectorVersion version, const Case& c, Output& out)
{
    const VectorVersion before = activeVectorVersion();
    ASSERT_TRUE(chooseVectorVersion(version));
    const int length = 48000;
    std::vector<double> source = vowel(length, 0.1);
    std::vector<double> left = noise(length, 7, 0.3);
    std::vector<double> right = noise(length, 8, 0.3);
    const std::vector<double> tone = vowel(length, 0.05, 130.0);
    for (int t = 0; t < length; ++t)
    {
        left[t] += tone[t];
        right[t] += 0.5 * tone[t];
    }
    left[length / 3] = std::nan("");
    right[length / 3 + 7] = INFINITY;
    left[length / 2] = 1e200;

    auto registry = makeRegistry();
    auto peer = c.sidechain ? nullptr : makeEngineOn(*registry, kRoleSource, kChannel);
    auto subject = makeEngineOn(*registry, c.role, kChannel);
    subject->settings().selectivity = 3.0f;
    subject->settings().sidechainOn = c.sidechain ? 1 : 0;
    for (int b = 0; b < kBellCount; ++b)
    {
        subject->settings().bellActive[b] = 1;
        subject->settings().bellDepthPercent[b] = 100.0f;
        subject->settings().bellFreqHz[b] = static_cast<float>(300.0 * (1 << (2 * b)));
    }
    std::vector<double> peerOut(static_cast<size_t>(length));
    for (auto& channel : out)
        channel.assign(static_cast<size_t>(length), 0.0);
    const int roles[4] = {kRoleMasker, kRoleOff, kRoleSource, kRoleSelf};
    size_t block = 0;
    for (int t = 0; t < length;)
    {
        const int n = std::min(length - t, kBlocks[block++ % kBlocks.size()]);
        if (c.switchRoles)
            subject->settings().role = roles[t * 4 / length];
        if (peer)
            peer->processChunk(source.data() + t, source.data() + t, peerOut.data() + t,
                               peerOut.data() + t, n, t, true, nullptr, nullptr);
        const double* side = c.sidechain ? source.data() + t : nullptr;
        subject->processChunk(left.data() + t, right.data() + t, out[0].data() + t,
                              out[1].data() + t, n, t, true, side, side);
        t += n;
    }
    chooseVectorVersion(before);
}

class VectorVersions : public ::testing::TestWithParam<Case>
{
};

TEST_P(VectorVersions, EveryVersionGivesTheBaselinesOutput)
{
    Output baseline;
    runIn(VectorVersion::Baseline, GetParam(), baseline);
    int compared = 0;
    for (const VectorVersion v : {VectorVersion::Avx2, VectorVersion::Avx512})
    {
        if (!vectorVersionAvailable(v))
            continue;
        Output out;
        runIn(v, GetParam(), out);
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_EQ(
                std::memcmp(out[ch].data(), baseline[ch].data(), out[ch].size() * sizeof(double)),
                0)
                << vectorVersionName(v) << ", channel " << ch;
        ++compared;
    }
    if (compared == 0)
        GTEST_SKIP() << "this build or processor has no vector version but the baseline";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, VectorVersions,
    ::testing::Values(Case{.name = "Masker", .role = kRoleMasker},
                      Case{.name = "MaskerOnSidechain", .role = kRoleMasker, .sidechain = true},
                      Case{.name = "Self", .role = kRoleSelf},
                      Case{.name = "Source", .role = kRoleSource},
                      Case{.name = "Off", .role = kRoleOff},
                      Case{.name = "AllRoles", .role = kRoleMasker, .switchRoles = true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(VectorVersions, OnlyAnAvailableVersionCanBeChosen)
{
    const VectorVersion before = activeVectorVersion();
    EXPECT_TRUE(vectorVersionAvailable(VectorVersion::Baseline));
    for (int v = 0; v < kVectorVersionCount; ++v)
    {
        const auto version = static_cast<VectorVersion>(v);
        EXPECT_EQ(chooseVectorVersion(version), vectorVersionAvailable(version));
        EXPECT_EQ(activeVectorVersion() == version, vectorVersionAvailable(version));
        chooseVectorVersion(before);
    }
}

} // namespace
} // namespace ostrel::testing
