#include "engine/masking_meters.h"

#include "engine/bell_stage.h"
#include "engine/engine_state.h"
#include "engine/meter_readings.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

float dipMeterDb(double outEnergy, double inEnergy)
{
    if (!(inEnergy > 1e-18))
        return 0.0f;
    const double db = 10.0 * std::log10((outEnergy + 1e-30) / (inEnergy + 1e-30));
    // A non-finite energy (never expected) must not reach the page.
    if (!std::isfinite(db))
        return 0.0f;
    return static_cast<float>(std::clamp(db, -120.0, 0.0));
}

int touchedBands(const MaskingMeterSums& sums)
{
    int touched = 0;
    for (int k = 0; k < kBandCount; ++k)
    {
        if (sums.dipCount[k] > 0 && sums.dipSum[k] / sums.dipCount[k] > 0.034)
            ++touched;
    }
    return touched;
}

double nullTarget(const float dipMeter[kBandCount])
{
    double deepest = 0.0;
    for (int k = 0; k < kBandCount; ++k)
        deepest = std::min(deepest, static_cast<double>(dipMeter[k]));
    if (!(deepest < -0.05))
        deepest = -120.0;
    return std::max(-120.0, deepest);
}

double levelMeterStep(int n, double sampleRate)
{
    return 1.0 - std::exp(-std::max(n, 1) / (0.15 * sampleRate));
}

void smoothLevelMeter(double energy[kBandCount], const double levels[kBandCount], double k,
                      std::atomic<float> meter[kBandCount])
{
    for (int b = 0; b < kBandCount; ++b)
    {
        const double level = std::isfinite(levels[b]) ? std::max(0.0, levels[b]) : 0.0;
        energy[b] += k * (level * level - energy[b]);
        // Far below anything audible: silence, so the curve reaches its floor.
        if (energy[b] < 1e-14)
            energy[b] = 0.0;
        meter[b].store(static_cast<float>(std::sqrt(energy[b])), std::memory_order_relaxed);
    }
}

MeterReadings readMeters(const EngineMeters& meters, const BellStage& bells)
{
    constexpr auto relaxed = std::memory_order_relaxed;
    MeterReadings m;
    for (int k = 0; k < kBandCount; ++k)
    {
        m.dipDb[k] = meters.dipMeter[k].load(relaxed);
        m.src[k] = meters.srcMeter[k].load(relaxed);
        m.mask[k] = meters.maskMeter[k].load(relaxed);
    }
    m.touched = meters.touchedCount.load(relaxed);
    m.nullDb = meters.nullMeter.load(relaxed);
    m.peers = meters.peersMeter.load(relaxed);
    m.linked = meters.linked.load(relaxed) != 0;
    for (int b = 0; b < kBellCount; ++b)
        m.bellDipDb[b] = bells.dipDb(b);
    return m;
}

} // namespace ostrel
