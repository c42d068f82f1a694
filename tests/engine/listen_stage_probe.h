// A door into ListenStage for the reference paths, which step the crossfades
// as the loops did before the stage had a face.
#pragma once

#include "engine/listen_stage.h"

namespace ostrel
{

struct ListenStageProbe
{
    static ListenState& state(ListenStage& stage) { return stage.l_; }
};

} // namespace ostrel
