// The per-instance processing object: band analysis, masking computation,
// gates, bells, the spectral stage and the block driver. It owns all state;
// each stage lives in its own file. Every buffer is a fixed array: nothing is
// allocated after construction (the object is a few MB, keep it on the heap).
//
// Threads: processChunk and everything it calls run on the audio thread;
// resetEngine runs on the main thread while audio is stopped. The meters that
// the idle thread reads are relaxed atomics.
#pragma once

#include "engine/analysis_period.h"
#include "engine/band_layout.h"
#include "engine/band_levels.h"
#include "engine/biquad.h"
#include "engine/dynamic_bells.h"
#include "engine/engine_settings.h"
#include "engine/filter_banks.h"
#include "engine/masker_period.h"
#include "engine/masking_source_history.h"
#include "engine/stft_frame_engine.h"
#include "link/peer_registry.h"

#include <atomic>
#include <cmath>
#include <cstdint>

namespace ostrel
{

// Length of every lookahead delay line; a chunk is at most this minus the lookahead.
inline constexpr int kDelayLength = 5120;
inline constexpr int kLookaheadSamples = 240;
inline constexpr int kMaxChunk = kDelayLength - kLookaheadSamples; // 4880
// Total latency of the engine: lookahead plus the spectral stage.
inline constexpr int kEngineLatency = kLookaheadSamples + kStftSize; // 1264
// Bands 0..3 are dipped in the time domain; the spectral stage dips 4..23.
inline constexpr int kTimeDomainBands = 4;
// Counters that mean "long ago" (the source counts as stale until it publishes).
inline constexpr int32_t kStaleCount = 0x10000000;

// Roles of the Role parameter.
enum EngineRole : int
{
    kRoleOff = 0,
    kRoleSource = 1,
    kRoleMasker = 2,
    kRoleSelf = 3,
};

class SpectralEngine
{
public:
    SpectralEngine();
    ~SpectralEngine();
    SpectralEngine(const SpectralEngine&) = delete;
    SpectralEngine& operator=(const SpectralEngine&) = delete;

    // Full reset at a (new) sample rate: releases the registry slot, rebuilds
    // the tables and filters, clears every delay line and per-band state.
    // Main thread, audio stopped.
    void resetEngine(double sampleRate);

    // One chunk of at most kMaxChunk samples (audio thread). in0/in1 may be
    // the same channel (mono) and may alias out0/out1 (sample t is read before
    // it is written). side0/side1 may be null. The chunk is taken in slices
    // that end at the analysis period's boundaries.
    void processChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                      int64_t hostSamplePos, bool transportRunning, const double* side0,
                      const double* side1);

    // Samples left in the running analysis period.
    int samplesLeftInPeriod() const { return period.length - period.pos; }

    // --- paths (called from processChunk only, with slices that do not
    // cross an analysis period's end) ---------------------------------------
    void processSlice(const double* in0, const double* in1, double* out0, double* out1, int n,
                      int64_t hostSamplePos, bool transportRunning, const double* side0,
                      const double* side1);
    void processReleaseChunk(const double* in0, const double* in1, double* out0, double* out1,
                             int n, int slot);
    void processSourceChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                            int64_t hostSamplePos, int slot);
    // Publishes the closed period's levels, priority and balance.
    void publishSourcePeriod(int slot);
    // Masker (role 2) and Self (role 3): engine/masker_path.cpp.
    void processMaskerChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                            int64_t hostSamplePos, bool transportRunning, const double* side0,
                            const double* side1);

    // Per-band reset when the role or the bypass changed.
    void resetOnRoleChange(int role, bool bypassOn);
    // Entering Masker/Self from another path: state those paths did not keep
    // running starts afresh, so nothing from before plays again.
    void freshenMaskingState();
    void resetBellListen();

    // --- settings and registry -------------------------------------------
    EngineSettings settings;
    // The settings as the current slice reads them (audio thread).
    SettingsSnapshot chunkSettings;
    // The host's own bypass, set by the plug-in before each block (audio
    // thread): the engine then runs as when its Bypass parameter is on.
    bool hostBypassed = false;
    PeerLink link;
    // The process-wide registry; a test may point it at a registry of its own.
    PeerRegistry* registry = nullptr;

    // --- band layout tables (rebuilt by resetEngine) ----------------------
    double sampleRate = 48000.0;
    double edgeHz[kEdgeCount] = {};
    double centreHz[kBandCount] = {};
    double barkOfBand[kBandCount] = {};
    double bandWeight[kBandCount] = {};
    // Envelope follower coefficients, one set per channel.
    double bandAttack[2][kBandCount] = {};
    double bandRelease[2][kBandCount] = {};

    // --- filters ----------------------------------------------------------
    BandPassBank bandFilter[2];
    BandPassBank outputBandFilter;
    LowpassBank analysisLowpassBank;

    // --- time constants ---------------------------------------------------
    double glideCoef = 0.0;
    double levelDecay = 0.0;

    // --- block driver state -----------------------------------------------
    AnalysisPeriod period;
    // The Source's sums over the running period.
    MidLevelSums sourceSums;
    // The Masker/Self path's period state.
    MaskerPeriod maskerPeriod;
    int32_t lookaheadDelay = kLookaheadSamples;
    int32_t delayWritePos = 0;
    double listenMix = 0.0;
    int32_t lastRole = -1;
    uint8_t lastBypass = 0;
    uint8_t settled = 0;

    double bandGain[2][kBandCount] = {};
    double stftBandGain[2][kBandCount] = {};
    double unityGains[kBandCount] = {};

    // Rows are padded past kDelayLength (only positions below it are used) so
    // the two channels do not fall into the same cache sets.
    double dryDelay[2][kDelayLength + 8] = {};
    // Lookahead delay of the band-pass outputs, indexed [channel][position][band]
    // so one sample of all bands is contiguous.
    double bandDelay[2][kDelayLength + 1][kBandCount] = {};

    StftFrameEngine stft;

    // --- masking computation (Masker/Self) --------------------------------
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
    float lastLowGuardHz = -1.0f;
    float lastHighGuardHz = -1.0f;
    double lowGuardWeight[kBandCount] = {};
    double highGuardWeight[kBandCount] = {};
    double blockGain[kBandCount] = {};
    float coordGainCopy[kBandCount] = {};
    int64_t passCountSeen = 0;
    int32_t chunksSincePass = kStaleCount;
    double bandEnergy0[kBandCount] = {};
    double bandEnergy1[kBandCount] = {};
    double bandCross[kBandCount] = {};
    double bandEnvelope0[kBandCount] = {};
    double bandEnvelope1[kBandCount] = {};

    // --- gates and stereo link (Masker/Self) ------------------------------
    uint8_t gateOpen0[kBandCount] = {};
    uint8_t gateOpen1[kBandCount] = {};
    double gateAmount0[kBandCount] = {};
    double gateAmount1[kBandCount] = {};
    double gateGain0[kBandCount] = {};
    double gateGain1[kBandCount] = {};
    double stereoLink[kBandCount] = {};
    double linkRatio[kBandCount] = {};
    int32_t warmupCount = kLookaheadSamples;
    double nullSmoothed = -120.0;

    // --- bells --------------------------------------------------------------
    DynamicBell bells[kBellCount];
    double bellListenMix = 0.0;
    // Bell Listen follows its selection when the bell's signal leaves the
    // spectral stage, kStftSize samples after it was asked for.
    int32_t bellListenAsked = -1;           // the selection as it stands
    int32_t bellListenAskedAge = kStftSize; // samples since it last changed
    int32_t lastBellListen = -1;            // the selection the output now hears
    int32_t bellListenFed = -1;             // the bell whose signal enters the spectral stage

    // --- meters, read by the idle thread (relaxed) ------------------------
    std::atomic<float> dipMeter[kBandCount] = {};
    std::atomic<float> srcMeter[kBandCount] = {};
    std::atomic<float> maskMeter[kBandCount] = {};
    std::atomic<int32_t> touchedCount{0};
    std::atomic<float> nullMeter{-150.0f};
    std::atomic<int32_t> peersMeter{0};
    std::atomic<uint8_t> linked{0};

    // True while a band dip, a bell dip or the listen crossfade is not at rest.
    bool anyDipOrListen() const;

    // One sample of the shared release (release_sample.h).
    inline void releaseSample(double in0, double in1, const double* y0, const double* y1,
                              int readPos, double d0, double d1, double& out0, double& out1);

    // An output sample that is not finite is replaced by the dry sample aligned
    // with it, or by silence when that is not finite either (a bad input sample
    // comes out as 0 where it went in).
    static double finiteOrAlignedDry(double out, double alignedDry)
    {
        if (std::isfinite(out))
            return out;
        return std::isfinite(alignedDry) ? alignedDry : 0.0;
    }

    // Read position of the lookahead delay lines for the current sample.
    int lookaheadReadPos() const
    {
        const int r = delayWritePos - lookaheadDelay;
        return r < 0 ? r + kDelayLength : r;
    }
    // The dry pair that leaves the lookahead delay this sample, and where the
    // other delay lines are read. It is read before this sample's inputs take
    // their place at the write position (the caller advances it).
    struct DryTap
    {
        int readPos;
        double d0;
        double d1;
    };
    DryTap exchangeDry(double x0, double x1)
    {
        const int r = lookaheadReadPos();
        const DryTap tap{r, dryDelay[0][r], dryDelay[1][r]};
        dryDelay[0][delayWritePos] = x0;
        dryDelay[1][delayWritePos] = x1;
        return tap;
    }
    // Moves the common write position of all lookahead delay lines on by one.
    void advanceDelayWritePos()
    {
        if (++delayWritePos == kDelayLength)
            delayWritePos = 0;
    }

    // One sample of the bells' release, shared by the release and Source
    // paths: the bell filters and delay lines keep running, the bell gains
    // glide toward 1.0 and what they still remove is added to sub0/sub1.
    void releaseBellsSample(double in0, double in1, int readPos, double& sub0, double& sub1)
    {
        for (DynamicBell& bell : bells)
            bellReleaseStep(bell, in0, in1, readPos, delayWritePos, glideCoef, sub0, sub1);
    }
};

} // namespace ostrel
