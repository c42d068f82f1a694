#include "framework/web_view_editor_delegate.h"

#include "framework/base64.h"
#include "framework/iparam.h"
#include "framework/key_code_table.h"
#include "framework/page_script.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace plugfw
{

namespace
{

using Json = nlohmann::json;

const Json* Member(const Json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<double> NumberMember(const Json& object, const char* key)
{
    const Json* m = Member(object, key);
    if (m == nullptr || !m->is_number())
        return std::nullopt;
    const double v = m->get<double>();
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

// A whole number within the 32-bit range; a real is truncated.
std::optional<int> IntMember(const Json& object, const char* key, bool acceptBool = false)
{
    const Json* m = Member(object, key);
    if (m == nullptr)
        return std::nullopt;
    if (m->is_number_integer() && !m->is_number_unsigned())
    {
        const auto v = m->get<int64_t>();
        if (v < INT_MIN || v > INT_MAX)
            return std::nullopt;
        return static_cast<int>(v);
    }
    if (m->is_number_unsigned())
    {
        const auto v = m->get<uint64_t>();
        if (v > static_cast<uint64_t>(INT_MAX))
            return std::nullopt;
        return static_cast<int>(v);
    }
    if (m->is_number_float())
    {
        const double v = std::trunc(m->get<double>());
        if (!(v >= INT_MIN && v <= INT_MAX))
            return std::nullopt;
        return static_cast<int>(v);
    }
    if (acceptBool && m->is_boolean())
        return m->get<bool>() ? 1 : 0;
    return std::nullopt;
}

std::optional<bool> BoolMember(const Json& object, const char* key)
{
    const Json* m = Member(object, key);
    if (m == nullptr || !m->is_boolean())
        return std::nullopt;
    return m->get<bool>();
}

const std::string* StringMember(const Json& object, const char* key)
{
    const Json* m = Member(object, key);
    if (m == nullptr || !m->is_string())
        return nullptr;
    return m->get_ptr<const std::string*>();
}

// At most 4 bytes of the key name, never splitting a UTF-8 sequence (the page
// sends names such as "Shift" or "ArrowLeft"; only the first byte matters).
void CopyKeyText(const std::string& text, char (&out)[5])
{
    size_t n = std::min<size_t>(text.size(), 4);
    if (n < text.size())
    {
        // Step back over continuation bytes of a cut sequence.
        size_t lead = n;
        while (lead > 0 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80)
            --lead;
        n = lead;
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

WebViewEditorDelegate::WebViewEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

WebViewEditorDelegate::~WebViewEditorDelegate() = default;

void WebViewEditorDelegate::HandlePageMessage(std::string_view jsonText) noexcept
{
    try
    {
        const Json message = Json::parse(jsonText.begin(), jsonText.end(), nullptr, false);
        if (!message.is_object())
            return;
        const std::string* msg = StringMember(message, "msg");
        if (msg == nullptr)
            return;

        auto paramIndex = [&]() -> std::optional<int>
        {
            const auto idx = IntMember(message, "paramIdx");
            if (!idx || *idx < 0 || *idx >= NParams())
                return std::nullopt;
            return idx;
        };

        if (*msg == "SPVFUI")
        {
            const auto value = NumberMember(message, "value");
            const auto idx = paramIndex();
            if (value && idx)
                SetParamFromEditor(*idx, std::clamp(*value, 0.0, 1.0));
        }
        else if (*msg == "BPCFUI")
        {
            if (const auto idx = paramIndex())
                BeginHostEdit(*idx);
        }
        else if (*msg == "EPCFUI")
        {
            if (const auto idx = paramIndex())
                EndHostEdit(*idx);
        }
        else if (*msg == "SAMFUI")
        {
            const auto ctrlTag = IntMember(message, "ctrlTag");
            const auto msgTag = IntMember(message, "msgTag");
            if (!ctrlTag || !msgTag)
                return;
            std::vector<uint8_t> bytes;
            if (const std::string* data = StringMember(message, "data"))
            {
                const int64_t size = Base64AnnouncedSize(*data);
                if (size > 0 && size <= INT_MAX)
                {
                    bytes.assign(static_cast<size_t>(size), 0);
                    Base64Decode(*data, bytes.data(), bytes.size());
                }
            }
            ArbitraryMsgFromEditor(*msgTag, *ctrlTag, static_cast<int>(bytes.size()),
                                   bytes.empty() ? nullptr : bytes.data());
        }
        // "SMMFUI", MIDI from the page, is refused: the plug-in neither takes
        // nor makes MIDI, so nothing would ever read it.
        else if (*msg == "SKPFUI")
        {
            const auto alt = BoolMember(message, "A");
            const auto control = BoolMember(message, "C");
            const auto shift = BoolMember(message, "S");
            const std::string* text = StringMember(message, "utf8");
            const auto keyCode = IntMember(message, "keyCode", true);
            const auto isUp = BoolMember(message, "isUp");
            if (!alt || !control || !shift || text == nullptr || !keyCode || !isUp)
                return;
            KeyPress key;
            key.keyCode = KeyCodeFromPage(*keyCode);
            CopyKeyText(*text, key.utf8);
            key.shift = *shift;
            key.control = *control;
            key.alt = *alt;
            if (*isUp)
                KeyUp(key);
            else
                KeyDown(key);
        }
    }
    catch (...)
    {
        // A page message never disturbs the plug-in.
    }
}

void WebViewEditorDelegate::ArbitraryMsgFromEditor(int msgTag, int ctrlTag, int dataSize,
                                                   const void* data)
{
    OnEditorMessage(msgTag, ctrlTag, dataSize, data);
}

std::string WebViewEditorDelegate::ParamsMessage() const
{
    Json params = Json::array();
    for (int i = 0; i < NParams(); ++i)
    {
        std::string description;
        GetParam(i)->DescribeJson(i, description);
        Json parsed = Json::parse(description, nullptr, false);
        if (parsed.is_discarded())
            continue;
        parsed["step"] = GetParam(i)->Step();
        parsed["unit"] = GetParam(i)->Label();
        if (const std::vector<std::string> texts = PageValueTexts(i); !texts.empty())
            parsed["texts"] = texts;
        params.push_back(std::move(parsed));
    }
    Json message = Json::object();
    message["id"] = "params";
    message["params"] = std::move(params);
    return message.dump();
}

void WebViewEditorDelegate::ContentLoaded()
{
    const std::string text = ParamsMessage();
    SendArbitraryMsgToPage(-1, static_cast<int>(text.size()), text.data());
    EditorOpened();
}

void WebViewEditorDelegate::SendParamValueToPage(int paramIdx, double value, bool isNormalised)
{
    if (!HasWebView() || paramIdx < 0 || paramIdx >= NParams())
        return;
    if (!isNormalised)
        value = GetParam(paramIdx)->ToNormalised(value);
    EvaluateScript(ParamValueScript(paramIdx, value));
}

void WebViewEditorDelegate::SendArbitraryMsgToPage(int msgTag, int dataSize, const void* data)
{
    if (!HasWebView())
        return;
    EvaluateScript(ArbitraryMsgScript(msgTag, dataSize, data));
}

void WebViewEditorDelegate::SendControlValueToPage(int ctrlTag, double normalisedValue)
{
    EvaluateScript(ControlValueScript(ctrlTag, normalisedValue));
}

void WebViewEditorDelegate::SendControlMsgToPage(int ctrlTag, int msgTag, int dataSize,
                                                 const void* data)
{
    if (!HasWebView())
        return;
    EvaluateScript(ControlMsgScript(ctrlTag, msgTag, dataSize, data));
}

void WebViewEditorDelegate::SendMidiMsgToPage(const MidiMsg& msg)
{
    EvaluateScript(MidiMsgScript(msg.status, msg.data1, msg.data2));
}

} // namespace plugfw
