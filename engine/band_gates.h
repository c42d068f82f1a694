// The per-sample gates of the Masker/Self path. A gate decides, per band and
// channel, whether and how far the chunk's target gain is applied: it opens
// when the band's own envelope rises above the source's masking spread by the
// open threshold (and the band stands out from its neighbours), closes below
// the close threshold (3 dB hysteresis), and its amount grows with the excess.
// The bells use the same gate, judged against their nearest band.
//
// The thresholds are compared in the power domain, so a sample costs a
// logarithm only while the amount is on its ramp.
#pragma once

#include <cmath>
#include <cstdint>

namespace ostrel
{

// Minimal spread below which a band never gates (about -72 dBFS).
inline constexpr double kGateMinSpread = 2.5e-4;
// Envelope power (plus the 1e-30 offset) below which a band never gates:
// an amplitude of 1e-9.
inline constexpr double kGateMinPower = 1e-18;

// What one gate needs to know for one chunk, computed at block rate.
struct GateSetup
{
    bool eligibleClosed = false; // considered while closed (source, spread, prominence)
    bool eligibleOpen = false;   // considered while open (3 dB lower prominence bar)
    double openPower = 0.0;      // envelope power at the open threshold
    double closePower = 0.0;     // envelope power at the close threshold
    double fullPower = 0.0;      // envelope power at which the amount reaches 1
    double openThresholdDb = 0.0;
    double spreadDb = 0.0; // 20 log10(maskSpread)
    double amountDivisor = 12.0;
    double targetGain = 1.0; // gain at full amount
};

struct GateSetupInputs
{
    bool sourceLive = false;
    double maskSpread = 0.0;
    double weightedSpread = 0.0;
    double spreadFloor = 0.0;
    double prominenceDb = 0.0;
    double prominenceThresholdDb = 0.0;
    double openThresholdDb = 0.0;
    double closeThresholdDb = 0.0;
    double amountDivisor = 12.0;
    double targetGain = 1.0;
};

GateSetup makeGateSetup(const GateSetupInputs& in);

// One-pole power envelope: attack while the power rises above it, else release.
// A power that is not finite counts as 0.
inline void followEnvelope(double& envelope, double x, double attack, double release)
{
    double p = x * x;
    // Written as selects (NaN fails the comparison too) so loops over bands vectorise.
    p = p <= 1.7976931348623157e308 ? p : 0.0;
    envelope += (p - envelope) * (p > envelope ? attack : release);
}

// Runs the gate for one sample with the envelope as it now stands and returns
// the gain it asks for (1.0 while closed). levelDecay lets the amount fade
// (80 ms) while the level sits between the thresholds.
inline double gateStep(uint8_t& open, double& amount, double envelope, const GateSetup& g,
                       double levelDecay)
{
    const double power = envelope + 1e-30;
    const bool considered = (open ? g.eligibleOpen : g.eligibleClosed) && power > kGateMinPower;
    if (!considered)
    {
        open = 0;
        amount = 0.0;
        return 1.0;
    }
    if (open)
    {
        if (power < g.closePower)
        {
            open = 0;
            amount = 0.0;
            return 1.0;
        }
    }
    else
    {
        if (!(power > g.openPower))
            return 1.0;
        open = 1;
    }
    if (power > g.openPower)
    {
        if (power >= g.fullPower)
        {
            amount = 1.0;
        }
        else
        {
            const double lvl = 10.0 * std::log10(power) - g.spreadDb;
            const double a = (lvl - g.openThresholdDb) / g.amountDivisor;
            amount = a < 1.0 ? a : 1.0;
        }
    }
    else
    {
        amount *= levelDecay;
        if (amount < 1e-4)
            amount = 0.0;
    }
    return 1.0 + amount * (g.targetGain - 1.0);
}

// 1.0 where c holds, else 0.0: conditions as numbers, so they combine without
// branches (a branch over a comparison keeps a loop from vectorising).
inline double laneMask(bool c)
{
    return c ? 1.0 : 0.0;
}

// gateStep over many gates at once (lanes), written as selects so a loop over
// the lanes vectorises. open and the eligibilities are 0.0 or 1.0 here. An
// open lane whose power lies between the open and the full power is left "on
// the ramp": its amount takes a logarithm, which gateRampAmountFromLn computes
// afterwards for those lanes only. Returns 1.0 for a lane on the ramp.
inline double gateLaneStep(double& open, double& amount, double envelope, double eligibleClosed,
                           double eligibleOpen, double openPower, double closePower,
                           double fullPower, double levelDecay)
{
    const double power = envelope + 1e-30;
    const double wasOpen = laneMask(open != 0.0);
    const double eligible = wasOpen != 0.0 ? eligibleOpen : eligibleClosed;
    const double considered = eligible * laneMask(power > kGateMinPower);
    const double above = laneMask(power > openPower);
    const double held = 1.0 - laneMask(power < closePower);
    const double nowOpen = considered * (wasOpen != 0.0 ? held : above);
    const double product = amount * levelDecay;
    const double decayed = product < 1e-4 ? 0.0 : product;
    const double openAmount = above != 0.0 ? 1.0 : decayed;
    const double closedAmount = considered * (1.0 - wasOpen) != 0.0 ? amount : 0.0;
    amount = nowOpen != 0.0 ? openAmount : closedAmount;
    open = nowOpen;
    return nowOpen * above * (1.0 - laneMask(power >= fullPower));
}

// Copies a gate's chunk set-up into lane i of a structure of arrays (the
// band gates' and the bells' lanes name these fields alike).
template <class Lanes> void loadGateSetupLane(Lanes& lanes, int i, const GateSetup& g)
{
    lanes.eligibleClosed[i] = g.eligibleClosed ? 1.0 : 0.0;
    lanes.eligibleOpen[i] = g.eligibleOpen ? 1.0 : 0.0;
    lanes.openPower[i] = g.openPower;
    lanes.closePower[i] = g.closePower;
    lanes.fullPower[i] = g.fullPower;
    lanes.targetGain[i] = g.targetGain;
}

// The amount of a lane on the ramp, as gateStep computes it, from the
// natural logarithm of its power (envelope + 1e-30): the chunk's constants
// fold the decibels, the threshold and the divisor into one multiply-add
// (no division per sample).
struct GateRampLine
{
    double scale = 0.0;  // 10 log10(e) / amountDivisor
    double offset = 0.0; // (spreadDb + openThresholdDb) / amountDivisor
};

inline GateRampLine gateRampLine(const GateSetup& g)
{
    return {4.3429448190325182765 / g.amountDivisor,
            (g.spreadDb + g.openThresholdDb) / g.amountDivisor};
}

inline double gateRampAmountFromLn(double lnPower, double scale, double offset)
{
    const double a = scale * lnPower - offset;
    return a < 1.0 ? a : 1.0;
}

// The gain a lane asks for after gateLaneStep (and gateRampAmountFromLn).
// open is 0 or 1, amount and targetGain finite: a closed lane's product is
// a signed zero and 1.0 + (-0) is 1.0, so this equals the select it replaces
// without the select (AVX2 has no mask registers to make one cheap).
inline double gateLaneTarget(double open, double amount, double targetGain)
{
    return 1.0 + (open * amount) * (targetGain - 1.0);
}

// The 20 ms glide of an applied gain toward its target; snaps to exactly 1.0
// at the end of a release so a settled instance passes bit-exact.
inline void glideGain(double& gain, double target, double glideCoef)
{
    const double moved = gain + (target - gain) * glideCoef;
    const bool snap = target == 1.0 && std::fabs(1.0 - moved) < 1e-6;
    gain = snap ? 1.0 : moved;
}

// glideGain with its snap as a lane mask (a loop over lanes vectorises).
inline void glideGainLane(double& gain, double target, double glideCoef)
{
    const double moved = gain + (target - gain) * glideCoef;
    const double snap = laneMask(target == 1.0) * laneMask(std::fabs(1.0 - moved) < 1e-6);
    gain = snap != 0.0 ? 1.0 : moved;
}

} // namespace ostrel
