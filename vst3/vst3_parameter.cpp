#include "vst3/vst3_parameter.h"

#include "vst3/channel_context.h"
#include "vst3/midi_controller_ids.h"

#include <string>

namespace plugfw
{

void Utf8ToString128(const char* text, Steinberg::Vst::String128 out)
{
    size_t o = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*s && o < 127)
    {
        char32_t c = *s;
        int extra = 0;
        if (c >= 0xF0)
        {
            c &= 0x07;
            extra = 3;
        }
        else if (c >= 0xE0)
        {
            c &= 0x0F;
            extra = 2;
        }
        else if (c >= 0xC0)
        {
            c &= 0x1F;
            extra = 1;
        }
        else if (c >= 0x80)
        {
            c = 0xFFFD; // a stray continuation byte
        }
        ++s;
        for (; extra > 0 && (*s & 0xC0) == 0x80; --extra, ++s)
            c = (c << 6) | (*s & 0x3F);
        if (extra > 0)
            c = 0xFFFD; // cut short
        if (c >= 0x10000)
        {
            if (o + 2 > 127)
                break;
            c -= 0x10000;
            out[o++] = static_cast<Steinberg::Vst::TChar>(0xD800 + (c >> 10));
            out[o++] = static_cast<Steinberg::Vst::TChar>(0xDC00 + (c & 0x3FF));
        }
        else
        {
            out[o++] = static_cast<Steinberg::Vst::TChar>(c);
        }
    }
    out[o] = 0;
}

Vst3Parameter::Vst3Parameter(IParam* param, Steinberg::Vst::ParamID id,
                             Steinberg::Vst::UnitID unitId)
    : mParam(param)
{
    using Steinberg::Vst::ParameterInfo;
    info.id = id;
    Utf8ToString128(param->Name(), info.title);
    Utf8ToString128(param->Name(), info.shortTitle);
    Utf8ToString128(param->UnitLabel(), info.units);
    info.stepCount = param->GetType() == IParam::kTypeDouble
                         ? 0
                         : static_cast<Steinberg::int32>(param->Max() - param->Min());
    info.defaultNormalizedValue = param->ToNormalised(param->DefaultValue());
    info.unitId = unitId;
    info.flags = 0;
    if (!param->HasFlag(IParam::NotAutomatable))
        info.flags |= ParameterInfo::kCanAutomate;
    if (param->GetType() == IParam::kTypeEnum)
        info.flags |= ParameterInfo::kIsList;
    valueNormalized = info.defaultNormalizedValue;
    precision = param->DisplayPrecision();
}

void Vst3Parameter::toString(Steinberg::Vst::ParamValue valueNormalized,
                             Steinberg::Vst::String128 string) const
{
    char text[IParam::kTextSize] = {};
    mParam->FormatValue(valueNormalized, true, text, true);
    Utf8ToString128(text, string);
}

bool Vst3Parameter::fromString(const Steinberg::Vst::TChar* string,
                               Steinberg::Vst::ParamValue& valueNormalized) const
{
    const std::string text = Utf16ToUtf8(reinterpret_cast<const char16_t*>(string), 128);
    const std::optional<double> plain = mParam->ParseTypedText(text);
    if (!plain)
        return false;
    valueNormalized = mParam->ToNormalised(*plain);
    return true;
}

Steinberg::Vst::ParamValue Vst3Parameter::toPlain(Steinberg::Vst::ParamValue valueNormalized) const
{
    return mParam->FromNormalised(valueNormalized);
}

Steinberg::Vst::ParamValue Vst3Parameter::toNormalized(Steinberg::Vst::ParamValue plainValue) const
{
    return mParam->ToNormalised(plainValue);
}

Vst3BypassParameter::Vst3BypassParameter()
    : StringListParameter(STR16("Bypass"), kBypassParamId, nullptr,
                          Steinberg::Vst::ParameterInfo::kCanAutomate |
                              Steinberg::Vst::ParameterInfo::kIsList |
                              Steinberg::Vst::ParameterInfo::kIsBypass,
                          Steinberg::Vst::kRootUnitId)
{
    appendString(STR16("off"));
    appendString(STR16("on"));
}

} // namespace plugfw
