// The engine's working settings, written by the plug-in's parameter handler
// (audio or main thread) and read by the engine at the start of each chunk.
// Plain fields: each is a whole 32-bit store/load, no lock.
#pragma once

#include <cstdint>

namespace ostrel
{

inline constexpr int kBellCount = 4;

struct EngineSettings
{
    int role = 0;         // 0 Off, 1 Source, 2 Masker, 3 Self
    int channelIndex = 0; // Channel - 1 (0..63)
    float depthScaleDb = 0.0f;
    float depthBiasDb = -6.0f;
    uint8_t bypass = 0;
    float selectivity = 4.0f; // dB, 3..12 (the converted default 11 % is 3.99)
    uint8_t listen = 0;
    float lowGuardHz = 20.0f;
    uint8_t sidechainOn = 0;
    float bellFreqHz[kBellCount] = {1000.0f, 1000.0f, 1000.0f, 1000.0f};
    float bellQ[kBellCount] = {1.5f, 1.5f, 1.5f, 1.5f};
    float bellDepthPercent[kBellCount] = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t bellActive[kBellCount] = {0, 0, 0, 0};
    int bellListen = -1; // -1 none, 0..3 bell
    float highGuardHz = 20000.0f;
    int priority = 4;
};

} // namespace ostrel
