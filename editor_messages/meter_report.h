// The "meters" message: what the instance's engine measured, sent to the page
// at every idle tick while the editor is open.
#pragma once

#include <string>

namespace ostrel
{

inline constexpr int kMeterBands = 24;
inline constexpr int kMeterBells = 4;

// A copy of the engine's meters, taken on the main thread.
struct MeterSnapshot
{
    int role = 0;           // 0 Off, 1 Source, 2 Masker, 3 Self
    bool linked = false;    // a source is live
    int peers = 0;          // holders of the target slot
    float nullDb = -150.0f; // shown no lower than -120
    int touched = 0;        // bands being dipped
    float dipDb[kMeterBands] = {};
    float src[kMeterBands] = {};  // linear band levels, shown in dBFS
    float mask[kMeterBands] = {}; // likewise
    float bellDipDb[kMeterBells] = {};
    bool hostBypass = false; // the host bypasses the plug-in
    bool stale = false;      // no audio processed lately: the values stand still
};

// The lowest level the "src" and "mask" curves show (silence).
inline constexpr double kMeterFloorDb = -120.0;

// {"t":"meters","role":..,"linked":..,"peers":..,"null":%.1f,"touched":..,
//  "dip":[24 x %.1f],"src":[24 x %.1f],"mask":[24 x %.1f],"bellDip":[4 x %.1f],
//  "hostBypass":0|1,"stale":0|1}
// "src" and "mask" are band levels in dBFS, no lower than -120. A value that
// is not a finite number is shown as 0 (the null meter and the levels as
// -120) so that the text stays valid JSON.
std::string BuildMeterReport(const MeterSnapshot& meters);

} // namespace ostrel
