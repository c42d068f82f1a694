// The spectral stage: exact delay, alignment of the side rings, removal of
// dipped bands, clamping, per-channel skipping, and the transform itself.
#include "engine/reference_paths.h"
#include "engine/stft_frame_engine.h"
#include "engine/stft_frame_probe.h"
#include "engine/vector_version.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <complex>
#include <cstring>

namespace ostrel
{
namespace
{

class StftStage : public ::testing::Test
{
protected:
    void init(double rate)
    {
        sampleRate = rate;
        computeBandEdges(edges);
        stage = std::make_unique<StftFrameEngine>();
        stage->init(edges, rate);
        std::fill(unity, unity + kBandCount, 1.0);
    }
    void SetUp() override { init(48000.0); }

    // Runs left/right through the stage with fixed gains; returns the outputs.
    std::vector<StftSample> run(const std::vector<double>& left, const std::vector<double>& right,
                                const double* gains0, const double* gains1,
                                const std::vector<double>* sub = nullptr,
                                const std::vector<double>* bell = nullptr)
    {
        std::vector<StftSample> out;
        out.reserve(left.size());
        for (size_t i = 0; i < left.size(); ++i)
        {
            const double s = sub ? (*sub)[i] : 0.0;
            const double b = bell ? (*bell)[i] : 0.0;
            out.push_back(stage->step(left[i], right[i], s, -s, b, 2 * b, gains0, gains1));
        }
        return out;
    }

    double sampleRate = 48000.0;
    double edges[kEdgeCount];
    std::unique_ptr<StftFrameEngine> stage;
    double unity[kBandCount];
};

TEST_F(StftStage, UnityGainsDelayByExactly1024SamplesBitExact)
{
    const std::vector<double> l = testing::noise(6000, 3);
    const std::vector<double> r = testing::noise(6000, 4);
    const std::vector<StftSample> out = run(l, r, unity, unity);
    for (int i = 0; i < 6000; ++i)
    {
        const double wantL = i < kStftSize ? 0.0 : l[i - kStftSize];
        const double wantR = i < kStftSize ? 0.0 : r[i - kStftSize];
        ASSERT_EQ(out[i].out0, wantL) << i;
        ASSERT_EQ(out[i].out1, wantR) << i;
        ASSERT_EQ(out[i].dry0, wantL) << i;
        ASSERT_EQ(out[i].removed0, 0.0) << i;
    }
}

TEST_F(StftStage, SubAndBellRingsComeOutAlignedWithTheDelayedDry)
{
    const std::vector<double> l = testing::noise(4000, 5);
    const std::vector<double> sub = testing::noise(4000, 6, 0.1);
    const std::vector<double> bell = testing::noise(4000, 8, 0.2);
    const std::vector<StftSample> out = run(l, l, unity, unity, &sub, &bell);
    for (int i = kStftSize; i < 4000; ++i)
    {
        const int j = i - kStftSize;
        ASSERT_EQ(out[i].removed0, sub[j]);
        ASSERT_EQ(out[i].removed1, -sub[j]);
        ASSERT_EQ(out[i].out0, l[j] - sub[j]);
        ASSERT_EQ(out[i].out1, l[j] + sub[j]);
        ASSERT_EQ(out[i].bell0, bell[j]);
        ASSERT_EQ(out[i].bell1, 2 * bell[j]);
    }
}

TEST_F(StftStage, ZeroGainsInEveryBandReconstructTheWholeSignal)
{
    double zero[kBandCount] = {};
    const std::vector<double> l = testing::noise(8192, 9);
    const std::vector<StftSample> out = run(l, l, zero, unity);
    // After the first full frame the removed signal is the delayed input itself.
    for (int i = 2 * kStftSize; i < 8192; ++i)
    {
        ASSERT_NEAR(out[i].out0, 0.0, 1e-12) << i;
        ASSERT_NEAR(out[i].removed0, l[i - kStftSize], 1e-12) << i;
        ASSERT_EQ(out[i].out1, l[i - kStftSize]) << i; // the untouched channel
    }
}

TEST_F(StftStage, DippingBands4To23LeavesOnlyContentBelow289Hz)
{
    double gains[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
        gains[k] = k < 4 ? 1.0 : 0.0;
    const int n = 48000;
    std::vector<double> in(n);
    const std::vector<double> low = testing::sine(100.0, sampleRate, n, 0.3);
    const std::vector<double> mid = testing::sine(1000.0, sampleRate, n, 0.3);
    const std::vector<double> high = testing::sine(6000.0, sampleRate, n, 0.3);
    for (int i = 0; i < n; ++i)
        in[i] = low[i] + mid[i] + high[i];
    const std::vector<StftSample> out = run(in, in, gains, gains);
    std::vector<double> o(n);
    for (int i = 0; i < n; ++i)
        o[i] = out[i].out0;
    const int from = 4 * kStftSize, to = n;
    // Aligned with the input: the output is 1024 samples late.
    std::vector<double> aligned(o.begin() + kStftSize, o.end());
    EXPECT_NEAR(
        testing::dB(testing::toneAmplitude(aligned, 100.0, sampleRate, from, to - kStftSize) / 0.3),
        0.0, 0.1);
    EXPECT_LT(testing::dB(
                  testing::toneAmplitude(aligned, 1000.0, sampleRate, from, to - kStftSize) / 0.3),
              -60.0);
    EXPECT_LT(testing::dB(
                  testing::toneAmplitude(aligned, 6000.0, sampleRate, from, to - kStftSize) / 0.3),
              -60.0);
}

TEST_F(StftStage, GainsAreClampedPerBinAndNeverBoost)
{
    double above[kBandCount], negative[kBandCount], zero[kBandCount] = {};
    std::fill(above, above + kBandCount, 2.0);
    std::fill(negative, negative + kBandCount, -3.0);
    const std::vector<double> l = testing::noise(5000, 12);

    const std::vector<StftSample> boosted = run(l, l, above, above);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(boosted[i].out0, i < kStftSize ? 0.0 : l[i - kStftSize]);

    init(48000.0);
    const std::vector<StftSample> clampedLow = run(l, l, negative, negative);
    init(48000.0);
    const std::vector<StftSample> silenced = run(l, l, zero, zero);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(clampedLow[i].out0, silenced[i].out0);
}

TEST_F(StftStage, NonFiniteInputDoesNotSpreadThroughTheFrames)
{
    double half[kBandCount];
    std::fill(half, half + kBandCount, 0.5);
    std::vector<double> l = testing::noise(6000, 13);
    l[1500] = std::numeric_limits<double>::quiet_NaN();
    l[1501] = std::numeric_limits<double>::infinity();
    const std::vector<StftSample> out = run(l, l, half, half);
    for (int i = 0; i < 6000; ++i)
    {
        if (i == 1500 + kStftSize || i == 1501 + kStftSize)
            continue; // the bad samples themselves come out where they went in
        ASSERT_TRUE(std::isfinite(out[i].out0)) << i;
        ASSERT_TRUE(std::isfinite(out[i].removed0)) << i;
    }
}

TEST_F(StftStage, BothChannelsInOneTransformMatchTwoSingleChannelFrames)
{
    double gains0[kBandCount], gains1[kBandCount];
    for (int k = 0; k < kBandCount; ++k)
    {
        gains0[k] = k % 3 == 0 ? 0.1 : 0.8;
        gains1[k] = k % 2 == 0 ? 1.5 : -0.2; // clamped differently per bin
    }
    const std::vector<double> l = testing::noise(kStftSize, 91);
    const std::vector<double> r = testing::noise(kStftSize, 92);
    // Fill the input ring without crossing a hop boundary's frame.
    auto single = std::make_unique<StftFrameEngine>();
    single->init(edges, sampleRate);
    for (int i = 0; i < kStftSize; ++i)
    {
        StftFrameProbe::state(*single).inputRing[0][i] = l[i];
        StftFrameProbe::state(*single).inputRing[1][i] = r[i];
    }
    StftFrameProbe::state(*single).ringPos = 100;
    auto paired = std::make_unique<StftFrameEngine>(*single);
    StftFrameProbe::oneChannel(*single, 0, gains0);
    StftFrameProbe::oneChannel(*single, 1, gains1);
    StftFrameProbe::frame(*paired, gains0, gains1);
    for (int i = 0; i < kStftSize; ++i)
    {
        ASSERT_NEAR(StftFrameProbe::state(*paired).outputRing[0][i],
                    StftFrameProbe::state(*single).outputRing[0][i], 1e-13)
            << i;
        ASSERT_NEAR(StftFrameProbe::state(*paired).outputRing[1][i],
                    StftFrameProbe::state(*single).outputRing[1][i], 1e-13)
            << i;
    }
    double peak = 0.0;
    for (int i = 0; i < kStftSize; ++i)
        peak = std::max(peak, std::fabs(StftFrameProbe::state(*single).outputRing[1][i]));
    EXPECT_GT(peak, 0.01); // channel 1 really was processed
}

TEST(StftBandOfBin, EdgesBelongToTheUpperBandAndNyquistToTheTop)
{
    double edges[kEdgeCount];
    computeBandEdges(edges);
    auto stage = std::make_unique<StftFrameEngine>();
    stage->init(edges, 44100.0);
    const double binHz = 44100.0 / kStftSize;
    EXPECT_EQ(StftFrameProbe::state(*stage).bandOfBin[0], 0);
    for (int j = 0; j * binHz < 70.0; ++j)
        EXPECT_EQ(StftFrameProbe::state(*stage).bandOfBin[j], 0) << j;
    EXPECT_EQ(StftFrameProbe::state(*stage).bandOfBin[512], 23);
    for (int j = 0; j <= 512; ++j)
    {
        const double hz = j * binHz;
        const int k = StftFrameProbe::state(*stage).bandOfBin[j];
        EXPECT_GE(hz, bandLowerHz(edges, k) - (k == 0 ? 20.0 : 0.0)) << j;
        if (k < kEdgeCount)
        {
            EXPECT_LT(hz, edges[k]) << j;
        }
    }
    EXPECT_DOUBLE_EQ(StftFrameProbe::state(*stage).overlapNorm, 2.0);

    // A bin exactly on an edge goes to the band above it.
    double shifted[kEdgeCount];
    std::copy(edges, edges + kEdgeCount, shifted);
    shifted[7] = 20 * binHz;
    stage->init(shifted, 44100.0);
    EXPECT_EQ(StftFrameProbe::state(*stage).bandOfBin[20], 8);
    EXPECT_EQ(StftFrameProbe::state(*stage).bandOfBin[19], 7);
}

TEST(Fft, MatchesADirectTransformAndInvertsWithScaleN)
{
    const int n = 1024;
    const std::vector<double> x = testing::noise(n, 21);
    const std::vector<double> y = testing::noise(n, 22);
    std::vector<double> re = x, im = y;
    fft(re.data(), im.data(), -1);
    for (int k : {0, 1, 5, 100, 511, 512, 513, 1023})
    {
        std::complex<double> sum = 0.0;
        for (int t = 0; t < n; ++t)
            sum += std::complex<double>(x[t], y[t]) *
                   std::polar(1.0, -2.0 * std::numbers::pi * k * t / n);
        EXPECT_NEAR(re[k], sum.real(), 1e-9) << k;
        EXPECT_NEAR(im[k], sum.imag(), 1e-9) << k;
    }
    fft(re.data(), im.data(), +1);
    for (int t = 0; t < n; ++t)
    {
        ASSERT_NEAR(re[t] / n, x[t], 1e-12);
        ASSERT_NEAR(im[t] / n, y[t], 1e-12);
    }
}

// The tabulated, stage-by-stage transform rounds exactly as the one that ran
// the twiddle recurrence inside its butterfly loops, both ways.
TEST(Fft, EqualsTheRecurrenceTransformBitForBit)
{
    const int n = kStftSize;
    for (int direction : {-1, +1})
    {
        std::vector<double> re = testing::noise(n, 31), im = testing::noise(n, 32);
        std::vector<double> refRe = re, refIm = im;
        fft(re.data(), im.data(), direction);
        reference::fft(refRe.data(), refIm.data(), n, direction);
        EXPECT_EQ(0, std::memcmp(re.data(), refRe.data(), n * sizeof(double))) << direction;
        EXPECT_EQ(0, std::memcmp(im.data(), refIm.data(), n * sizeof(double))) << direction;
    }
    // The forward transform that leaves its result bit-reversed: the same values.
    std::vector<double> re = testing::noise(n, 33), im = testing::noise(n, 34);
    std::vector<double> refRe = re, refIm = im;
    fftToBitReversed(re.data(), im.data());
    reference::fft(refRe.data(), refIm.data(), n, -1);
    const int16_t* reversed = fftBitReversal();
    for (int k = 0; k < n; ++k)
    {
        ASSERT_EQ(0, std::memcmp(&re[reversed[k]], &refRe[k], sizeof(double))) << k;
        ASSERT_EQ(0, std::memcmp(&im[reversed[k]], &refIm[k], sizeof(double))) << k;
    }
}

// A frame of either or both channels, at ring positions on a hop or that split its
// windowed runs anywhere, adds to the output ring what the frame computed
// before its transforms and loops were reordered, bit for bit, in every vector
// version (each has loops of its own width).
TEST_F(StftStage, FramesAddExactlyWhatTheReferenceFrameAdds)
{
    struct Case
    {
        int ringPos;
        double gain0, gain1;
    };
    // A gain from 1.0 up leaves its channel out: channel 1 alone at 517 and
    // 768, channel 0 alone at 256 and 3, on a hop and off it.
    const Case cases[] = {{0, 0.3, 0.6},     {1, 0.3, 1.0},   {517, 1.0, 0.05}, {768, 1.0, 0.4},
                          {1023, -0.5, 0.9}, {256, 0.0, 2.0}, {3, 0.5, 1.5},    {512, 0.2, 0.7}};
    const std::vector<double> l = testing::noise(kStftSize, 95);
    const std::vector<double> r = testing::noise(kStftSize, 96);
    for (const Case& c : cases)
    {
        double gains0[kBandCount], gains1[kBandCount];
        for (int k = 0; k < kBandCount; ++k)
        {
            // Every band differs, so a bin masked with a neighbour's share shows.
            gains0[k] = k % 5 == 4 ? 1.0 : c.gain0 + 0.01 * k;
            gains1[k] = k % 7 == 6 ? 1.0 : c.gain1 - 0.01 * k;
        }
        auto engine = std::make_unique<StftFrameEngine>();
        engine->init(edges, sampleRate);
        std::copy(l.begin(), l.end(), StftFrameProbe::state(*engine).inputRing[0]);
        std::copy(r.begin(), r.end(), StftFrameProbe::state(*engine).inputRing[1]);
        StftFrameProbe::state(*engine).ringPos = c.ringPos;
        for (int i = 0; i < kStftSize; ++i)
            StftFrameProbe::state(*engine).outputRing[0][i] =
                StftFrameProbe::state(*engine).outputRing[1][i] = 0.001 * i;
        auto reference = std::make_unique<StftFrameEngine>(*engine);
        reference::stftFrame(*reference, gains0, gains1);
        const VectorVersion before = activeVectorVersion();
        for (int v = 0; v < kVectorVersionCount; ++v)
        {
            const auto version = static_cast<VectorVersion>(v);
            if (!chooseVectorVersion(version))
                continue;
            auto tried = std::make_unique<StftFrameEngine>(*engine);
            StftFrameProbe::frame(*tried, gains0, gains1);
            for (int ch = 0; ch < 2; ++ch)
                EXPECT_EQ(0, std::memcmp(StftFrameProbe::state(*tried).outputRing[ch],
                                         StftFrameProbe::state(*reference).outputRing[ch],
                                         sizeof(double) * kStftSize))
                    << vectorVersionName(version) << ", ring position " << c.ringPos << ", channel "
                    << ch;
        }
        chooseVectorVersion(before);
    }
}

} // namespace
} // namespace ostrel
