// A parameter defined from its row of the parameter table
// (engine/engine_settings.h), as hosts see it.
#pragma once

#include "engine/engine_settings.h"

namespace plugfw
{
class IParam;
}

namespace ostrel
{

void defineParam(plugfw::IParam& param, const ParamRow& row);

} // namespace ostrel
