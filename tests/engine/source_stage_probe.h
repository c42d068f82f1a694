// A door into SourceStage for the reference paths, which measure a Source's
// period sample by sample into the stage's own sums.
#pragma once

#include "engine/source_stage.h"

namespace ostrel
{

struct SourceStageProbe
{
    static MidLevelSums& sums(SourceStage& stage) { return stage.sums_; }
};

} // namespace ostrel
