// The VST 3 face of the plug-in's parameters: `Vst3Parameter`
// publishes one IParam (title, units, steps, default, flags, precision,
// unit) and converts through it; `Vst3BypassParameter` is the
// host-side bypass switch (id 0x10000), separate from the plug-in's own
// parameters.
#pragma once

#include "framework/iparam.h"

#include "public.sdk/source/vst/vstparameters.h"

namespace plugfw
{

class Vst3Parameter : public Steinberg::Vst::Parameter
{
public:
    Vst3Parameter(IParam* param, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unitId);

    IParam* GetIParam() const { return mParam; }

    void toString(Steinberg::Vst::ParamValue valueNormalized,
                  Steinberg::Vst::String128 string) const SMTG_OVERRIDE;
    bool fromString(const Steinberg::Vst::TChar* string,
                    Steinberg::Vst::ParamValue& valueNormalized) const SMTG_OVERRIDE;
    Steinberg::Vst::ParamValue
    toPlain(Steinberg::Vst::ParamValue valueNormalized) const SMTG_OVERRIDE;
    Steinberg::Vst::ParamValue
    toNormalized(Steinberg::Vst::ParamValue plainValue) const SMTG_OVERRIDE;

    OBJ_METHODS(Vst3Parameter, Parameter)

private:
    IParam* mParam;
};

class Vst3BypassParameter : public Steinberg::Vst::StringListParameter
{
public:
    Vst3BypassParameter();

    OBJ_METHODS(Vst3BypassParameter, StringListParameter)
};

// UTF-8 into a VST 3 String128 (at most 127 units and a terminator).
void Utf8ToString128(const char* text, Steinberg::Vst::String128 out);

} // namespace plugfw
