// On Windows the host hands a window handle.
#include "vst3/editor_platform_type.h"

#include "pluginterfaces/gui/iplugview.h"

namespace plugfw
{

Steinberg::FIDString EditorPlatformType()
{
    return Steinberg::kPlatformTypeHWND;
}

} // namespace plugfw
