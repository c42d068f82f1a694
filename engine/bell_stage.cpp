#include "engine/bell_stage.h"

namespace ostrel
{

void BellStage::reset(double sampleRate)
{
    // The bells' settings stay as the parameters set them; the working state
    // starts unset and neutral.
    for (int b = 0; b < kBellCount; ++b)
    {
        resetBellState(bells_[b], sampleRate);
        delay_.clearBell(b);
    }
}

void BellStage::settle()
{
    for (DynamicBell& bell : bells_)
        resetBellGates(bell);
}

void BellStage::freshen(double sampleRate)
{
    for (int b = 0; b < kBellCount; ++b)
    {
        DynamicBell& bell = bells_[b];
        if (bellAtRest(bell))
        {
            // Its filters and delay lines stood still and hold old audio.
            const float freq = bell.bellFreqSmoothed;
            const float q = bell.bellQSmoothed;
            resetBellState(bell, sampleRate);
            delay_.clearBell(b);
            bell.bellFreqSmoothed = freq;
            bell.bellQSmoothed = q;
        }
        else
        {
            // Still releasing: filters and delay lines ran; only the
            // envelopes and gates start afresh, the gains glide on.
            bell.bellEnvelope0 = 0.0;
            bell.bellEnvelope1 = 0.0;
            closeBellGates(bell);
        }
    }
}

void BellStage::finishMeters()
{
    for (DynamicBell& bell : bells_)
        finishBellMeter(bell);
}

bool BellStage::atRest() const
{
    for (const DynamicBell& bell : bells_)
        if (!bellAtRest(bell))
            return false;
    return true;
}

} // namespace ostrel
