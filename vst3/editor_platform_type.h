// The one kind of parent window the editor view embeds in on this platform
// (editor_platform_type_<platform>.cpp).
#pragma once

#include "pluginterfaces/base/ftypes.h"

namespace plugfw
{

Steinberg::FIDString EditorPlatformType();

} // namespace plugfw
