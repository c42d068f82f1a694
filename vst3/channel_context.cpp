#include "vst3/channel_context.h"

#include "vst3/utf8_encoding.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"

#include <algorithm>
#include <vector>

namespace plugfw
{

namespace
{

// Longest text we take from a host, in UTF-16 units: a name longer than any
// track name is cut rather than letting a host's length drive an allocation.
constexpr Steinberg::int64 kMaxTextUnits = 4096;
// Without a length key the text is read into a buffer of this many units.
constexpr Steinberg::int64 kDefaultTextUnits = 256;

// Reads a text key whose length (in UTF-16 units, without terminator) the
// host may give under `lengthKey`. False when the host supplied no text.
bool readText(Steinberg::Vst::IAttributeList* list, const char* lengthKey, const char* key,
              std::string& out)
{
    Steinberg::int64 length = 0;
    if (list->getInt(lengthKey, length) != Steinberg::kResultTrue)
        length = kDefaultTextUnits;
    length = std::clamp<Steinberg::int64>(length, 0, kMaxTextUnits);
    std::vector<Steinberg::Vst::TChar> text(static_cast<size_t>(length) + 1, 0);
    const auto bytes = static_cast<Steinberg::uint32>(text.size() * sizeof(Steinberg::Vst::TChar));
    if (list->getString(key, text.data(), bytes) != Steinberg::kResultTrue)
        return false;
    text.back() = 0;
    out = Utf16ToUtf8(reinterpret_cast<const char16_t*>(text.data()), text.size());
    return true;
}

} // namespace

std::string Utf16ToUtf8(const char16_t* text, size_t maxUnits)
{
    std::string out;
    for (size_t i = 0; text && i < maxUnits && text[i] != 0; ++i)
    {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < maxUnits && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        else if (c >= 0xD800 && c <= 0xDFFF)
        {
            c = 0xFFFD; // a lone surrogate
        }
        AppendUtf8(out, c);
    }
    return out;
}

bool ReadChannelContext(Steinberg::Vst::IAttributeList* list, ChannelContextInfo& context)
{
    namespace Keys = Steinberg::Vst::ChannelContext;
    if (!list)
        return false;
    std::string text;
    if (readText(list, Keys::kChannelNameLengthKey, Keys::kChannelNameKey, text))
        context.name = text;
    if (readText(list, Keys::kChannelUIDLengthKey, Keys::kChannelUIDKey, text))
        context.uid = text;
    Steinberg::int64 value = 0;
    if (list->getInt(Keys::kChannelIndexKey, value) == Steinberg::kResultTrue)
        context.index = value;
    if (list->getInt(Keys::kChannelColorKey, value) == Steinberg::kResultTrue)
        context.colour = value;
    if (list->getInt(Keys::kChannelIndexNamespaceOrderKey, value) == Steinberg::kResultTrue)
        context.namespaceOrder = value;
    if (readText(list, Keys::kChannelIndexNamespaceLengthKey, Keys::kChannelIndexNamespaceKey,
                 text))
        context.indexNamespace = text;
    // Where the plug-in sits in the channel (pre/post fader...): read, not kept.
    list->getInt(Keys::kChannelPluginLocationKey, value);
    return true;
}

} // namespace plugfw
