// On Linux the host hands an X11 window id that supports XEmbed.
#include "vst3/editor_platform_type.h"

#include "pluginterfaces/gui/iplugview.h"

namespace plugfw
{

Steinberg::FIDString EditorPlatformType()
{
    return Steinberg::kPlatformTypeX11EmbedWindowID;
}

} // namespace plugfw
