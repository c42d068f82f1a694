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

// The band-pass numerator is (b0, 0, -b0): a step takes one product of the
// input where a general biquad takes three. The states are kept negated, so
// the step needs no negation of its own: rounding to nearest is symmetric, so
// each state is the general step's negated bit for bit and the results are
// its own, bar the sign of an exact zero, which no sum or square downstream
// can tell apart.
struct BandPassBank
{
    alignas(kLaneAlign) double b0[kBandCount];
    alignas(kLaneAlign) double a1[kBandCount];
    alignas(kLaneAlign) double a2[kBandCount];
    // The general step's two states, negated.
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
            const double bx = b0[k] * x;
            const double out = bx - s1[k];
            s1[k] = s2[k] + a1[k] * out; // -(state2 - a1 out)
            s2[k] = bx + a2[k] * out;    // -((-b0) x - a2 out)
            y[k] = out;
        }
    }
};

// The low-pass numerator is (b0, 2 b0, b0): a section takes one product of
// its input, doubled exactly by an addition, where a general biquad takes
// three, with the same results.
struct LowpassBank
{
    // Both sections of a member share these coefficients. The members past
    // kEdgeCount (all zero, so their output is 0) make the loops whole vectors.
    alignas(kLaneAlign) double b0[kLowpassLanes] = {};
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
            const double bx = b0[j] * x;
            double m = bx + s1a[j];
            s1a[j] = (bx + bx) - a1[j] * m + s2a[j];
            s2a[j] = bx - a2[j] * m;
            m = finiteOrZero(m);
            const double bm = b0[j] * m;
            const double out = bm + s1b[j];
            s1b[j] = (bm + bm) - a1[j] * out + s2b[j];
            s2b[j] = bm - a2[j] * out;
            sink(j, out);
        }
    }
};

} // namespace ostrel
