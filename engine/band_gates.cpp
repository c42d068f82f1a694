#include "engine/band_gates.h"

#include "engine/gate_threshold_powers.h"

namespace ostrel
{

GateThresholdPowers gateThresholdPowers(double openThresholdDb, double closeThresholdDb,
                                        double amountDivisor)
{
    GateThresholdPowers p;
    p.open = std::pow(10.0, openThresholdDb / 10.0);
    p.close = std::pow(10.0, closeThresholdDb / 10.0);
    p.full = std::pow(10.0, (openThresholdDb + amountDivisor) / 10.0);
    return p;
}

namespace
{

// Whether the gate can be considered at all this period.
bool gateCanAct(const GateSetupInputs& in)
{
    return in.sourceLive && in.weightedSpread > in.spreadFloor && in.maskSpread > kGateMinSpread;
}

} // namespace

GateSetup makeGateSetup(const GateSetupInputs& in, const GateThresholdPowers& powers)
{
    GateSetup g;
    const bool base = gateCanAct(in);
    g.eligibleClosed = base && in.prominenceDb > in.prominenceThresholdDb;
    g.eligibleOpen = base && in.prominenceDb > in.prominenceThresholdDb - 3.0;
    g.openThresholdDb = in.openThresholdDb;
    g.amountDivisor = in.amountDivisor;
    g.targetGain = in.targetGain;
    if (base)
    {
        const double spreadPower = in.maskSpread * in.maskSpread;
        g.spreadDb = 20.0 * std::log10(in.maskSpread);
        g.openPower = spreadPower * powers.open;
        g.closePower = spreadPower * powers.close;
        g.fullPower = spreadPower * powers.full;
    }
    return g;
}

GateSetup makeGateSetup(const GateSetupInputs& in)
{
    // A gate that cannot act needs no powers.
    if (!gateCanAct(in))
        return makeGateSetup(in, GateThresholdPowers{});
    return makeGateSetup(
        in, gateThresholdPowers(in.openThresholdDb, in.closeThresholdDb, in.amountDivisor));
}

} // namespace ostrel
