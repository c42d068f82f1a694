#include "vst3/midi_controller_ids.h"

#include <algorithm>

namespace plugfw
{

bool MidiControllerAssignment(int busIndex, int channel, int controller,
                              Steinberg::Vst::ParamID& id)
{
    // A negative channel or a number beyond the channel's block would name
    // ids of another channel's block (or below the block), so they map to
    // nothing.
    if (busIndex != 0 || channel != 0 || controller < 0 || controller >= kMidiControllersPerChannel)
        return false;
    id = kMidiControllerParamBase +
         static_cast<Steinberg::Vst::ParamID>(channel * kMidiControllersPerChannel + controller);
    return true;
}

MidiMsg MidiMsgForControllerParam(Steinberg::Vst::ParamID id, double value, int sampleOffset)
{
    const int index = static_cast<int>(id - kMidiControllerParamBase);
    const int k = index % kMidiControllersPerChannel;
    const int channel = (index / kMidiControllersPerChannel) & 0x0F;
    const double v = std::clamp(value, 0.0, 1.0);
    MidiMsg msg;
    msg.offset = sampleOffset;
    if (k == kMidiAftertouchOffset)
    {
        msg.status = static_cast<uint8_t>(0xD0 | channel);
        msg.data1 = static_cast<uint8_t>(static_cast<int>(v * 127.0));
        msg.data2 = 0;
    }
    else if (k == kMidiPitchBendOffset)
    {
        const int bend = std::clamp(8192 - static_cast<int>((2.0 * v - 1.0) * -8192.0), 0, 16383);
        msg.status = static_cast<uint8_t>(0xE0 | channel);
        msg.data1 = static_cast<uint8_t>(bend & 0x7F);
        msg.data2 = static_cast<uint8_t>(bend >> 7);
    }
    else
    {
        msg.status = static_cast<uint8_t>(0xB0 | channel);
        msg.data1 = static_cast<uint8_t>(k);
        msg.data2 = static_cast<uint8_t>(static_cast<int>(v * 127.0));
    }
    return msg;
}

} // namespace plugfw
