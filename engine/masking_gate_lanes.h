// The band gates of one chunk as lanes: their set-ups as structure of
// arrays and the open flags as doubles, so a sample's step over the bands
// vectorises; the runs of bands that have come to rest are left out.
#pragma once

#include "engine/band_gates.h"
#include "engine/band_layout.h"
#include "engine/band_tables.h"
#include "engine/engine_state.h"
#include "engine/lane_log.h"
#include "engine/stereo_link.h"
#include "engine/vector_clones.h"

#include <bit>
#include <cstdint>

namespace ostrel
{

// The chunk's band gates as lanes: their setups as structure of arrays and
// the open flags as doubles, so a sample's step over the bands vectorises.
struct BandGateLanes
{
    alignas(kLaneAlign) double eligibleClosed[kBandCount];
    alignas(kLaneAlign) double eligibleOpen[kBandCount];
    alignas(kLaneAlign) double openPower[kBandCount];
    alignas(kLaneAlign) double closePower[kBandCount];
    alignas(kLaneAlign) double fullPower[kBandCount];
    alignas(kLaneAlign) double targetGain[kBandCount];
    alignas(kLaneAlign) double open0[kBandCount];
    alignas(kLaneAlign) double open1[kBandCount];
    alignas(kLaneAlign) double ramp0[kBandCount];
    alignas(kLaneAlign) double ramp1[kBandCount];
    alignas(kLaneAlign) double rampScale[kBandCount];
    alignas(kLaneAlign) double rampOffset[kBandCount];

    void load(const GateSetup setups[kBandCount], const GateState& gates)
    {
        for (int m = 0; m < kBandCount; ++m)
        {
            const GateSetup& g = setups[m];
            loadGateSetupLane(*this, m, g);
            const GateRampLine ramp = gateRampLine(g);
            rampScale[m] = ramp.scale;
            rampOffset[m] = ramp.offset;
            open0[m] = gates.gateOpen0[m] != 0 ? 1.0 : 0.0;
            open1[m] = gates.gateOpen1[m] != 0 ? 1.0 : 0.0;
        }
    }
    void store(GateState& gates) const
    {
        for (int m = 0; m < kBandCount; ++m)
        {
            gates.gateOpen0[m] = open0[m] != 0.0 ? 1 : 0;
            gates.gateOpen1[m] = open1[m] != 0.0 ? 1 : 0;
        }
    }

    // Whether any gate of bands [from, to) may open in this chunk.
    bool anyEligible(int from, int to) const
    {
        uint64_t any = 0;
        for (int m = from; m < to; ++m)
            any |= std::bit_cast<uint64_t>(eligibleClosed[m]) |
                   std::bit_cast<uint64_t>(eligibleOpen[m]);
        return any != 0;
    }

    // Every gate of bands [from, to) closed with no amount and every gain at
    // exactly 1.0. With none of them eligible this is where a step leaves
    // them, so the steps after it change nothing there and may be left out.
    bool atRest(const GateState& gates, const BandGains& gains, int from, int to) const
    {
        bool rest = true;
        for (int m = from; m < to; ++m)
            rest &= open0[m] == 0.0 && open1[m] == 0.0 && gates.gateAmount0[m] == 0.0 &&
                    gates.gateAmount1[m] == 0.0 && gates.gateGain0[m] == 1.0 &&
                    gates.gateGain1[m] == 1.0 && gains.bandGain[0][m] == 1.0 &&
                    gains.bandGain[1][m] == 1.0;
        return rest;
    }
};

// Runs of eight bands: a run of gates that none may open comes to rest and is
// then left out of the sample steps for the rest of the chunk. The steps
// cover the runs from the first to the last that still move.
class GateRuns
{
public:
    static constexpr int kRun = 8;
    static constexpr int kRuns = kBandCount / kRun;
    static_assert(kBandCount % kRun == 0);

    explicit GateRuns(const BandGateLanes& lanes)
    {
        for (int r = 0; r < kRuns; ++r)
        {
            ineligible[r] = !lanes.anyEligible(r * kRun, r * kRun + kRun);
            waking += ineligible[r] ? 1 : 0;
        }
    }

    int from() const { return first; }
    int to() const { return last; }
    bool all() const { return first == 0 && last == kBandCount; }

    // After a step: marks the runs that have come to rest.
    void update(const BandGateLanes& lanes, const GateState& gates, const BandGains& gains)
    {
        if (waking == 0)
            return;
        for (int r = 0; r < kRuns; ++r)
            if (ineligible[r] && !resting[r] &&
                lanes.atRest(gates, gains, r * kRun, r * kRun + kRun))
            {
                resting[r] = true;
                --waking;
            }
        first = 0;
        while (first < kBandCount && resting[first / kRun])
            first += kRun;
        last = kBandCount;
        while (last > first && resting[last / kRun - 1])
            last -= kRun;
    }

private:
    bool ineligible[kRuns] = {};
    bool resting[kRuns] = {};
    int waking = 0; // ineligible runs not yet at rest
    int first = 0;
    int last = kBandCount;
};

// One sample of the gates, glides and stereo link of every band. A band that
// no gate considers and whose gains rest at 1.0 comes out of the full step
// closed and at 1.0; the select keeps that exact whatever the link says.
OSTREL_INLINE_IN_CLONES void stepBandGates(GateState& __restrict gates, BandGateLanes& __restrict l,
                                           BandGains& __restrict gains,
                                           const StereoStatistics& __restrict stereo,
                                           const BandTables& tables, int from, int to)
{
    const double levelDecay = tables.levelDecay;
    const double glideCoef = tables.glideCoef;
    for (int m = from; m < to; ++m)
    {
        l.ramp0[m] = gateLaneStep(l.open0[m], gates.gateAmount0[m], gates.bandEnvelope0[m],
                                  l.eligibleClosed[m], l.eligibleOpen[m], l.openPower[m],
                                  l.closePower[m], l.fullPower[m], levelDecay);
        l.ramp1[m] = gateLaneStep(l.open1[m], gates.gateAmount1[m], gates.bandEnvelope1[m],
                                  l.eligibleClosed[m], l.eligibleOpen[m], l.openPower[m],
                                  l.closePower[m], l.fullPower[m], levelDecay);
    }
    // A few lanes are on the ramp at a time; their amounts take a logarithm,
    // computed in one vectorised pass over each run of eight bands that
    // holds one, and kept where a lane is on the ramp.
    constexpr int kRun = GateRuns::kRun;
    for (int first = from; first < to; first += kRun)
    {
        // The flags are +0.0 or 1.0: OR-ing their bits is a vector reduction,
        // where comparing each would be a scalar chain.
        uint64_t anyRamp = 0;
        for (int m = first; m < first + kRun; ++m)
            anyRamp |= std::bit_cast<uint64_t>(l.ramp0[m]) | std::bit_cast<uint64_t>(l.ramp1[m]);
        if (anyRamp == 0)
            continue;
        for (int m = first; m < first + kRun; ++m)
        {
            const double a0 = gateRampAmountFromLn(logLane(gates.bandEnvelope0[m] + 1e-30),
                                                   l.rampScale[m], l.rampOffset[m]);
            const double a1 = gateRampAmountFromLn(logLane(gates.bandEnvelope1[m] + 1e-30),
                                                   l.rampScale[m], l.rampOffset[m]);
            gates.gateAmount0[m] = l.ramp0[m] != 0.0 ? a0 : gates.gateAmount0[m];
            gates.gateAmount1[m] = l.ramp1[m] != 0.0 ? a1 : gates.gateAmount1[m];
        }
    }
    for (int m = from; m < to; ++m)
    {
        const double rest = laneMask(l.eligibleOpen[m] == 0.0) *
                            laneMask(gates.gateGain0[m] == 1.0) *
                            laneMask(gates.gateGain1[m] == 1.0);
        double g0 = gates.gateGain0[m];
        double g1 = gates.gateGain1[m];
        glideGainLane(g0, gateLaneTarget(l.open0[m], gates.gateAmount0[m], l.targetGain[m]),
                      glideCoef);
        glideGainLane(g1, gateLaneTarget(l.open1[m], gates.gateAmount1[m], l.targetGain[m]),
                      glideCoef);
        gates.gateGain0[m] = rest != 0.0 ? 1.0 : g0;
        gates.gateGain1[m] = rest != 0.0 ? 1.0 : g1;
        linkChannelGains(g0, g1, stereo.stereoLink[m], stereo.linkRatio[m]);
        gains.bandGain[0][m] = rest != 0.0 ? 1.0 : g0;
        gains.bandGain[1][m] = rest != 0.0 ? 1.0 : g1;
    }
}

} // namespace ostrel
