// The four bells of the Masker/Self path as eight lanes (lane = channel * 4 +
// bell), so one sample of all their filters, envelopes, gates and glides is a
// loop over the lanes that the compiler vectorises. The bells' state lives in
// DynamicBell between chunks; a chunk loads it here and stores it back.
//
// Each lane computes what a bell's channel computes alone, and the removed
// parts are summed bell by bell in the same order. A gate on its ramp takes
// its amount from the vectorised logarithm, as the band gates do.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/band_gates.h"
#include "engine/band_layout.h"
#include "engine/dynamic_bells.h"
#include "engine/engine_settings.h"
#include "engine/lane_log.h"
#include "engine/vector_clones.h"

namespace ostrel
{

// `keep` all ones takes a's bits, all zeros b's.
inline double blendBits(double a, double b, uint64_t keep)
{
    return std::bit_cast<double>((std::bit_cast<uint64_t>(a) & keep) |
                                 (std::bit_cast<uint64_t>(b) & ~keep));
}

struct BellLanes
{
    // Filters (a bell's two channels share its coefficients).
    alignas(kLaneAlign) double b0[kBellLanes];
    alignas(kLaneAlign) double b1[kBellLanes];
    alignas(kLaneAlign) double b2[kBellLanes];
    alignas(kLaneAlign) double a1[kBellLanes];
    alignas(kLaneAlign) double a2[kBellLanes];
    alignas(kLaneAlign) double s1[kBellLanes];
    alignas(kLaneAlign) double s2[kBellLanes];
    // Envelopes.
    alignas(kLaneAlign) double attack[kBellLanes];
    alignas(kLaneAlign) double release[kBellLanes];
    alignas(kLaneAlign) double envelope[kBellLanes];
    // Gates; an inactive bell's gate keeps its state and asks for 1.0.
    alignas(kLaneAlign) double active[kBellLanes];
    alignas(kLaneAlign) double eligibleClosed[kBellLanes];
    alignas(kLaneAlign) double eligibleOpen[kBellLanes];
    alignas(kLaneAlign) double openPower[kBellLanes];
    alignas(kLaneAlign) double closePower[kBellLanes];
    alignas(kLaneAlign) double fullPower[kBellLanes];
    alignas(kLaneAlign) double targetGain[kBellLanes];
    alignas(kLaneAlign) double open[kBellLanes];
    alignas(kLaneAlign) double amount[kBellLanes];
    alignas(kLaneAlign) double ramp[kBellLanes];
    alignas(kLaneAlign) double gain[kBellLanes];
    // A ramp's amount as a line in the logarithm of the power.
    alignas(kLaneAlign) double rampScale[kBellLanes];
    alignas(kLaneAlign) double rampOffset[kBellLanes];
    // Dip meter sums, per bell.
    alignas(kLaneAlign) double dipSum[kBellCount];
    alignas(kLaneAlign) double dipCount[kBellCount];

    void load(DynamicBell bells[kBellCount], const BellChunk chunks[kBellCount]);
    void store(DynamicBell bells[kBellCount]) const;

    // One sample of every bell: what the bells remove is added to sub0/sub1
    // (bell by bell).
    OSTREL_INLINE_IN_CLONES void step(BellDelayLine& line, double in0, double in1, int readPos,
                                      int writePos, bool primed, double glideCoef,
                                      double levelDecay, double& sub0, double& sub1)
    {
        alignas(kLaneAlign) double removed[kBellLanes];
        stepRemoved(line, in0, in1, readPos, writePos, primed, glideCoef, levelDecay, removed);
        if (primed)
            addRemoved(removed, sub0, sub1);
    }

    // What the bells remove of one sample, added bell by bell.
    OSTREL_INLINE_IN_CLONES static void addRemoved(const double removed[kBellLanes], double& sub0,
                                                   double& sub1)
    {
        for (int b = 0; b < kBellCount; ++b)
        {
            sub0 += removed[bellLane(b, 0)];
            sub1 += removed[bellLane(b, 1)];
        }
    }

    // One sample of every bell: each lane's removed part (its dip applied to
    // its lookahead-delayed signal) into removed, zeros until primed.
    OSTREL_INLINE_IN_CLONES void stepRemoved(BellDelayLine& line, double in0, double in1,
                                             int readPos, int writePos, bool primed,
                                             double glideCoef, double levelDecay,
                                             double removed[kBellLanes])
    {
        const double x0 = analysedSample(in0);
        const double x1 = analysedSample(in1);
        alignas(kLaneAlign) double z[kBellLanes];
        OSTREL_LANE_LOOP
        for (int l = 0; l < kBellLanes; ++l)
        {
            // A select of the two inputs, not an array of them written lane
            // by lane: the vector load of such an array waits for its stores.
            const double x = l < kBellCount ? x0 : x1;
            const double out = b0[l] * x + s1[l];
            s1[l] = b1[l] * x - a1[l] * out + s2[l];
            s2[l] = b2[l] * x - a2[l] * out;
            z[l] = out;
            followEnvelope(envelope[l], out, attack[l], release[l]);
        }
        std::memcpy(line.lanes[writePos], z, sizeof z);
        if (!primed)
        {
            OSTREL_LANE_LOOP
            for (int l = 0; l < kBellLanes; ++l)
                removed[l] = 0.0;
            return;
        }
        alignas(kLaneAlign) double y[kBellLanes];
        std::memcpy(y, line.lanes[readPos], sizeof y);

        uint64_t anyRamp = 0;
        OSTREL_LANE_LOOP
        for (int l = 0; l < kBellLanes; ++l)
        {
            double o = open[l];
            double a = amount[l];
            const double r = gateLaneStep(o, a, envelope[l], eligibleClosed[l], eligibleOpen[l],
                                          openPower[l], closePower[l], fullPower[l], levelDecay);
            const bool on = active[l] != 0.0;
            // A bit blend, not a select: GCC turns the select into masked
            // stores, which the next sample's loads of these lanes wait on.
            const uint64_t keep = uint64_t{0} - static_cast<uint64_t>(on);
            open[l] = blendBits(o, open[l], keep);
            amount[l] = blendBits(a, amount[l], keep);
            ramp[l] = on ? r : 0.0;
            anyRamp |= std::bit_cast<uint64_t>(ramp[l]);
        }
        if (anyRamp != 0)
        {
            OSTREL_LANE_LOOP
            for (int l = 0; l < kBellLanes; ++l)
            {
                const double a =
                    gateRampAmountFromLn(logLane(envelope[l] + 1e-30), rampScale[l], rampOffset[l]);
                amount[l] = ramp[l] != 0.0 ? a : amount[l];
            }
        }
        alignas(kLaneAlign) double dip[kBellLanes];
        OSTREL_LANE_LOOP
        for (int l = 0; l < kBellLanes; ++l)
        {
            const double target =
                active[l] != 0.0 ? gateLaneTarget(open[l], amount[l], targetGain[l]) : 1.0;
            glideGainLane(gain[l], target, glideCoef);
            dip[l] = 1.0 - gain[l];
            removed[l] = dip[l] * y[l];
        }
        OSTREL_LANE_LOOP
        for (int b = 0; b < kBellCount; ++b)
        {
            const double d0 = dip[bellLane(b, 0)];
            const double d1 = dip[bellLane(b, 1)];
            const double v = d0 > d1 ? d0 : d1;
            const bool dipped = v > 1e-6;
            dipSum[b] += dipped ? v : 0.0;
            dipCount[b] += dipped ? 1.0 : 0.0;
        }
    }
};

} // namespace ostrel
