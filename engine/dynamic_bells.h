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
#include "engine/engine_settings.h"

namespace ostrel
{

// Same length as the engine's other lookahead delay lines (one shared write position).
inline constexpr int kBellDelayLength = 5120;
// The bells' channels as lanes: lane = channel * kBellCount + bell.
inline constexpr int kBellLanes = 2 * kBellCount;

inline constexpr int bellLane(int bell, int channel)
{
    return channel * kBellCount + bell;
}

// The bells' lookahead line: a position's eight lanes in one cache line, so
// a sample writes one line and reads one.
struct BellDelayLine
{
    alignas(kLaneAlign) double lanes[kBellDelayLength][kBellLanes] = {};

    // Silence in one bell's two lanes.
    void clearBell(int bell)
    {
        for (auto& row : lanes)
        {
            row[bellLane(bell, 0)] = 0.0;
            row[bellLane(bell, 1)] = 0.0;
        }
    }
};

struct DynamicBell
{
    float bellFreqSmoothed = -1.0f; // Hz; negative = unset (snaps to the setting)
    float bellQSmoothed = -1.0f;
    Biquad bellFilter0, bellFilter1;
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
// the bell path, gains 1.0, gates closed, envelopes zeroed (the delay line is
// cleared apart),
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

// One sample of a bell on the release and Source paths: the filters and the
// delay lines keep running and both gains glide back to 1.0, so a bell dip
// fades out instead of stopping when the role changes.
inline void bellReleaseStep(DynamicBell& bell, int b, BellDelayLine& line, double in0, double in1,
                            int readPos, int writePos, double glideCoef, double& sub0, double& sub1)
{
    const double z0 = bell.bellFilter0.step(in0);
    const double z1 = bell.bellFilter1.step(in1);
    const double y0 = line.lanes[readPos][bellLane(b, 0)];
    const double y1 = line.lanes[readPos][bellLane(b, 1)];
    line.lanes[writePos][bellLane(b, 0)] = z0;
    line.lanes[writePos][bellLane(b, 1)] = z1;
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
