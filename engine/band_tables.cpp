#include "engine/band_tables.h"

namespace ostrel
{

void BandTables::build(double rate)
{
    sampleRate = rate;
    computeBandEdges(edgeHz);
    for (int k = 0; k < kBandCount; ++k)
    {
        centreHz[k] = bandCentreHz(edgeHz, k);
        bandWeight[k] = weightingGain(centreHz[k]);
        const double attack = onePoleFromMs(envelopeAttackMs(centreHz[k]), rate);
        const double release = onePoleFromMs(envelopeReleaseMs(centreHz[k]), rate);
        for (int c = 0; c < 2; ++c)
        {
            bandAttack[c][k] = attack;
            bandRelease[c][k] = release;
        }
        unityGains[k] = 1.0;
    }
    glideCoef = glideCoefficient(rate);
    levelDecay = levelDecayFactor(rate);
}

} // namespace ostrel
