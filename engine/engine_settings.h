// The engine's working settings. The plug-in's parameter handler writes them
// (on the main or the audio thread) while the audio thread reads them, so
// every field is a relaxed atomic holding a whole value, and Depth's scale and
// bias, which only make sense together, share one 64-bit word. The engine
// takes one consistent snapshot at the start of each slice.
#pragma once

#include <atomic>
#include <cstdint>

namespace ostrel
{

inline constexpr int kBellCount = 4;

// One slice's copy of the settings: what the engine computes with.
struct SettingsSnapshot
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

struct DepthDb
{
    float scaleDb = 0.0f; // deepest dip Depth allows, 0..-48
    float biasDb = -6.0f; // how far below the spread the local rule aims
};

class EngineSettings
{
public:
    EngineSettings();
    EngineSettings(const EngineSettings&) = delete;
    EngineSettings& operator=(const EngineSettings&) = delete;

    std::atomic<int> role{0};
    std::atomic<int> channelIndex{0};
    std::atomic<uint8_t> bypass{0};
    std::atomic<float> selectivity{4.0f};
    std::atomic<uint8_t> listen{0};
    std::atomic<float> lowGuardHz{20.0f};
    std::atomic<uint8_t> sidechainOn{0};
    std::atomic<float> bellFreqHz[kBellCount];
    std::atomic<float> bellQ[kBellCount];
    std::atomic<float> bellDepthPercent[kBellCount];
    std::atomic<uint8_t> bellActive[kBellCount];
    std::atomic<int> bellListen{-1};
    std::atomic<float> highGuardHz{20000.0f};
    std::atomic<int> priority{4};

    void setDepth(DepthDb depth);
    DepthDb depth() const;

    SettingsSnapshot snapshot() const;
    // The same, written over an existing copy (no temporary on the audio thread).
    void snapshotInto(SettingsSnapshot& s) const;

private:
    std::atomic<uint64_t> depthBits;
};

} // namespace ostrel
