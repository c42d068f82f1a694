#include "framework/page_script.h"

#include "framework/base64.h"
#include "framework/number_text.h"

namespace plugfw
{

void CutToScriptLength(std::string& script)
{
    if (script.size() > static_cast<size_t>(maxScriptLength))
        script.resize(maxScriptLength);
}

namespace
{

std::string IndexAndValueScript(const char* function, int index, double value)
{
    std::string s = function;
    s += '(';
    AppendInt(s, index);
    s += ", ";
    AppendFixed(s, value, 6);
    s += ')';
    CutToScriptLength(s);
    return s;
}

std::string Base64Of(int dataSize, const void* data)
{
    if (dataSize <= 0 || data == nullptr)
        return {};
    return Base64Encode(static_cast<const uint8_t*>(data), static_cast<size_t>(dataSize));
}

} // namespace

std::string ParamValueScript(int paramIdx, double normalisedValue)
{
    return IndexAndValueScript("SPVFD", paramIdx, normalisedValue);
}

std::string ControlValueScript(int ctrlTag, double normalisedValue)
{
    return IndexAndValueScript("SCVFD", ctrlTag, normalisedValue);
}

std::string ControlMsgScript(int ctrlTag, int msgTag, int dataSize, const void* data)
{
    const std::string encoded = Base64Of(dataSize, data);
    std::string s = "SCMFD(";
    AppendInt(s, ctrlTag);
    s += ", ";
    AppendInt(s, msgTag);
    s += ", ";
    AppendInt(s, encoded.empty() ? 0 : dataSize);
    s += ", '";
    s += encoded;
    s += "')";
    CutToScriptLength(s);
    return s;
}

std::string MidiMsgScript(uint8_t status, uint8_t data1, uint8_t data2)
{
    std::string s = "SMMFD(";
    AppendInt(s, status);
    s += ", ";
    AppendInt(s, data1);
    s += ", ";
    AppendInt(s, data2);
    s += ')';
    return s;
}

std::string HostKeyScript(int charCode, int specialCode)
{
    std::string s = "window.__hk&&window.__hk(";
    AppendInt(s, charCode);
    s += ',';
    AppendInt(s, specialCode);
    s += ')';
    return s;
}

std::string ArbitraryMsgScript(int msgTag, int dataSize, const void* data)
{
    const std::string encoded = Base64Of(dataSize, data);
    std::string s;
    s.reserve(encoded.size() + 32);
    s += "SAMFD(";
    AppendInt(s, msgTag);
    s += ", ";
    AppendInt(s, encoded.empty() ? 0 : static_cast<int64_t>(encoded.size()) + 1);
    s += ", '";
    s += encoded;
    s += "')";
    return s;
}

} // namespace plugfw
