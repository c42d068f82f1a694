// The smoothing steps of an analysis period. They depend on its length and
// the sample rate alone, and those seldom change, so the exponentials are
// taken again only when either does, not at every period of every instance.
#pragma once

#include "engine/masking_gain_law.h"

namespace ostrel
{

struct PeriodCoefficients
{
    double levelMeterStep = 0.0; // the level meters' step (150 ms)
    double holdDecay = 1.0;      // the source peak hold's release (100 ms)
    ChunkSmoothing smoothing;    // the target gains' attack and release
    double statisticStep = 0.0;  // the stereo statistics' step (80 ms)
    double nullStep = 0.0;       // the null meter's step (200 ms)
};

class PeriodCoefficientCache
{
public:
    const PeriodCoefficients& of(int n, double sampleRate)
    {
        // `!=` holds for a NaN rate too: such a rate is worked out every time.
        if (!valid_ || n != length_ || sampleRate != sampleRate_)
            refresh(n, sampleRate);
        return coefficients_;
    }

private:
    void refresh(int n, double sampleRate);

    bool valid_ = false;
    int length_ = 0;
    double sampleRate_ = 0.0;
    PeriodCoefficients coefficients_;
};

} // namespace ostrel
