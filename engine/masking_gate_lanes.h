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
#include "engine/vector_version.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace ostrel
{

// The chunk's band gates as lanes: their setups as structure of arrays and
// the open flags as doubles, so a sample's step over the bands vectorises.
struct BandGateLanes
{
    alignas(kLaneAlign) double eligibleClosed[kBandCount];
    alignas(kLaneAlign) double eligibleOpen[kBandCount];
    // The eligibility, the floor power and the thresholds folded into one
    // bound per case, once a chunk (NaN where the case never holds, as no
    // comparison with it does): a closed gate opens where the power exceeds
    // openAt, keeps its amount where it exceeds keepAt; an open one stays
    // open where the power reaches stayAt.
    alignas(kLaneAlign) double openAt[kBandCount];
    alignas(kLaneAlign) double keepAt[kBandCount];
    alignas(kLaneAlign) double stayAt[kBandCount];
    alignas(kLaneAlign) double openPower[kBandCount];
    alignas(kLaneAlign) double fullPower[kBandCount];
    alignas(kLaneAlign) double targetStep[kBandCount]; // targetGain - 1
    alignas(kLaneAlign) double open0[kBandCount];
    alignas(kLaneAlign) double open1[kBandCount];
    alignas(kLaneAlign) double ramp0[kBandCount];
    alignas(kLaneAlign) double ramp1[kBandCount];
    alignas(kLaneAlign) double rampScale[kBandCount];
    alignas(kLaneAlign) double rampOffset[kBandCount];
    // Steps of a chunk that may gather their ramping lanes
    // (RampPass::Gathered), and those of them that did.
    int gatheringSteps = 0;
    int gatheredSteps = 0;

    // Band m's set-up for the chunk.
    void loadLane(int m, const GateSetup& g)
    {
        constexpr double kNever = std::numeric_limits<double>::quiet_NaN();
        // power > kGateMinPower is power >= the next double up from it.
        const double aboveFloor = std::nextafter(kGateMinPower, 2.0 * kGateMinPower);
        eligibleClosed[m] = g.eligibleClosed ? 1.0 : 0.0;
        eligibleOpen[m] = g.eligibleOpen ? 1.0 : 0.0;
        // A NaN threshold never passes, whatever the floor.
        openAt[m] = !g.eligibleClosed || std::isnan(g.openPower)
                        ? kNever
                        : std::max(g.openPower, kGateMinPower);
        keepAt[m] = g.eligibleClosed ? kGateMinPower : kNever;
        stayAt[m] = !g.eligibleOpen            ? kNever
                    : std::isnan(g.closePower) ? aboveFloor
                                               : std::max(g.closePower, aboveFloor);
        openPower[m] = g.openPower;
        fullPower[m] = g.fullPower;
        targetStep[m] = g.targetGain - 1.0;
        const GateRampLine ramp = gateRampLine(g);
        rampScale[m] = ramp.scale;
        rampOffset[m] = ramp.offset;
    }

    void load(const GateSetup setups[kBandCount], const GateState& gates)
    {
        for (int m = 0; m < kBandCount; ++m)
        {
            loadLane(m, setups[m]);
            open0[m] = gates.gateOpen0[m] != 0 ? 1.0 : 0.0;
            open1[m] = gates.gateOpen1[m] != 0 ? 1.0 : 0.0;
            // A chunk without a step leaves no ramp behind.
            ramp0[m] = 0.0;
            ramp1[m] = 0.0;
        }
        gatheringSteps = 0;
        gatheredSteps = 0;
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

// Room for every lane of both channels, gathered, in whole vectors of four.
inline constexpr int kRampLanes = (2 * kBandCount + 3) / 4 * 4;

// Bit m of each lane, as a table: a shift by the lane's index would keep
// the loop below from vectorising.
struct LaneBitTable
{
    alignas(kLaneAlign) uint64_t bit[kBandCount];
    constexpr LaneBitTable() : bit()
    {
        for (int m = 0; m < kBandCount; ++m)
            bit[m] = uint64_t{1} << m;
    }
};
inline constexpr LaneBitTable kLaneBits{};

// Bit m set where flags[m] is 1.0 (the flags are +0.0 or 1.0), m in [from, to).
OSTREL_INLINE_IN_CLONES uint64_t laneBits(const double* flags, int from, int to)
{
    static_assert(kBandCount <= 64);
    uint64_t bits = 0;
    for (int m = from; m < to; ++m)
        bits |= (uint64_t{0} - (std::bit_cast<uint64_t>(flags[m]) >> 61)) & kLaneBits.bit[m];
    return bits;
}

// How a sample's step takes the logarithms of the lanes on their ramp.
enum class RampPass
{
    // Over each group of eight bands holding a ramp: two vectors of eight
    // doubles (the version of eight-double vectors, which never gathers).
    WideGroups,
    // Over each group of four bands holding a ramp: two vectors of four.
    NarrowGroups,
    // The ramping lanes gathered into whole vectors of four where that
    // leaves enough out, else as NarrowGroups (RampGathering chooses).
    Gathered,
};

// Bands whose ramping lanes, both channels', take two vectors. Each
// channel's half is then one whole vector, written and read back as one.
template <RampPass kPass>
inline constexpr int kRampGroupBands = kPass == RampPass::WideGroups ? 8 : 4;

// Whether a lane of kBands bands from `first`, either channel, is on the
// ramp. The flags are +0.0 or 1.0: OR-ing their bits is a vector reduction
// (kept as a loop, so it is one), where comparing each is a scalar chain.
template <int kBands> OSTREL_INLINE_IN_CLONES bool groupHoldsRamp(const BandGateLanes& l, int first)
{
    uint64_t anyRamp = 0;
    OSTREL_LANE_LOOP
    for (int m = first; m < first + kBands; ++m)
        anyRamp |= std::bit_cast<uint64_t>(l.ramp0[m]) | std::bit_cast<uint64_t>(l.ramp1[m]);
    return anyRamp != 0;
}

// The ramp logarithms of kBands bands, both channels: a ramp seldom comes in
// one channel alone, so the two channels' lanes of the same bands go through
// the logarithm together.

template <int kBands>
OSTREL_INLINE_IN_CLONES void rampAmountsOfGroup(GateState& __restrict gates,
                                                const BandGateLanes& __restrict l, int first)
{
    alignas(kLaneAlign) double power[2 * kBands];
    alignas(kLaneAlign) double lnPower[2 * kBands];
    OSTREL_LANE_LOOP
    for (int i = 0; i < kBands; ++i)
    {
        power[i] = gates.bandEnvelope0[first + i] + 1e-30;
        power[kBands + i] = gates.bandEnvelope1[first + i] + 1e-30;
    }
    OSTREL_LANE_LOOP
    for (int i = 0; i < 2 * kBands; ++i)
        lnPower[i] = logLane(power[i]);
    OSTREL_LANE_LOOP
    for (int i = 0; i < kBands; ++i)
    {
        const int m = first + i;
        const double a0 = gateRampAmountFromLn(lnPower[i], l.rampScale[m], l.rampOffset[m]);
        const double a1 =
            gateRampAmountFromLn(lnPower[kBands + i], l.rampScale[m], l.rampOffset[m]);
        gates.gateAmount0[m] = l.ramp0[m] != 0.0 ? a0 : gates.gateAmount0[m];
        gates.gateAmount1[m] = l.ramp1[m] != 0.0 ? a1 : gates.gateAmount1[m];
    }
}

// Lanes that gathering must leave out of the passes over groups (a vector
// for each group holding a ramp) before it pays for itself: four vectors of
// four.
inline constexpr int kGatherSaving = 16;

// Whether the ramping lanes (bits of bands), gathered into whole vectors of
// four, leave kGatherSaving of the perGroup lanes out.
OSTREL_INLINE_IN_CLONES bool gatherSaves(uint64_t ramping0, uint64_t ramping1, int perGroup)
{
    const int count = std::popcount(ramping0) + std::popcount(ramping1);
    return perGroup - ((count + 3) & ~3) >= kGatherSaving;
}
OSTREL_INLINE_IN_CLONES bool gatherSaves(const BandGateLanes& l, int from, int to, int perGroup)
{
    return gatherSaves(laneBits(l.ramp0, from, to), laneBits(l.ramp1, from, to), perGroup);
}

// Where the ramping lanes of bands [from, to), gathered into whole vectors
// of four, leave kGatherSaving of the perGroup lanes out: their amounts,
// and true. Else nothing changes.
OSTREL_INLINE_IN_CLONES bool gatheredRampAmounts(GateState& __restrict gates,
                                                 const BandGateLanes& __restrict l, int from,
                                                 int to, int perGroup)
{
    const uint64_t ramping0 = laneBits(l.ramp0, from, to);
    const uint64_t ramping1 = laneBits(l.ramp1, from, to);
    if (!gatherSaves(ramping0, ramping1, perGroup))
        return false;

    alignas(kLaneAlign) double power[kRampLanes + 4];
    alignas(kLaneAlign) double lnPower[kRampLanes + 4];
    int n = 0;
    for (uint64_t bits = ramping0; bits != 0; bits &= bits - 1)
        power[n++] = gates.bandEnvelope0[std::countr_zero(bits)] + 1e-30;
    for (uint64_t bits = ramping1; bits != 0; bits &= bits - 1)
        power[n++] = gates.bandEnvelope1[std::countr_zero(bits)] + 1e-30;
    // The last vector's unused lanes take a finite power.
    for (int i = 0; i < 4; ++i)
        power[n + i] = 1.0;
    for (int v = 0; v < n; v += 4)
        for (int i = v; i < v + 4; ++i)
            lnPower[i] = logLane(power[i]);
    int i = 0;
    for (uint64_t bits = ramping0; bits != 0; bits &= bits - 1)
    {
        const int m = std::countr_zero(bits);
        gates.gateAmount0[m] = gateRampAmountFromLn(lnPower[i++], l.rampScale[m], l.rampOffset[m]);
    }
    for (uint64_t bits = ramping1; bits != 0; bits &= bits - 1)
    {
        const int m = std::countr_zero(bits);
        gates.gateAmount1[m] = gateRampAmountFromLn(lnPower[i++], l.rampScale[m], l.rampOffset[m]);
    }
    return true;
}

// gateLaneStep on a band's chunk bounds (BandGateLanes): the same open flag,
// amount and ramp, with fewer operations a lane. open is 0.0 or 1.0.
OSTREL_INLINE_IN_CLONES double bandGateLaneStep(const BandGateLanes& __restrict l, int m,
                                                double& open, double& amount, double envelope,
                                                double levelDecay)
{
    // Every comparison taken, combined bitwise: a condition that skips one
    // is a branch that keeps the loop from vectorising.
    const double power = envelope + 1e-30;
    const bool wasOpen = open != 0.0;
    const bool above = power > l.openPower[m];
    const bool stays = power >= l.stayAt[m];
    const bool opens = power > l.openAt[m];
    const bool keeps = power > l.keepAt[m];
    const bool full = power >= l.fullPower[m];
    const bool nowOpen = (wasOpen & stays) | (!wasOpen & opens);
    const double product = amount * levelDecay;
    const double decayed = product < 1e-4 ? 0.0 : product;
    // A closed gate that stays closed keeps its amount while considered.
    const double closedAmount = (!wasOpen & keeps) ? amount : 0.0;
    amount = nowOpen ? (above ? 1.0 : decayed) : closedAmount;
    open = nowOpen ? 1.0 : 0.0;
    return (nowOpen & above & !full) ? 1.0 : 0.0;
}

// One sample of the gates, glides and stereo link of every band. A band that
// no gate considers and whose gains rest at 1.0 comes out of it closed and at
// exactly 1.0 with no select for it: its target is 1.0, the glide stays there
// and the link, its ratio never below 1, pulls two gains of 1.0 nowhere.
// The ramp logarithms are taken as kPass says.
template <RampPass kPass>
OSTREL_INLINE_IN_CLONES void
stepBandGates(GateState& __restrict gates, BandGateLanes& __restrict l, BandGains& __restrict gains,
              const StereoStatistics& __restrict stereo, const BandTables& tables, int from, int to)
{
    const double levelDecay = tables.levelDecay;
    const double glideCoef = tables.glideCoef;
    constexpr int kBands = kRampGroupBands<kPass>;
    for (int m = from; m < to; ++m)
    {
        l.ramp0[m] = bandGateLaneStep(l, m, l.open0[m], gates.gateAmount0[m],
                                      gates.bandEnvelope0[m], levelDecay);
        l.ramp1[m] = bandGateLaneStep(l, m, l.open1[m], gates.gateAmount1[m],
                                      gates.bandEnvelope1[m], levelDecay);
    }
    // A few lanes are on the ramp at a time; their amounts take a logarithm.
    if constexpr (kPass == RampPass::Gathered)
    {
        bool holds[kBandCount / kBands] = {};
        int groupsHolding = 0;
        for (int first = from; first < to; first += kBands)
        {
            holds[first / kBands] = groupHoldsRamp<kBands>(l, first);
            groupsHolding += holds[first / kBands] ? 1 : 0;
        }
        ++l.gatheringSteps;
        // Two groups' lanes or fewer never save enough to gather.
        const bool gathered = groupsHolding > 2 &&
                              gatheredRampAmounts(gates, l, from, to, 2 * kBands * groupsHolding);
        l.gatheredSteps += gathered ? 1 : 0;
        if (!gathered)
            for (int first = from; groupsHolding != 0 && first < to; first += kBands)
                if (holds[first / kBands])
                    rampAmountsOfGroup<kBands>(gates, l, first);
    }
    else
    {
        for (int first = from; first < to; first += kBands)
            if (groupHoldsRamp<kBands>(l, first))
                rampAmountsOfGroup<kBands>(gates, l, first);
    }
    for (int m = from; m < to; ++m)
    {
        double g0 = gates.gateGain0[m];
        double g1 = gates.gateGain1[m];
        // gateLaneTarget with targetGain - 1 taken once a chunk.
        glideGainLane(g0, 1.0 + (l.open0[m] * gates.gateAmount0[m]) * l.targetStep[m], glideCoef);
        glideGainLane(g1, 1.0 + (l.open1[m] * gates.gateAmount1[m]) * l.targetStep[m], glideCoef);
        gates.gateGain0[m] = g0;
        gates.gateGain1[m] = g1;
        linkChannelGains(g0, g1, stereo.stereoLink[m], stereo.linkRatio[m]);
        gains.bandGain[0][m] = g0;
        gains.bandGain[1][m] = g1;
    }
}

// Whether a chunk's sample steps gather their ramping lanes: chosen per
// chunk from how the ramps fell in the chunk before, so a chunk that does
// not gather carries no test for it in its steps. Gathering pays where three
// or more groups of four bands hold a ramp with few lanes each, as where
// many tones stand out, and costs a little where the ramps keep to one or
// two groups. With eight doubles a vector a group's pass is two steps,
// about what gathering costs, so that version never gathers.
class RampGathering
{
public:
    bool gathers() const { return gather_; }

    // After a chunk's steps. A chunk that may gather keeps on while a
    // quarter of its steps or more did; one that did not looks at its last
    // step alone (no step of it counted): whether that one would have.
    void update(const BandGateLanes& lanes)
    {
        if (activeVectorVersion() == VectorVersion::Avx512)
        {
            gather_ = false;
            return;
        }
        if (lanes.gatheringSteps > 0)
        {
            gather_ = 4 * lanes.gatheredSteps >= lanes.gatheringSteps;
            return;
        }
        constexpr int kBands = kRampGroupBands<RampPass::Gathered>;
        int groupsHolding = 0;
        for (int first = 0; first < kBandCount; first += kBands)
            groupsHolding += groupHoldsRamp<kBands>(lanes, first) ? 1 : 0;
        gather_ = gatherSaves(lanes, 0, kBandCount, 2 * kBands * groupsHolding);
    }

private:
    bool gather_ = false;
};

} // namespace ostrel
