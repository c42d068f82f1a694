// Small filter value types shared by every stage of the engine: a transposed
// direct form II biquad and a fourth-order (two identical sections) low-pass,
// with the band-pass and low-pass designs the band layout uses. A sample that
// is not finite enters every filter as 0, so one bad sample never poisons the
// state.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrel
{

// Filters are never tuned at or above Nyquist.
inline double limitFilterHz(double hz, double sampleRate)
{
    return std::min(hz, 0.49 * sampleRate);
}

inline double finiteOrZero(double x)
{
    return std::isfinite(x) ? x : 0.0;
}

// Loudest sample the analysis takes (80 dB above full scale): anything
// louder is a fault upstream, and a finite 1e200 would otherwise ring in the
// filters and swell the level sums for seconds.
inline constexpr double kLoudestAnalysedSample = 1e4;

// What the filters and level sums see of an input sample: a non-finite or
// absurdly loud one counts as silence.
inline double analysedSample(double x)
{
    // One comparison rejects NaN too, so loops over samples stay vectorisable.
    return std::fabs(x) <= kLoudestAnalysedSample ? x : 0.0;
}

struct BiquadCoefficients
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// Band-pass with a constant 0 dB peak gain at centreHz. Q below 0.1 counts as 0.1.
inline BiquadCoefficients bandPassCoefficients(double centreHz, double q, double sampleRate)
{
    const double w = 2.0 * std::numbers::pi * limitFilterHz(centreHz, sampleRate) / sampleRate;
    const double alpha = std::sin(w) / (2.0 * std::max(q, 0.1));
    const double n = 1.0 / (1.0 + alpha);
    BiquadCoefficients c;
    c.b0 = alpha * n;
    c.b1 = 0.0;
    c.b2 = -alpha * n;
    c.a1 = -2.0 * std::cos(w) * n;
    c.a2 = (1.0 - alpha) * n;
    return c;
}

// One Butterworth section (Q = 1/sqrt 2) of the Linkwitz-Riley low-pass at edgeHz.
inline BiquadCoefficients lowPassSectionCoefficients(double edgeHz, double sampleRate)
{
    const double k = std::tan(std::numbers::pi * limitFilterHz(edgeHz, sampleRate) / sampleRate);
    const double q = 0.70710678;
    const double n = 1.0 / (1.0 + k / q + k * k);
    BiquadCoefficients c;
    c.b0 = k * k * n;
    c.b1 = 2.0 * c.b0;
    c.b2 = c.b0;
    c.a1 = 2.0 * (k * k - 1.0) * n;
    c.a2 = (1.0 - k / q + k * k) * n;
    return c;
}

// Transposed direct form II. Default-constructed it is the identity.
struct Biquad
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double s1 = 0.0, s2 = 0.0;

    void setCoefficients(const BiquadCoefficients& c)
    {
        b0 = c.b0;
        b1 = c.b1;
        b2 = c.b2;
        a1 = c.a1;
        a2 = c.a2;
    }
    void clearState()
    {
        s1 = 0.0;
        s2 = 0.0;
    }
    double step(double x)
    {
        x = analysedSample(x);
        const double y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        return y;
    }
};

// Fourth-order low-pass: two cascaded identical sections.
struct Lowpass4
{
    Biquad first, second;

    void setCoefficients(const BiquadCoefficients& c)
    {
        first.setCoefficients(c);
        second.setCoefficients(c);
    }
    void clearState()
    {
        first.clearState();
        second.clearState();
    }
    double step(double x) { return second.step(finiteOrZero(first.step(x))); }
};

} // namespace ostrel
