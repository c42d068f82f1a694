// A door into BellStage for the reference paths, which drive the bells a bell
// at a time as the loops did before the lanes, and for tests and benchmarks
// that seed a state the stage's face does not reach by itself (a dip held at
// a given gain, a meter value).
#pragma once

#include "engine/bell_stage.h"

namespace ostrel
{

struct BellStageProbe
{
    static DynamicBell& bell(BellStage& stage, int b) { return stage.bells_[b]; }
    static BellDelayLine& line(BellStage& stage) { return stage.delay_; }
};

} // namespace ostrel
