// plugfw::Config: the record with which a plug-in class configures the
// framework bases: parameter and preset counts, accepted channel layouts,
// identity, latency, capabilities and the editor's size.
#pragma once

namespace plugfw
{

struct Config
{
    int nParams = 0;
    int nPresets = 0;
    // Accepted bus layouts, e.g. "2-2 1-1": inputs-outputs, buses split by ".".
    const char* channelIOStr = "";
    const char* pluginName = "";
    const char* productName = "";
    const char* makerName = "";
    // Major in the upper 16 bits, minor in the next 8, third number in the low 8.
    int version = 0;
    int uniqueId = 0;
    int makerId = 0;
    int latency = 0;
    bool doesMidiIn = false;
    bool doesMidiOut = false;
    bool doesMpe = false;
    bool doesStateChunks = false;
    int pluginType = 0; // 0 effect
    bool hasEditor = false;
    int editorWidth = 0;
    int editorHeight = 0;
    int editorMinWidth = 0;
    int editorMaxWidth = 0;
    int editorMinHeight = 0;
    int editorMaxHeight = 0;
    bool hostCanResizeEditor = false;
    const char* bundleId = "";
    const char* appGroupId = "";
};

} // namespace plugfw
