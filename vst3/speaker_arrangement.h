// The VST 3 speaker arrangement the plug-in declares for a bus of n
// channels, and the channel count of an arrangement a host asks for.
#pragma once

#include "pluginterfaces/vst/vsttypes.h"

namespace plugfw
{

// 0 (empty) for widths without a standard arrangement.
Steinberg::Vst::SpeakerArrangement SpeakerArrangementFor(int nChannels);

// One channel per speaker bit.
int ChannelCountOf(Steinberg::Vst::SpeakerArrangement arrangement);

} // namespace plugfw
