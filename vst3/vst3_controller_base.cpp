#include "vst3/vst3_controller_base.h"

#include "framework/iparam.h"
#include "vst3/midi_controller_ids.h"
#include "vst3/midi_controller_names.h"
#include "vst3/vst3_parameter.h"

#include <cstdio>

namespace plugfw
{

using namespace Steinberg;

void Vst3ControllerBase::TrackColour(int& r, int& g, int& b) const
{
    const auto colour = static_cast<uint32_t>(mChannelContext.colour);
    r = static_cast<int>((colour >> 16) & 0xFF);
    g = static_cast<int>((colour >> 8) & 0xFF);
    b = static_cast<int>(colour & 0xFF);
}

Vst::UnitID Vst3ControllerBase::UnitOfGroup(Vst::EditControllerEx1& controller, const char* group)
{
    if (!group || !group[0])
        return Vst::kRootUnitId;
    for (size_t i = 0; i < mGroups.size(); ++i)
        if (mGroups[i] == group)
            return static_cast<Vst::UnitID>(i + 1);
    mGroups.emplace_back(group);
    const auto id = static_cast<Vst::UnitID>(mGroups.size());
    Vst::String128 name;
    Utf8ToString128(group, name);
    controller.addUnit(new Vst::Unit(name, id, Vst::kRootUnitId));
    return id;
}

void Vst3ControllerBase::InitParameters(Vst::EditControllerEx1& controller,
                                        Vst::ParameterContainer& parameters,
                                        IEditorDelegate& delegate, bool isInstrument, bool midiIn)
{
    mGroups.clear();
    controller.addUnit(new Vst::Unit(STR16("Root"), Vst::kRootUnitId, Vst::kNoParentUnitId,
                                     Vst::kNoProgramListId));

    if (!isInstrument)
        parameters.addParameter(new Vst3BypassParameter);

    for (int i = 0; i < delegate.NParams(); ++i)
    {
        IParam* param = delegate.GetParam(i);
        if (!param)
            continue;
        const Vst::UnitID unit = UnitOfGroup(controller, param->Group());
        parameters.addParameter(new Vst3Parameter(param, static_cast<Vst::ParamID>(i), unit));
    }

    if (isInstrument)
        parameters.addParameter(new Vst3BypassParameter);

    if (midiIn)
        AddMidiControllerParameters(controller, parameters);
}

void Vst3ControllerBase::AddMidiControllerParameters(Vst::EditControllerEx1& controller,
                                                     Vst::ParameterContainer& parameters)
{
    const auto ccUnit = static_cast<Vst::UnitID>(controller.getUnitCount() + 1);
    controller.addUnit(new Vst::Unit(STR16("MIDI CCs"), ccUnit, Vst::kRootUnitId));
    const auto channelUnit = static_cast<Vst::UnitID>(controller.getUnitCount() + 1);
    char channelName[16];
    std::snprintf(channelName, sizeof(channelName), "CH%i", 1);
    Vst::String128 name;
    Utf8ToString128(channelName, name);
    controller.addUnit(new Vst::Unit(name, channelUnit, ccUnit));

    for (int n = 0; n < 128; ++n)
    {
        Utf8ToString128(MidiControllerName(n), name);
        parameters.addParameter(name, nullptr, 0, 0.0, 0,
                                static_cast<int32>(kMidiControllerParamBase + n), channelUnit);
    }
    parameters.addParameter(STR16("Channel Aftertouch"), nullptr, 0, 0.0, 0,
                            static_cast<int32>(kMidiControllerParamBase + kMidiAftertouchOffset),
                            channelUnit);
    parameters.addParameter(STR16("Pitch Bend"), nullptr, 0, 0.5, 0,
                            static_cast<int32>(kMidiControllerParamBase + kMidiPitchBendOffset),
                            channelUnit);
}

} // namespace plugfw
