// The engine's working state, grouped by who owns it. Each group is arrays of
// 24 bands (structure of arrays) with its neutral values in one place: the
// initialisers, which reset() restores.
#pragma once

#include "engine/band_layout.h"
#include "engine/delay_lines.h"
#include "engine/masking_source_history.h"
#include "engine/stft_frame_engine.h"
#include "link/peer_registry.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace ostrel
{

// Counters that mean "long ago" (the source counts as stale until it publishes).
inline constexpr int32_t kStaleCount = 0x10000000;

// The per-band gains applied to each channel, and what the spectral stage gets.
struct BandGains
{
    alignas(kLaneAlign) double bandGain[2][kBandCount];
    alignas(kLaneAlign) double stftBandGain[2][kBandCount];

    BandGains() { reset(); }
    // The spectral stage reads its gains only when a sample completes a hop:
    // the band gains then, with the lowest bands (removed in the time domain)
    // at 1.0.
    void handToSpectralStage()
    {
        for (int c = 0; c < 2; ++c)
        {
            for (int k = 0; k < kTimeDomainBands; ++k)
                stftBandGain[c][k] = 1.0;
            for (int k = kTimeDomainBands; k < kBandCount; ++k)
                stftBandGain[c][k] = bandGain[c][k];
        }
    }
    void reset()
    {
        for (int c = 0; c < 2; ++c)
        {
            std::fill(std::begin(bandGain[c]), std::end(bandGain[c]), 1.0);
            std::fill(std::begin(stftBandGain[c]), std::end(stftBandGain[c]), 1.0);
        }
    }
};

// Where a Masker's source levels come from, how fresh they are, and the
// gains it shares with the other Maskers of its Source.
struct SourceTracking
{
    uint64_t sourceSeenSeq = 0;
    int32_t chunksSinceSourceUpdate = kStaleCount;
    SourceHistoryEntry sourceHistory[kSourceHistorySize];
    int32_t historyWritePos = 0;
    int64_t lastBlockEnd = -1;
    // The source slot whose publications sourceHistory holds, and how many
    // of them it has taken.
    const PeerSlot* publishedSlot = nullptr;
    uint64_t publishedSeen = 0;
    double heldSourceLevel[kBandCount] = {};
    float sharedGains[kBandCount];

    SourceTracking() { std::fill(std::begin(sharedGains), std::end(sharedGains), 1.0f); }
    void reset()
    {
        sourceSeenSeq = 0;
        chunksSinceSourceUpdate = kStaleCount;
        clearSourceHistory(sourceHistory, historyWritePos);
        lastBlockEnd = -1;
        publishedSlot = nullptr;
        publishedSeen = 0;
        std::fill(std::begin(heldSourceLevel), std::end(heldSourceLevel), 0.0);
        std::fill(std::begin(sharedGains), std::end(sharedGains), 1.0f);
    }
};

// The guards' weights (recomputed when a guard moves) and the smoothed
// block-rate target gain of each band.
struct MaskingState
{
    float lastLowGuardHz = -1.0f;
    float lastHighGuardHz = -1.0f;
    double lowGuardWeight[kBandCount];
    double highGuardWeight[kBandCount];
    double blockGain[kBandCount];

    MaskingState() { reset(); }
    void reset()
    {
        lastLowGuardHz = -1.0f;
        lastHighGuardHz = -1.0f;
        std::fill(std::begin(lowGuardWeight), std::end(lowGuardWeight), 1.0);
        std::fill(std::begin(highGuardWeight), std::end(highGuardWeight), 1.0);
        std::fill(std::begin(blockGain), std::end(blockGain), 1.0);
    }
};

// Smoothed per-band channel energies and cross term (80 ms), and the stereo
// link derived from them each period.
struct StereoStatistics
{
    alignas(kLaneAlign) double bandEnergy0[kBandCount] = {};
    alignas(kLaneAlign) double bandEnergy1[kBandCount] = {};
    alignas(kLaneAlign) double bandCross[kBandCount] = {};
    alignas(kLaneAlign) double stereoLink[kBandCount] = {};
    alignas(kLaneAlign) double linkRatio[kBandCount];

    StereoStatistics() { reset(); }
    void reset()
    {
        std::fill(std::begin(bandEnergy0), std::end(bandEnergy0), 0.0);
        std::fill(std::begin(bandEnergy1), std::end(bandEnergy1), 0.0);
        std::fill(std::begin(bandCross), std::end(bandCross), 0.0);
        std::fill(std::begin(stereoLink), std::end(stereoLink), 0.0);
        std::fill(std::begin(linkRatio), std::end(linkRatio), 1e9);
    }
};

// The band gates of both channels: envelopes, open flags, amounts and gains.
struct GateState
{
    alignas(kLaneAlign) double bandEnvelope0[kBandCount] = {};
    alignas(kLaneAlign) double bandEnvelope1[kBandCount] = {};
    uint8_t gateOpen0[kBandCount] = {};
    uint8_t gateOpen1[kBandCount] = {};
    alignas(kLaneAlign) double gateAmount0[kBandCount] = {};
    alignas(kLaneAlign) double gateAmount1[kBandCount] = {};
    alignas(kLaneAlign) double gateGain0[kBandCount];
    alignas(kLaneAlign) double gateGain1[kBandCount];
    // Samples processed since the Masker/Self path started from rest.
    int32_t warmupCount = kLookaheadSamples;

    GateState() { reset(); }
    void reset()
    {
        std::fill(std::begin(bandEnvelope0), std::end(bandEnvelope0), 0.0);
        std::fill(std::begin(bandEnvelope1), std::end(bandEnvelope1), 0.0);
        closeAll();
        std::fill(std::begin(gateGain0), std::end(gateGain0), 1.0);
        std::fill(std::begin(gateGain1), std::end(gateGain1), 1.0);
        warmupCount = kLookaheadSamples;
    }
    void closeAll()
    {
        std::fill(std::begin(gateOpen0), std::end(gateOpen0), uint8_t{0});
        std::fill(std::begin(gateOpen1), std::end(gateOpen1), uint8_t{0});
        std::fill(std::begin(gateAmount0), std::end(gateAmount0), 0.0);
        std::fill(std::begin(gateAmount1), std::end(gateAmount1), 0.0);
    }
};

// The meters, written by the audio thread and read by the idle timer
// (relaxed: each value is whole on its own).
struct EngineMeters
{
    std::atomic<float> dipMeter[kBandCount] = {};
    // Band levels (linear RMS of a mid signal, smoothed) on one scale: the
    // Source's as published, and this track's own measured the same way.
    std::atomic<float> srcMeter[kBandCount] = {};
    std::atomic<float> maskMeter[kBandCount] = {};
    std::atomic<int32_t> touchedCount{0};
    std::atomic<float> nullMeter{-150.0f};
    std::atomic<int32_t> peersMeter{0};
    std::atomic<uint8_t> linked{0};
    // An editor shows the meters (main thread): only then does a Masker
    // measure its own track for them. Kept through resets.
    std::atomic<uint8_t> wanted{0};
    double nullSmoothed = -120.0; // audio thread only
    // Smoothed band energies behind srcMeter and maskMeter (audio thread only).
    double srcEnergy[kBandCount] = {};
    double maskEnergy[kBandCount] = {};

    // The two level curves back to silence.
    void clearLevels()
    {
        for (int k = 0; k < kBandCount; ++k)
        {
            srcEnergy[k] = 0.0;
            maskEnergy[k] = 0.0;
            srcMeter[k].store(0.0f, std::memory_order_relaxed);
            maskMeter[k].store(0.0f, std::memory_order_relaxed);
        }
    }

    void reset()
    {
        for (int k = 0; k < kBandCount; ++k)
            dipMeter[k].store(0.0f, std::memory_order_relaxed);
        clearLevels();
        touchedCount.store(0, std::memory_order_relaxed);
        nullMeter.store(-150.0f, std::memory_order_relaxed);
        peersMeter.store(0, std::memory_order_relaxed);
        linked.store(0, std::memory_order_relaxed);
        nullSmoothed = -120.0;
    }
};

} // namespace ostrel
