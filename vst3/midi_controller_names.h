// The display names of the 128 MIDI controllers, as hosts show them for the
// controller parameters of a plug-in with MIDI input.
#pragma once

namespace plugfw
{

// Name of controller `n` (0..127); "" outside that range.
const char* MidiControllerName(int n);

} // namespace plugfw
