// plugfw::ITimeInfo: the host's musical time for the current block, as the
// plug-in API layer last received it. Positions are -1 while unknown.
#pragma once

namespace plugfw
{

struct ITimeInfo
{
    double tempo = 120.0;
    double samplePos = -1.0;
    double ppqPos = -1.0;
    double lastBar = -1.0;
    double cycleStart = -1.0;
    double cycleEnd = -1.0;
    int numerator = 4;
    int denominator = 4;
    bool transportIsRunning = false;
    bool transportLoopEnabled = false;
    bool isOffline = false;
};

} // namespace plugfw
