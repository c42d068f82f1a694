// A door into MaskingStage for the reference paths, which step the gates a
// band at a time as the loops did before the lanes, and for tests that seed a
// state the stage's face does not reach by itself (an open gate, a held
// envelope, a shared gain).
#pragma once

#include "engine/masking_stage.h"

namespace ostrel
{

struct MaskingStageProbe
{
    static MaskerPeriod& period(MaskingStage& stage) { return stage.period_; }
    static GateState& gates(MaskingStage& stage) { return stage.gates_; }
    static StereoStatistics& stereo(MaskingStage& stage) { return stage.stereo_; }
    static SourceTracking& tracking(MaskingStage& stage) { return stage.tracking_; }
    static MaskingState& targets(MaskingStage& stage) { return stage.targets_; }
};

// A state every way back touches some of: the gates open at amount 0.5 and
// gain 0.3, the envelopes at 0.7, the targets at 0.2, a source held at 1.0,
// shared gains of 0.25 and the lookahead refilled to 7 samples.
inline void seedMaskingStage(MaskingStage& stage)
{
    GateState& gates = MaskingStageProbe::gates(stage);
    for (int k = 0; k < kBandCount; ++k)
    {
        gates.gateOpen0[k] = 1;
        gates.gateOpen1[k] = 1;
        gates.gateAmount0[k] = 0.5;
        gates.gateAmount1[k] = 0.5;
        gates.gateGain0[k] = 0.3;
        gates.gateGain1[k] = 0.3;
        gates.bandEnvelope0[k] = 0.7;
        gates.bandEnvelope1[k] = 0.7;
        MaskingStageProbe::targets(stage).blockGain[k] = 0.2;
        MaskingStageProbe::tracking(stage).heldSourceLevel[k] = 1.0;
        MaskingStageProbe::tracking(stage).sharedGains[k] = 0.25f;
    }
    gates.warmupCount = 7;
}

} // namespace ostrel
