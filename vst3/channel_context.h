// What a host tells the plug-in about the track (channel) it sits on: name,
// unique id, index, colour and index namespace. Each call updates only the
// fields the host supplies; the rest keep their earlier values.
#pragma once

#include "pluginterfaces/vst/ivstattributes.h"

#include <cstdint>
#include <string>

namespace plugfw
{

struct ChannelContextInfo
{
    std::string name; // UTF-8
    std::string uid;  // UTF-8
    int64_t index = 0;
    int64_t colour = 0; // 0xAARRGGBB
    int64_t namespaceOrder = 0;
    std::string indexNamespace; // UTF-8
};

// Reads the keys the host supplied into `context`. False without a list.
bool ReadChannelContext(Steinberg::Vst::IAttributeList* list, ChannelContextInfo& context);

// UTF-16 (with surrogate pairs) to UTF-8; stops at the first 0.
std::string Utf16ToUtf8(const char16_t* text, size_t maxUnits);

} // namespace plugfw
