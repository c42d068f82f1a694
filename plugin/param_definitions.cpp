#include "plugin/param_definitions.h"

#include "framework/iparam.h"
#include "framework/param_shape.h"

#include <string>

namespace ostrel
{

namespace
{

// The table's texts are literals: their views end where the literal does.
const char* text(std::string_view view)
{
    return view.empty() ? "" : view.data();
}

} // namespace

void defineParam(plugfw::IParam& param, const ParamRow& row)
{
    const std::string name(row.name);
    const char* unit = text(row.unit);
    constexpr int kNoFlags = 0;
    switch (row.type)
    {
    case ParamType::Bool:
        param.DefineBool(name.c_str(), row.defaultValue, unit, kNoFlags, "", text(row.hostTexts[0]),
                         text(row.hostTexts[1]));
        break;
    case ParamType::Int:
        param.DefineInt(name.c_str(), row.defaultValue, row.min, row.max, unit, kNoFlags, "");
        break;
    case ParamType::Enum:
    {
        const ParamTexts& t = row.hostTexts;
        param.DefineEnum(name.c_str(), row.defaultValue, static_cast<int>(row.max - row.min) + 1,
                         unit, kNoFlags, "",
                         {text(t[0]), text(t[1]), text(t[2]), text(t[3]), text(t[4])});
        break;
    }
    case ParamType::Double:
        if (row.shape == ParamShape::Cube)
            param.DefineDouble(name.c_str(), row.defaultValue, row.min, row.max, row.step, unit,
                               kNoFlags, "", plugfw::ShapePowCurve(3.0));
        else
            param.DefineDouble(name.c_str(), row.defaultValue, row.min, row.max, row.step, unit,
                               kNoFlags, "");
        break;
    }
}

} // namespace ostrel
