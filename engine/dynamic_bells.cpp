#include "engine/dynamic_bells.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{
namespace
{

// Envelope times of a bell at hz: slower in the bass, like the band envelopes
// (attack 10 ms at 60 Hz down to 1.5 ms from 2 kHz; release 150 ms to 35 ms).
void bellEnvelopeCoefficients(double hz, double sampleRate, double& attack, double& release)
{
    const double ln2000 = std::log(2000.0);
    const double low =
        std::clamp((ln2000 - std::log(std::max(hz, 60.0))) / (ln2000 - std::log(60.0)), 0.0, 1.0);
    attack = onePoleFromMs(1.5 + 8.5 * low, sampleRate);
    release = onePoleFromMs(35.0 + 115.0 * low, sampleRate);
}

} // namespace

void resetBellState(DynamicBell& bell, double sampleRate)
{
    bell.bellFreqSmoothed = -1.0f;
    bell.bellQSmoothed = -1.0f;
    bell.bellFilter0.clearState();
    bell.bellFilter1.clearState();
    bell.bellAttack = onePoleFromMs(kBellAttackMs, sampleRate);
    bell.bellRelease = onePoleFromMs(kBellReleaseMs, sampleRate);
    bell.bellEnvelope0 = 0.0;
    bell.bellEnvelope1 = 0.0;
    resetBellGates(bell);
    bell.bellDipMeter.store(0.0f, std::memory_order_relaxed);
    beginBellMeter(bell);
}

void resetBellGates(DynamicBell& bell)
{
    bell.bellGain0 = 1.0;
    bell.bellGain1 = 1.0;
    closeBellGates(bell);
}

void closeBellGates(DynamicBell& bell)
{
    bell.bellGateOpen0 = 0;
    bell.bellGateOpen1 = 0;
    bell.bellGateAmount0 = 0.0;
    bell.bellGateAmount1 = 0.0;
}

int nearestBand(double hz, const double centreHz[kBandCount])
{
    int best = 0;
    double bestDistance = std::fabs(hz - centreHz[0]);
    for (int k = 1; k < kBandCount; ++k)
    {
        const double d = std::fabs(hz - centreHz[k]);
        if (d < bestDistance)
        {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

double bellFloorGain(double depthPercent)
{
    return std::pow(10.0, depthPercent * -48.0 * 0.01 / 20.0);
}

void setupBellChunk(DynamicBell& bell, double freqHz, double q, double depthPercent, bool active,
                    const double centreHz[kBandCount], int n, double sampleRate, BellChunk& out)
{
    if (bell.bellFreqSmoothed < 0.0f)
    {
        bell.bellFreqSmoothed = static_cast<float>(freqHz);
        bell.bellQSmoothed = static_cast<float>(q);
    }
    else
    {
        const double k = 1.0 - std::exp(-n / (0.03 * sampleRate));
        bell.bellFreqSmoothed =
            static_cast<float>(bell.bellFreqSmoothed + k * (freqHz - bell.bellFreqSmoothed));
        bell.bellQSmoothed = static_cast<float>(bell.bellQSmoothed + k * (q - bell.bellQSmoothed));
    }
    const double f = bell.bellFreqSmoothed;
    bellEnvelopeCoefficients(f, sampleRate, bell.bellAttack, bell.bellRelease);
    const BiquadCoefficients c = bandPassCoefficients(f, bell.bellQSmoothed, sampleRate);
    bell.bellFilter0.setCoefficients(c);
    bell.bellFilter1.setCoefficients(c);

    out.active = active;
    out.nearest = nearestBand(freqHz, centreHz);
    out.floor = bellFloorGain(depthPercent);
}

void setBellGate(BellChunk& chunk, const GateSetupInputs& nearestBandInputs)
{
    GateSetupInputs in = nearestBandInputs;
    in.targetGain = chunk.floor;
    chunk.gate = makeGateSetup(in);
}

void finishBellMeter(DynamicBell& bell)
{
    float meter = 0.0f;
    if (bell.dipCount > 0)
    {
        const double rest = 1.0 - bell.dipSum / bell.dipCount;
        if (rest > 1e-6)
            meter = static_cast<float>(20.0 * std::log10(rest));
    }
    bell.bellDipMeter.store(meter, std::memory_order_relaxed);
}

} // namespace ostrel
