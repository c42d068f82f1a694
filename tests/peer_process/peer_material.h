// The material of the cross-process tests' tracks: the same samples in the
// peer processes and in the tests that render them in one process.
#pragma once

#include <cmath>
#include <numbers>
#include <random>

namespace ostrel::peer
{

inline constexpr double kRate = 48000.0;
inline constexpr int kBlock = 512;

// Pink noise: white noise through a sum of first-order low-passes, one
// sample at a time, the same for the same seed.
class PinkNoise
{
public:
    explicit PinkNoise(unsigned seed) : mRng(seed) {}
    double next()
    {
        const double w = mNoise(mRng);
        mB[0] = 0.99886 * mB[0] + w * 0.0555179;
        mB[1] = 0.99332 * mB[1] + w * 0.0750759;
        mB[2] = 0.96900 * mB[2] + w * 0.1538520;
        mB[3] = 0.86650 * mB[3] + w * 0.3104856;
        mB[4] = 0.55000 * mB[4] + w * 0.5329522;
        mB[5] = -0.7616 * mB[5] - w * 0.0168980;
        const double out = mB[0] + mB[1] + mB[2] + mB[3] + mB[4] + mB[5] + mB[6] + w * 0.5362;
        mB[6] = w * 0.115926;
        return out;
    }

private:
    std::mt19937 mRng;
    std::normal_distribution<double> mNoise{0.0, 1.0};
    double mB[7] = {};
};

// A voice (harmonics of 180 Hz under three formants) at about -24 dBFS, or
// pink noise at about -8 dBFS; sample t of either is the same in every run.
class Material
{
public:
    explicit Material(bool voice) : mVoice(voice) {}
    double next()
    {
        const long t = mT++;
        if (mVoice)
        {
            double x = 0.0;
            for (int h = 1; 180.0 * h < 8000.0; ++h)
            {
                const double hz = 180.0 * h;
                double weight = 0.0;
                for (double f : {700.0, 1200.0, 2600.0})
                    weight += 1.0 / (1.0 + std::pow((hz - f) / 150.0, 2.0));
                x += weight * std::sin(2.0 * std::numbers::pi * hz * t / kRate) / h;
            }
            return 0.03 * x;
        }
        return 0.12 * mPink.next();
    }

private:
    bool mVoice;
    long mT = 0;
    PinkNoise mPink{11};
};

} // namespace ostrel::peer
