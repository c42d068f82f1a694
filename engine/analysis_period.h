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

struct AnalysisPeriod
{
    int length = 512;
    int pos = 0;                   // samples of the running period already processed
    int64_t startPos = -1;         // host position of the period's first sample; -1 unknown
    bool transportRunning = false; // as the host said at the period's start

    bool starts() const { return pos == 0; }
    // Whether a slice of n samples from the current position closes the period.
    bool closesWith(int n) const { return pos + n >= length; }
    void restart() { pos = 0; }
};

} // namespace ostrel
