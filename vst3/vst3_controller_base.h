// plugfw::Vst3ControllerBase: the controller side of the VST 3
// binding. It publishes the plug-in's parameters and their units to the
// SDK's containers (the host-side bypass first, then one parameter per
// IParam, MIDI controller parameters when the plug-in takes MIDI), and
// keeps the channel context the host reports, with the accessors through
// which the plug-in reads its track's name, index and colour.
#pragma once

#include "framework/editor_delegate.h"
#include "vst3/channel_context.h"

#include "public.sdk/source/vst/vsteditcontroller.h"

#include <string>
#include <vector>

namespace plugfw
{

class Vst3ControllerBase
{
public:
    Vst3ControllerBase() = default;
    virtual ~Vst3ControllerBase() = default;

    // Track information as the host last reported it (main thread).
    void TrackName(std::string& name) const { name = mChannelContext.name; }
    void TrackNamespace(std::string& text) const { text = mChannelContext.indexNamespace; }
    int TrackIndex() const { return static_cast<int>(mChannelContext.index); }
    int TrackNamespaceIndex() const { return static_cast<int>(mChannelContext.namespaceOrder); }
    void TrackColour(int& r, int& g, int& b) const;
    const ChannelContextInfo& GetChannelContext() const { return mChannelContext; }
    // After the host reported track information (main thread); empty default.
    virtual void TrackInfoChanged() {}

protected:
    // Units, then parameters in the order hosts list them. `isInstrument`
    // puts the host-side bypass last instead of first.
    void InitParameters(Steinberg::Vst::EditControllerEx1& controller,
                        Steinberg::Vst::ParameterContainer& parameters, IEditorDelegate& delegate,
                        bool isInstrument, bool midiIn);

    ChannelContextInfo mChannelContext;

private:
    Steinberg::Vst::UnitID UnitOfGroup(Steinberg::Vst::EditControllerEx1& controller,
                                       const char* group);
    void AddMidiControllerParameters(Steinberg::Vst::EditControllerEx1& controller,
                                     Steinberg::Vst::ParameterContainer& parameters);

    std::vector<std::string> mGroups;
};

} // namespace plugfw
