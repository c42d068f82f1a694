#include "engine/bell_lanes.h"

namespace ostrel
{

void BellLanes::load(DynamicBell bells[kBellCount], const BellChunk chunks[kBellCount])
{
    for (int b = 0; b < kBellCount; ++b)
    {
        DynamicBell& bell = bells[b];
        const BellChunk& chunk = chunks[b];
        const GateSetup& g = chunk.gate;
        for (int c = 0; c < 2; ++c)
        {
            const int l = bellLane(b, c);
            const Biquad& f = c == 0 ? bell.bellFilter0 : bell.bellFilter1;
            b0[l] = f.b0;
            b1[l] = f.b1;
            b2[l] = f.b2;
            a1[l] = f.a1;
            a2[l] = f.a2;
            s1[l] = f.s1;
            s2[l] = f.s2;
            attack[l] = bell.bellAttack;
            release[l] = bell.bellRelease;
            envelope[l] = c == 0 ? bell.bellEnvelope0 : bell.bellEnvelope1;
            active[l] = chunk.active ? 1.0 : 0.0;
            loadGateSetupLane(*this, l, g);
            open[l] = (c == 0 ? bell.bellGateOpen0 : bell.bellGateOpen1) != 0 ? 1.0 : 0.0;
            amount[l] = c == 0 ? bell.bellGateAmount0 : bell.bellGateAmount1;
            gain[l] = c == 0 ? bell.bellGain0 : bell.bellGain1;
            const GateRampLine line = gateRampLine(g);
            rampScale[l] = line.scale;
            rampOffset[l] = line.offset;
        }
        dipSum[b] = bell.dipSum;
        dipCount[b] = bell.dipCount;
    }
}

void BellLanes::store(DynamicBell bells[kBellCount]) const
{
    for (int b = 0; b < kBellCount; ++b)
    {
        DynamicBell& bell = bells[b];
        const int l0 = bellLane(b, 0);
        const int l1 = bellLane(b, 1);
        bell.bellFilter0.s1 = s1[l0];
        bell.bellFilter0.s2 = s2[l0];
        bell.bellFilter1.s1 = s1[l1];
        bell.bellFilter1.s2 = s2[l1];
        bell.bellEnvelope0 = envelope[l0];
        bell.bellEnvelope1 = envelope[l1];
        bell.bellGateOpen0 = open[l0] != 0.0 ? 1 : 0;
        bell.bellGateOpen1 = open[l1] != 0.0 ? 1 : 0;
        bell.bellGateAmount0 = amount[l0];
        bell.bellGateAmount1 = amount[l1];
        bell.bellGain0 = gain[l0];
        bell.bellGain1 = gain[l1];
        bell.dipSum = dipSum[b];
        bell.dipCount = static_cast<int>(dipCount[b]);
    }
}

} // namespace ostrel
