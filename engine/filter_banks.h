// The engine's time-domain filter banks, one input sample at a time over all
// bands, stored as structure of arrays so each step is one loop the compiler
// can vectorise: 24 band-pass filters (the band signals) and 23 fourth-order
// low-passes at the inner edges (the band energies). Both compute exactly what
// the scalar Biquad / Lowpass4 steps compute, non-finite guards included.
#pragma once

#include "engine/band_layout.h"
#include "engine/biquad.h"

namespace ostrel
{

struct BandPassBank
{
    alignas(kLaneAlign) double b0[kBandCount];
    alignas(kLaneAlign) double b1[kBandCount];
    alignas(kLaneAlign) double b2[kBandCount];
    alignas(kLaneAlign) double a1[kBandCount];
    alignas(kLaneAlign) double a2[kBandCount];
    alignas(kLaneAlign) double s1[kBandCount];
    alignas(kLaneAlign) double s2[kBandCount];

    // Tunes band k to its centre with Q = centre / width (width at least 1 Hz,
    // Q at least 0.1); states cleared.
    void design(const double edgeHz[kEdgeCount], double sampleRate);
    void clearState();
    BiquadCoefficients coefficients(int band) const;

    void step(double x, double y[kBandCount])
    {
        x = analysedSample(x);
        for (int k = 0; k < kBandCount; ++k)
        {
            const double out = b0[k] * x + s1[k];
            s1[k] = b1[k] * x - a1[k] * out + s2[k];
            s2[k] = b2[k] * x - a2[k] * out;
            y[k] = out;
        }
    }
};

struct LowpassBank
{
    // Both sections of a member share these coefficients. The members past
    // kEdgeCount (all zero, so their output is 0) make the loops whole vectors.
    alignas(kLaneAlign) double b0[kLowpassLanes] = {};
    alignas(kLaneAlign) double b1[kLowpassLanes] = {};
    alignas(kLaneAlign) double b2[kLowpassLanes] = {};
    alignas(kLaneAlign) double a1[kLowpassLanes] = {};
    alignas(kLaneAlign) double a2[kLowpassLanes] = {};
    alignas(kLaneAlign) double s1a[kLowpassLanes] = {};
    alignas(kLaneAlign) double s2a[kLowpassLanes] = {};
    alignas(kLaneAlign) double s1b[kLowpassLanes] = {};
    alignas(kLaneAlign) double s2b[kLowpassLanes] = {};

    // Member j is a Linkwitz-Riley low-pass at edgeHz[j]; states cleared.
    void design(const double edgeHz[kEdgeCount], double sampleRate);
    void clearState();
    BiquadCoefficients coefficients(int member) const;

    void step(double x, double y[kEdgeCount])
    {
        run(x,
            [y](int j, double out)
            {
                if (j < kEdgeCount)
                    y[j] = out;
            });
    }

    // One sample of the band-energy measurement: adds each member's squared
    // output to cumulative[j]. The outputs stay in registers: written out and
    // read back in other widths they would stall the loads.
    void accumulate(double x, double cumulative[kLowpassLanes])
    {
        run(x, [cumulative](int j, double out) { cumulative[j] += out * out; });
    }

private:
    template <class Sink> void run(double x, Sink sink)
    {
        x = analysedSample(x);
        for (int j = 0; j < kLowpassLanes; ++j)
        {
            double m = b0[j] * x + s1a[j];
            s1a[j] = b1[j] * x - a1[j] * m + s2a[j];
            s2a[j] = b2[j] * x - a2[j] * m;
            m = finiteOrZero(m);
            const double out = b0[j] * m + s1b[j];
            s1b[j] = b1[j] * m - a1[j] * out + s2b[j];
            s2b[j] = b2[j] * m - a2[j] * out;
            sink(j, out);
        }
    }
};

} // namespace ostrel
