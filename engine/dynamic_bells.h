// The four dynamic bells of a Masker/Self instance: user-placed band-pass
// filters whose output is subtracted from the signal while a gate, judged
// against the ERB band nearest to the bell, says the bell's region covers the
// source. Each bell has its own depth, may be switched off, and can be
// soloed (Bell Listen). Bells are not linked across channels.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/band_gates.h"
#include "engine/band_layout.h"
#include "engine/biquad.h"

namespace ostrel
{

// Same length as the engine's other lookahead delay lines (one shared write position).
inline constexpr int kBellDelayLength = 5120;

struct DynamicBell
{
    float bellFreqSmoothed = -1.0f; // Hz; negative = unset (snaps to the setting)
    float bellQSmoothed = -1.0f;
    Biquad bellFilter0, bellFilter1;
    double bellDelay0[kBellDelayLength] = {};
    double bellDelay1[kBellDelayLength] = {};
    double bellAttack = 0.0; // envelope coefficients, both channels
    double bellRelease = 0.0;
    double bellEnvelope0 = 0.0, bellEnvelope1 = 0.0;
    uint8_t bellGateOpen0 = 0, bellGateOpen1 = 0;
    double bellGateAmount0 = 0.0, bellGateAmount1 = 0.0;
    double bellGain0 = 1.0, bellGain1 = 1.0;
    std::atomic<float> bellDipMeter{0.0f}; // "bellDip", dB; read by the idle timer

    // Per-chunk dip accumulators of the meter.
    double dipSum = 0.0;
    int dipCount = 0;
};

// Full reset (engine reset): filters silent and set to pass nothing through
// the bell path, gains 1.0, gates closed, envelopes and delay lines zeroed,
// smoothed frequency and Q unset, envelope coefficients from 1.5 ms / 35 ms.
void resetBellState(DynamicBell& bell, double sampleRate);

// Start from the settled state: gains 1.0, gates closed, amounts 0.
void resetBellGates(DynamicBell& bell);
// Gates closed with amounts 0; the gains glide on from where they are.
void closeBellGates(DynamicBell& bell);

// Band whose centre is closest to hz (the lower one on a tie).
int nearestBand(double hz, const double centreHz[kBandCount]);

// Deepest gain of a bell at depthPercent (0 % = 1.0, 100 % = -48 dB).
double bellFloorGain(double depthPercent);

// What the sample loop needs of one bell for one chunk.
struct BellChunk
{
    bool active = false;
    int nearest = 0;
    double floor = 1.0;
    GateSetup gate; // judged against the nearest band, targeting `floor`
};

// Block-rate set-up of one bell for a chunk of n samples: glides frequency
// and Q toward the settings (30 ms), derives the envelope times and the
// band-pass coefficients from the glided values (filter states carry on),
// and picks the nearest band from the setting itself.
void setupBellChunk(DynamicBell& bell, double freqHz, double q, double depthPercent, bool active,
                    const double centreHz[kBandCount], int n, double sampleRate, BellChunk& out);

// Completes the chunk's gate set-up from the nearest band's masking values.
void setBellGate(BellChunk& chunk, const GateSetupInputs& nearestBandInputs);

// One sample of a bell on the Masker/Self path. readPos/writePos: the shared
// delay-line positions. Adds the removed part to sub0/sub1 and returns, via
// y0/y1, the bell's lookahead-delayed signal (zero when not primed).
inline void bellSampleStep(DynamicBell& bell, const BellChunk& chunk, double in0, double in1,
                           int readPos, int writePos, bool primed, double glideCoef,
                           double levelDecay, double& sub0, double& sub1, double& y0, double& y1)
{
    const double z0 = bell.bellFilter0.step(in0);
    const double z1 = bell.bellFilter1.step(in1);
    bell.bellDelay0[writePos] = z0;
    bell.bellDelay1[writePos] = z1;
    followEnvelope(bell.bellEnvelope0, z0, bell.bellAttack, bell.bellRelease);
    followEnvelope(bell.bellEnvelope1, z1, bell.bellAttack, bell.bellRelease);
    if (!primed)
    {
        y0 = 0.0;
        y1 = 0.0;
        return;
    }
    y0 = bell.bellDelay0[readPos];
    y1 = bell.bellDelay1[readPos];
    double target0 = 1.0;
    double target1 = 1.0;
    if (chunk.active)
    {
        target0 = gateStep(bell.bellGateOpen0, bell.bellGateAmount0, bell.bellEnvelope0, chunk.gate,
                           levelDecay);
        target1 = gateStep(bell.bellGateOpen1, bell.bellGateAmount1, bell.bellEnvelope1, chunk.gate,
                           levelDecay);
    }
    glideGain(bell.bellGain0, target0, glideCoef);
    glideGain(bell.bellGain1, target1, glideCoef);
    sub0 += (1.0 - bell.bellGain0) * y0;
    sub1 += (1.0 - bell.bellGain1) * y1;
    const double d0 = 1.0 - bell.bellGain0;
    const double d1 = 1.0 - bell.bellGain1;
    const double v = d0 > d1 ? d0 : d1;
    if (v > 1e-6)
    {
        bell.dipSum += v;
        ++bell.dipCount;
    }
}

// One sample of a bell on the release and Source paths: the filters and the
// delay lines keep running and both gains glide back to 1.0, so a bell dip
// fades out instead of stopping when the role changes.
inline void bellReleaseStep(DynamicBell& bell, double in0, double in1, int readPos, int writePos,
                            double glideCoef, double& sub0, double& sub1)
{
    const double z0 = bell.bellFilter0.step(in0);
    const double z1 = bell.bellFilter1.step(in1);
    const double y0 = bell.bellDelay0[readPos];
    const double y1 = bell.bellDelay1[readPos];
    bell.bellDelay0[writePos] = z0;
    bell.bellDelay1[writePos] = z1;
    glideGain(bell.bellGain0, 1.0, glideCoef);
    glideGain(bell.bellGain1, 1.0, glideCoef);
    sub0 += (1.0 - bell.bellGain0) * y0;
    sub1 += (1.0 - bell.bellGain1) * y1;
}

// Whether a bell is fully at rest (both gains exactly 1.0).
inline bool bellAtRest(const DynamicBell& bell)
{
    return bell.bellGain0 == 1.0 && bell.bellGain1 == 1.0;
}

// Start of a chunk: zero the dip accumulators.
inline void beginBellMeter(DynamicBell& bell)
{
    bell.dipSum = 0.0;
    bell.dipCount = 0;
}

// End of a chunk: "bellDip" = the mean applied dip in dB (0 when none).
void finishBellMeter(DynamicBell& bell);

} // namespace ostrel
