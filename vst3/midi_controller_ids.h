// Parameter ids above the plug-in's own: the host-side bypass, the preset
// selector, and one block of 130 ids per MIDI channel (128 controllers,
// channel aftertouch, pitch bend) through which hosts deliver MIDI
// controllers to a VST 3 plug-in; and their conversion to MIDI messages.
#pragma once

#include "framework/editor_delegate.h"

#include "pluginterfaces/vst/vsttypes.h"

namespace plugfw
{

inline constexpr Steinberg::Vst::ParamID kBypassParamId = 0x10000;
inline constexpr Steinberg::Vst::ParamID kPresetParamId = 0x10001;
inline constexpr Steinberg::Vst::ParamID kMidiControllerParamBase = 0x10002;
inline constexpr int kMidiControllersPerChannel = 130; // 128 CCs, aftertouch, pitch bend
inline constexpr int kMidiAftertouchOffset = 128;
inline constexpr int kMidiPitchBendOffset = 129;

// The parameter id a host should send MIDI controller `controller` of
// `channel` on event bus `busIndex` as. False for other buses, channels
// other than the first, and numbers outside the 130 of a channel.
bool MidiControllerAssignment(int busIndex, int channel, int controller,
                              Steinberg::Vst::ParamID& id);

// The MIDI message for a value (0..1) of a controller parameter
// (id >= kMidiControllerParamBase).
MidiMsg MidiMsgForControllerParam(Steinberg::Vst::ParamID id, double value, int sampleOffset);

} // namespace plugfw
