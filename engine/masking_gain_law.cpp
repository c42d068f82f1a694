#include "engine/masking_gain_law.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

ChunkThresholds chunkThresholds(bool self, double selectivity, double depthDb, double depthBiasDb)
{
    ChunkThresholds th;
    th.openThresholdDb = selectivity;
    th.closeThresholdDb = selectivity - 3.0;
    th.prominenceThresholdDb = (self ? 3.0 : 0.0) + 0.5 + 0.5 * (selectivity - 3.0);
    // Self dips its own peaks; at deeper settings it reaches the full dip with
    // less excess (14 dB at Depth 0 down to 10 dB at -48 dB).
    th.bandAmountDivisor = self ? 14.0 - 4.0 * std::clamp(-depthDb / 48.0, 0.0, 1.0) : 12.0;
    th.bellAmountDivisor = 12.0;
    th.depthFloor = std::pow(10.0, depthDb / 20.0);
    th.margin = std::pow(10.0, depthBiasDb / 20.0);
    return th;
}

ChunkSmoothing chunkSmoothing(int n, double sampleRate)
{
    ChunkSmoothing sm;
    sm.attack = 1.0 - std::exp(-n / (0.005 * sampleRate));
    sm.release = 1.0 - std::exp(-n / (0.05 * sampleRate));
    return sm;
}

double balanceMismatch(float srcBalance, double p0, double p1)
{
    const double srcBal = std::isnan(srcBalance) ? 0.0 : static_cast<double>(srcBalance);
    const double sum = p0 + p1;
    const double myBal = sum <= 1e-20 ? 0.0 : (p0 - p1) / sum;
    return std::min(1.0, std::fabs(srcBal - myBal));
}

double bandTargetGain(int k, const BandTargetInputs& in, const ChunkThresholds& th)
{
    double u;
    if (!in.sourceLive || !(in.maskSpread > kSilentLevel) || !(in.own > kSilentLevel))
        u = 1.0;
    else if (in.useShared)
        u = std::min(1.0, std::max(in.sharedGain, th.depthFloor));
    else
        u = std::clamp(th.margin * in.maskSpread / in.own, th.depthFloor, 1.0);
    // A Masker panned away from its Source covers it less: give back 70 % of
    // the mismatch in band 0, falling to 20 % in band 23.
    if (in.mismatch > 0.0 && u < 1.0)
        u = u + in.mismatch * (0.7 - 0.5 * k / (kBandCount - 1.0)) * (1.0 - u);
    return u;
}

double smoothAndGuard(double u, double& blockGain, const ChunkSmoothing& sm, double depthFloor,
                      double lowGuardWeight, double highGuardWeight)
{
    const double coef = u < blockGain ? sm.attack : sm.release;
    blockGain += coef * (u - blockGain);
    double t = std::clamp(blockGain, depthFloor, 1.0);
    if (lowGuardWeight < 1.0)
        t = 1.0 - lowGuardWeight * (1.0 - t);
    if (highGuardWeight < 1.0)
        t = 1.0 - highGuardWeight * (1.0 - t);
    return t;
}

} // namespace ostrel
