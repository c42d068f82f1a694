#include "tools/render/parameter_setting.h"

#include "tools/render/host/host_context.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

using namespace Steinberg;

namespace ostrel::render
{

namespace
{

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text)
{
    size_t a = 0;
    size_t b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    return text.substr(a, b - a);
}

// A plain number, optionally followed by the parameter's unit ("70%").
bool parseNumber(const std::string& text, const std::string& units, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value))
        return false;
    const std::string rest = trim(end);
    return rest.empty() || (!units.empty() && lower(rest) == lower(units));
}

std::string knownNames(const host::PluginInstance& instance)
{
    std::string names;
    for (const auto& p : instance.Parameters())
    {
        if ((p.flags & Vst::ParameterInfo::kIsBypass) != 0)
            continue;
        if (!names.empty())
            names += ", ";
        names += host::FromString128(p.title);
    }
    return names;
}

} // namespace

bool ResolveSetting(const host::PluginInstance& instance, const std::string& name,
                    const std::string& rawValue, ResolvedSetting& setting, std::string& error)
{
    Vst::ParameterInfo info{};
    if (!instance.FindParameter(name, info))
    {
        error = "unknown parameter '" + name + "' (known: " + knownNames(instance) + ")";
        return false;
    }
    Vst::IEditController* controller = instance.Controller();
    const std::string title = host::FromString128(info.title);
    const std::string units = host::FromString128(info.units);
    const std::string value = trim(rawValue);
    setting.id = info.id;
    setting.title = title;

    // 1. A text the plug-in shows for one of the steps (Masker, on, 3).
    std::string choices;
    if (info.stepCount > 0 && info.stepCount <= 1024)
    {
        for (int32 k = 0; k <= info.stepCount; ++k)
        {
            const double normalised = static_cast<double>(k) / info.stepCount;
            const std::string shown = instance.ValueText(info.id, normalised);
            if (lower(shown) == lower(value))
            {
                setting.normalised = normalised;
                setting.shown = shown;
                return true;
            }
            if (k < 16)
                choices += (choices.empty() ? "" : ", ") + shown;
        }
        if (info.stepCount >= 16)
            choices += ", ...";
    }

    // 2. A plain number within the parameter's range.
    double plain = 0.0;
    if (parseNumber(value, units, plain))
    {
        const double lo = controller->normalizedParamToPlain(info.id, 0.0);
        const double hi = controller->normalizedParamToPlain(info.id, 1.0);
        const double tolerance = 1e-9 * std::max(1.0, std::fabs(hi - lo));
        if (plain < std::min(lo, hi) - tolerance || plain > std::max(lo, hi) + tolerance)
        {
            error = "value " + value + " is outside the range of " + title + " (" +
                    instance.ValueText(info.id, 0.0) + " .. " + instance.ValueText(info.id, 1.0) +
                    (units.empty() ? "" : " " + units) + ")";
            return false;
        }
        setting.normalised = controller->plainParamToNormalized(info.id, plain);
        setting.shown = instance.ValueText(info.id, setting.normalised);
        return true;
    }

    // 3. Any other text the plug-in parses back to itself.
    Vst::String128 text{};
    host::CopyToString128(value, text);
    Vst::ParamValue normalised = 0.0;
    if (!value.empty() &&
        controller->getParamValueByString(info.id, text, normalised) == kResultTrue &&
        lower(instance.ValueText(info.id, normalised)) == lower(value))
    {
        setting.normalised = normalised;
        setting.shown = instance.ValueText(info.id, normalised);
        return true;
    }

    error = "unknown value '" + value + "' for " + title;
    if (!choices.empty())
        error += " (one of: " + choices + ")";
    else
        error +=
            " (a number, e.g. " + instance.ValueText(info.id, info.defaultNormalizedValue) + ")";
    return false;
}

} // namespace ostrel::render
