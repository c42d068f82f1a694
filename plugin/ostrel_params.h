// The indices of Ostrel's 27 parameters. The order is the state format: the
// host's saved projects and the last-state file store values by index.
#pragma once

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
    kNumParams = 27,
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

} // namespace ostrel
