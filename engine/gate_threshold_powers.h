// The power factors of a period's gate thresholds. Every band (and every
// bell) of a period gates at the same thresholds, so the three powers of ten
// are taken once a period instead of once per band.
#pragma once

#include "engine/band_gates.h"

namespace ostrel
{

struct GateThresholdPowers
{
    double open = 1.0;  // 10^(openThresholdDb / 10)
    double close = 1.0; // 10^(closeThresholdDb / 10)
    double full = 1.0;  // 10^((openThresholdDb + amountDivisor) / 10)
};

GateThresholdPowers gateThresholdPowers(double openThresholdDb, double closeThresholdDb,
                                        double amountDivisor);

// As makeGateSetup(in), with the powers of in's thresholds already taken.
GateSetup makeGateSetup(const GateSetupInputs& in, const GateThresholdPowers& powers);

} // namespace ostrel
