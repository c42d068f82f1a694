#include "tools/render/band_change.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrel::render
{

namespace
{

// Constant-peak band-pass biquad, Q of a third octave.
struct BandPass
{
    double b0 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    BandPass(double centreHz, double sampleRate)
    {
        constexpr double kQ = 4.318; // 1/3 octave
        const double w = 2.0 * std::numbers::pi * centreHz / sampleRate;
        const double alpha = std::sin(w) / (2.0 * kQ);
        const double a0 = 1.0 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2.0 * std::cos(w) / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double Step(double x)
    {
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Energy of one channel through the band, summed over the selected windows.
double selectedEnergy(const std::vector<double>& x, double centreHz, double sampleRate,
                      const std::vector<char>& selected, long window)
{
    BandPass filter(centreHz, sampleRate);
    double sum = 0.0;
    const long frames =
        std::min(static_cast<long>(x.size()), static_cast<long>(selected.size()) * window);
    for (long i = 0; i < frames; ++i)
    {
        const double y = filter.Step(x[static_cast<size_t>(i)]);
        if (selected[static_cast<size_t>(i / window)])
            sum += y * y;
    }
    return sum;
}

double changeDb(double in, double out)
{
    return in > 0.0 ? 10.0 * std::log10(std::max(out, 1e-30) / in) : std::nan("");
}

} // namespace

std::vector<BandChange> MeasureBandChanges(const AudioData& in, const AudioData& out,
                                           const std::vector<char>& selected, long window)
{
    std::vector<BandChange> bands;
    if (window <= 0)
        return bands;
    const int channels = std::min(in.NumChannels(), out.NumChannels());
    // Third-octave centres 80 Hz * 2^(n/3).
    for (int n = 0;; ++n)
    {
        const double centre = 80.0 * std::pow(2.0, n / 3.0);
        if (centre > 0.45 * in.sampleRate || centre > 16000.0)
            break;
        BandChange b;
        b.centreHz = centre;
        for (int c = 0; c < channels; ++c)
        {
            b.inPower += selectedEnergy(in.channels[static_cast<size_t>(c)], centre, in.sampleRate,
                                        selected, window);
            b.outPower += selectedEnergy(out.channels[static_cast<size_t>(c)], centre,
                                         in.sampleRate, selected, window);
        }
        bands.push_back(b);
    }
    return bands;
}

BandSummary SummariseBands(const std::vector<BandChange>& bands)
{
    BandSummary s;
    double strongest = 0.0;
    double in[3] = {}, out[3] = {};
    for (const auto& b : bands)
    {
        strongest = std::max(strongest, b.inPower);
        const int group = b.centreHz < 300.0 ? 0 : b.centreHz <= 4000.0 ? 1 : 2;
        in[group] += b.inPower;
        out[group] += b.outPower;
    }
    s.lowDb = changeDb(in[0], out[0]);
    s.midDb = changeDb(in[1], out[1]);
    s.highDb = changeDb(in[2], out[2]);
    for (const auto& b : bands)
    {
        if (!(b.inPower > 1e-5 * strongest))
            continue;
        const double change = changeDb(b.inPower, b.outPower);
        if (change <= -0.05 && change < s.deepestDb)
        {
            s.deepestDb = change;
            s.deepestHz = b.centreHz;
        }
    }
    return s;
}

} // namespace ostrel::render
