// Where in the spectrum a track was changed: its input and its (latency-
// compensated) output through the same third-octave band filters, compared
// over chosen 20 ms windows, and summed up as low / mid / high groups and the
// band with the deepest dip.
#pragma once

#include "tools/render/wav_file.h"

#include <vector>

namespace ostrel::render
{

struct BandChange
{
    double centreHz = 0.0;
    double inPower = 0.0;  // input energy in the band over the windows
    double outPower = 0.0; // output energy, same band and windows
};

// One entry per third-octave band from 80 Hz up to the highest centre below
// 0.45 times the sample rate. `selected[w]` picks window w (frames
// [w * window, (w + 1) * window)); both files need those frames.
std::vector<BandChange> MeasureBandChanges(const AudioData& in, const AudioData& out,
                                           const std::vector<char>& selected, long window);

struct BandSummary
{
    double lowDb = 0.0;     // bands below 300 Hz
    double midDb = 0.0;     // 300 Hz to 4 kHz, where a voice lives
    double highDb = 0.0;    // above 4 kHz
    double deepestDb = 0.0; // 0 when no band went down by 0.05 dB or more
    double deepestHz = 0.0;
};

// Changes in dB (NaN for a group without input). Bands more than 50 dB below
// the strongest one are left out of the deepest dip: their change would be
// quantisation noise.
BandSummary SummariseBands(const std::vector<BandChange>& bands);

} // namespace ostrel::render
