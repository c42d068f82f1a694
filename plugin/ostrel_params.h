// Names for the indices of Ostrel's parameters in code, and the groups they
// fall into. The parameters themselves are the rows of kParamTable
// (engine/engine_settings.h); the order is the state format: the host's
// saved projects and the last-state file store values by index.
#pragma once

#include "engine/engine_settings.h"

namespace ostrel
{

enum ParamIndex : int
{
    kParamRole = 0,
    kParamChannel = 1,
    kParamDepth = 2,
    kParamBypass = 3,
    kParamSelectivity = 4,
    kParamListen = 5,
    kParamLowGuard = 6,
    kParamSidechain = 7,
    // Bell k (0..3) occupies kParamBell1Freq + 4k .. + 3: Freq, Q, Depth, Active.
    kParamBell1Freq = 8,
    kParamBellListen = 24,
    kParamHighGuard = 25,
    kParamPriority = 26,
    kNumParams = kParamCount,
};

inline constexpr int kParamsPerBell = 4;
inline constexpr int kBellFreqOffset = 0;
inline constexpr int kBellQOffset = 1;
inline constexpr int kBellDepthOffset = 2;
inline constexpr int kBellActiveOffset = 3;

inline constexpr int bellParam(int bell, int offset)
{
    return kParamBell1Freq + kParamsPerBell * bell + offset;
}

// The monitoring switches and Bypass change what the user hears for a
// moment, not the settings: nothing restores them behind the user's back.
// The names above are the table's rows.
static_assert(kParamTable[kParamRole].name == "Role");
static_assert(kParamTable[kParamChannel].name == "Channel");
static_assert(kParamTable[kParamDepth].name == "Depth");
static_assert(kParamTable[kParamBypass].name == "Bypass");
static_assert(kParamTable[kParamSelectivity].name == "Selectivity");
static_assert(kParamTable[kParamListen].name == "Listen");
static_assert(kParamTable[kParamLowGuard].name == "Low Guard");
static_assert(kParamTable[kParamSidechain].name == "Sidechain");
static_assert(kParamTable[bellParam(0, kBellFreqOffset)].field == EngineField::BellFreq);
static_assert(kParamTable[bellParam(3, kBellActiveOffset)].field == EngineField::BellActive);
static_assert(kParamTable[bellParam(3, kBellActiveOffset)].bell == 3);
static_assert(kParamTable[kParamBellListen].name == "Bell Listen");
static_assert(kParamTable[kParamHighGuard].name == "High Guard");
static_assert(kParamTable[kParamPriority].name == "Priority");

inline constexpr bool isMonitoringParam(int index)
{
    return index == kParamBypass || index == kParamListen || index == kParamBellListen;
}

// What a new instance takes from the user's last settings: not its place in
// the session (Role, Channel), not the monitoring switches.
inline constexpr bool isLastStateParam(int index)
{
    return index >= kParamDepth && index < kNumParams && !isMonitoringParam(index);
}

// The sound of an instance, which presets and the settings slots A and B
// hold: everything but its place in the session (Role, Channel, Sidechain)
// and the monitoring switches.
inline constexpr bool isSoundParam(int index)
{
    return isLastStateParam(index) && index != kParamSidechain;
}

} // namespace ostrel
