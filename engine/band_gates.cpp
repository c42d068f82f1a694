#include "engine/band_gates.h"

namespace ostrel
{

GateSetup makeGateSetup(const GateSetupInputs& in)
{
    GateSetup g;
    const bool base =
        in.sourceLive && in.weightedSpread > in.spreadFloor && in.maskSpread > kGateMinSpread;
    g.eligibleClosed = base && in.prominenceDb > in.prominenceThresholdDb;
    g.eligibleOpen = base && in.prominenceDb > in.prominenceThresholdDb - 3.0;
    g.openThresholdDb = in.openThresholdDb;
    g.amountDivisor = in.amountDivisor;
    g.targetGain = in.targetGain;
    if (base)
    {
        const double spreadPower = in.maskSpread * in.maskSpread;
        g.spreadDb = 20.0 * std::log10(in.maskSpread);
        g.openPower = spreadPower * std::pow(10.0, in.openThresholdDb / 10.0);
        g.closePower = spreadPower * std::pow(10.0, in.closeThresholdDb / 10.0);
        g.fullPower = spreadPower * std::pow(10.0, (in.openThresholdDb + in.amountDivisor) / 10.0);
    }
    return g;
}

} // namespace ostrel
