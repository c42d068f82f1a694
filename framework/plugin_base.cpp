#include "framework/plugin_base.h"

#include "framework/iparam.h"

namespace plugfw
{

PluginBase::PluginBase(int nParams, int nPresets)
    : WebViewEditorDelegate(nParams), mPresets(static_cast<size_t>(nPresets > 0 ? nPresets : 0))
{
}

PluginBase::~PluginBase() = default;

void PluginBase::SetParamFromEditor(int paramIdx, double normalisedValue)
{
    IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    param->SetNormalised(normalisedValue);
    NoteParamsEdited();
    InformHostOfParamChange(paramIdx, normalisedValue);
    OnParamChange(paramIdx);
}

void PluginBase::SetParamsFromEditorAsOneEdit(const std::vector<ParamEdit>& edits)
{
    if (edits.empty())
        return;
    if (!HostGroupsEdits())
    {
        for (const ParamEdit& e : edits)
        {
            BeginHostEdit(e.paramIdx);
            SetParamFromEditor(e.paramIdx, e.normalisedValue);
            EndHostEdit(e.paramIdx);
        }
        return;
    }
    BeginHostEditGroup();
    for (const ParamEdit& e : edits)
        BeginHostEdit(e.paramIdx);
    for (const ParamEdit& e : edits)
        SetParamFromEditor(e.paramIdx, e.normalisedValue);
    for (const ParamEdit& e : edits)
        EndHostEdit(e.paramIdx);
    EndHostEditGroup();
}

bool PluginBase::SerializeParams(IByteChunk& chunk) const
{
    for (const auto& param : mParams)
        chunk.Put(param->Value());
    return true;
}

int PluginBase::UnserializeParams(const IByteChunk& chunk, int startPos)
{
    int pos = startPos;
    for (size_t i = 0; i < mParams.size() && pos >= 0; ++i)
    {
        double v = 0.0;
        pos = chunk.Get(v, pos);
        if (pos >= 0)
            mParams[i]->Set(v);
    }
    OnParamReset();
    return pos;
}

void PluginBase::OnParamReset()
{
    for (int i = 0; i < NParams(); ++i)
    {
        OnParamChange(i);
        OnParamChangeUI(i);
    }
}

bool PluginBase::RestorePreset(int index)
{
    if (index < 0 || index >= NPresets())
        return false;
    Preset& preset = mPresets[static_cast<size_t>(index)];
    bool restored = false;
    if (preset.initialized)
    {
        restored = LoadState(preset.chunk, 0) > 0;
    }
    else
    {
        preset.initialized = true;
        int users = 0;
        for (const Preset& p : mPresets)
            if (p.name.find("user preset") != std::string::npos)
                ++users;
        preset.name = "user preset " + std::to_string(users + 1);
        preset.chunk.Clear();
        restored = SaveState(preset.chunk);
    }
    if (restored)
    {
        mCurrentPresetIdx = index;
        OnPresetsModified();
        SendAllParamValuesToPage();
    }
    return restored;
}

const char* PluginBase::PresetName(int index) const
{
    if (index < 0 || index >= NPresets())
        return "";
    return mPresets[static_cast<size_t>(index)].name.c_str();
}

} // namespace plugfw
