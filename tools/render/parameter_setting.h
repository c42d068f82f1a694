// Turns a "name=value" setting into a parameter id and normalised value,
// asking only the plug-in's edit controller: its parameter list for the
// name, its value texts (getParamValueByString) or its plain-to-normalised
// conversion for the value. Unknown names and values are errors, never
// silently mapped to something else.
#pragma once

#include "tools/render/host/plugin_instance.h"

#include <string>

namespace ostrel::render
{

struct ResolvedSetting
{
    Steinberg::Vst::ParamID id = 0;
    std::string title;
    double normalised = 0.0;
    std::string shown; // the value as the plug-in displays it
};

bool ResolveSetting(const host::PluginInstance& instance, const std::string& name,
                    const std::string& value, ResolvedSetting& setting, std::string& error);

} // namespace ostrel::render
