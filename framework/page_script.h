// The script texts through which the plug-in calls the page's functions.
// Numbers are written as printf writes them in the "C" locale.
#pragma once

#include <cstdint>
#include <string>

namespace plugfw
{

// Every script is limited to this many characters; a longer one is cut to
// exactly its first maxScriptLength characters (the page then ignores it).
inline constexpr int maxScriptLength = 8192;

void CutToScriptLength(std::string& script);

// "SPVFD(%i, %f)"
std::string ParamValueScript(int paramIdx, double normalisedValue);
// "SCVFD(%i, %f)"
std::string ControlValueScript(int ctrlTag, double normalisedValue);
// "SCMFD(%i, %i, %i, '%s')": the third number counts raw bytes.
std::string ControlMsgScript(int ctrlTag, int msgTag, int dataSize, const void* data);
// "SMMFD(%i, %i, %i)"
std::string MidiMsgScript(uint8_t status, uint8_t data1, uint8_t data2);
// "window.__hk&&window.__hk(%d,%d)"
std::string HostKeyScript(int charCode, int specialCode);

// "SAMFD(%i, %i, '%s')": the second number is the base64 length plus one
// (0 for no bytes). Not cut: a product message that outgrows the script limit
// (a link matrix with many rows) would otherwise reach the page corrupted, so
// this script is as long as its content.
std::string ArbitraryMsgScript(int msgTag, int dataSize, const void* data);

} // namespace plugfw
