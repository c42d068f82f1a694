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

} // namespace ostrel
