// The fixed period over which the engine closes its measurements, whatever
// block size the host sends. Band levels, stereo statistics and meters are
// summed across chunks and closed once per period, and the block-rate
// decisions are taken once per period from the last closed measurement, so a
// host that sends 32 frames and one that sends 8192 hear the same dips.
// 512 samples at 48 kHz, where the time constants were tuned, scaled with the
// sample rate so a period always lasts the same time.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ostrel
{

inline constexpr double kAnalysisPeriodSeconds = 512.0 / 48000.0;

// Period length in samples at a sample rate, at least 1 and at most `longest`.
inline int analysisPeriodLength(double sampleRate, int longest)
{
    const double samples = std::round(kAnalysisPeriodSeconds * sampleRate);
    if (!(samples >= 1.0))
        return 1;
    return static_cast<int>(std::min(samples, static_cast<double>(longest)));
}

// Where the running period stands: the engine cuts its chunks into slices
// that end at the period's end, and begins and closes the block-rate work
// there.
class AnalysisPeriod
{
public:
    // A new rate: the period's length (at most `longest` samples), a period
    // starting afresh at an unknown host position.
    void prepare(double sampleRate, int longest)
    {
        length_ = analysisPeriodLength(sampleRate, longest);
        pos_ = 0;
        startPos_ = -1;
    }
    // A new role starts a new period.
    void restart() { pos_ = 0; }

    bool starts() const { return pos_ == 0; }
    // Whether a slice of n samples from the current position closes the period.
    bool closesWith(int n) const { return pos_ + n >= length_; }
    int samplesLeft() const { return length_ - pos_; }
    int length() const { return length_; }
    // Host position of the period's first sample; -1 unknown.
    int64_t startPos() const { return startPos_; }

    // At the period's first sample: where the host says it is.
    void begin(int64_t hostSamplePos) { startPos_ = hostSamplePos; }
    // After a slice of n samples.
    void advance(int n)
    {
        pos_ += n;
        if (pos_ >= length_)
            pos_ = 0;
    }

private:
    int length_ = 512;
    int pos_ = 0; // samples of the running period already processed
    int64_t startPos_ = -1;
};

} // namespace ostrel
