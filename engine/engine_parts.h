// The engine's parts (band analysis, masking computation, gates, bells, the
// spectral stage, meters) and the paths that drive them. SpectralEngine wraps
// it behind the face the plug-in uses; each stage lives in its own file.
// Every buffer is a fixed array: nothing is allocated after construction (the
// object is a few MB, keep it on the heap).
//
// Threads: processChunk and everything it calls run on the audio thread;
// resetEngine runs on the main thread while audio is stopped. The meters that
// the idle thread reads are relaxed atomics.
#pragma once

#include "engine/analysis_period.h"
#include "engine/band_filters.h"
#include "engine/band_layout.h"
#include "engine/band_levels.h"
#include "engine/bell_stage.h"
#include "engine/biquad.h"
#include "engine/delay_lines.h"
#include "engine/engine_role.h"
#include "engine/engine_settings.h"
#include "engine/engine_state.h"
#include "engine/listen_stage.h"
#include "engine/masking_source_history.h"
#include "engine/masking_stage.h"
#include "engine/meter_readings.h"
#include "engine/path_state.h"
#include "engine/source_stage.h"
#include "engine/stft_frame_engine.h"
#include "link/peer_registry.h"
#include "link/registry_handover.h"

#include <atomic>
#include <cmath>
#include <cstdint>

namespace ostrel
{

class DeferredFloatModeGuard;

inline constexpr int kMaxChunk = kDelayLength - kLookaheadSamples; // 4880
// Total latency of the engine: lookahead plus the spectral stage.
inline constexpr int kEngineLatency = kLookaheadSamples + kStftSize; // 1264
// Bands 0..3 are dipped in the time domain; the spectral stage dips 4..23.

class EngineParts
{
public:
    EngineParts();
    ~EngineParts();
    EngineParts(const EngineParts&) = delete;
    EngineParts& operator=(const EngineParts&) = delete;

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

    // The lookahead line holds every sample processChunk received, on every
    // path (DelayLines::readRecentInput).
    void readRecentInput(int c, int endAgo, int count, double* dst) const
    {
        delays.readRecentInput(c, endAgo, count, dst);
    }

    // What the parameters set (any thread; the audio thread takes a snapshot
    // per slice).
    EngineSettings& engineSettings() { return settings; }
    const EngineSettings& engineSettings() const { return settings; }
    // The host's own bypass, set by the plug-in before each block (audio
    // thread): the engine then runs as when its Bypass parameter is on.
    void setHostBypassed(bool bypassed) { hostBypassed = bypassed; }

    // The meters as one read-only copy, and whether an editor wants them.
    MeterReadings readings() const { return readMeters(meters, bells); }
    void setMetersWanted(bool wanted)
    {
        meters.wanted.store(wanted ? 1 : 0, std::memory_order_relaxed);
    }

    // Where the instance meets its peers, and its move to another registry.
    RegistryHandover& registryHandover() { return handover; }
    const RegistryHandover& registryHandover() const { return handover; }
    // Moves the instance to `other` at once: main thread, audio stopped.
    void adoptRegistry(PeerRegistry& other);

    // Read-only views: the band analysis, the gain applied to a band now
    // (1.0 = no dip), the masking and bell stages.
    const BandFilters& bandFilters() const { return filters; }
    double bandGain(int channel, int band) const { return gains.bandGain[channel][band]; }
    const MaskingStage& maskingStage() const { return masking; }
    const BellStage& bellStage() const { return bells; }

    // An output sample that is not finite is replaced by the dry sample aligned
    // with it, or by silence when that is not finite either (a bad input sample
    // comes out as 0 where it went in).
    static double finiteOrAlignedDry(double out, double alignedDry)
    {
        if (std::isfinite(out))
            return out;
        return std::isfinite(alignedDry) ? alignedDry : 0.0;
    }

private:
    // Samples left in the running analysis period.
    int samplesLeftInPeriod() const { return period.samplesLeft(); }

    // --- paths (called from processChunk only, with slices that do not
    // cross an analysis period's end) ---------------------------------------
    // A path's ...Body is its loops, which its dispatcher runs in the chosen
    // vector version (vector_clones.h).
    // floatMode is engaged for every slice that computes.
    void processSlice(const double* in0, const double* in1, double* out0, double* out1, int n,
                      int64_t hostSamplePos, bool transportRunning, const double* side0,
                      const double* side1, DeferredFloatModeGuard& floatMode);
    void processReleaseChunk(const double* in0, const double* in1, double* out0, double* out1,
                             int n, int slot);
    // A release that settled and stays so (same role and bypass, the
    // spectral stage empty): the whole chunk is a delay line, with no slice's
    // settings snapshot or dispatch.
    bool staysSettled(int role, bool bypassOn) const;
    void processSettledRelease(const double* in0, const double* in1, double* out0, double* out1,
                               int n, int64_t hostSamplePos, int role, bool bypassOn);
    // A chunk of such a release that neither starts nor crosses an analysis
    // period, taken without the registry.
    void passSettledInsidePeriod(const double* in0, const double* in1, double* out0, double* out1,
                                 int n);
    // Counts processed slices on the link in use.
    void countSlices(int slices);
    // The release path once nothing is left to release, and the Source's
    // audio: a delay line (the spectral stage passes its input unchanged).
    void processSettledChunk(const double* in0, const double* in1, double* out0, double* out1,
                             int n);
    void processSettledChunkBody(const double* in0, const double* in1, double* out0, double* out1,
                                 int n);
    // The lookahead line alone as the engine's whole latency (the spectral
    // stage empty; the caller moves its positions on).
    void passThroughLine(const double* in0, const double* in1, double* out0, double* out1, int n);
    // The release of dips sample by sample, shared by the release path and
    // a Source that still has dips from a previous role to release.
    void processReleasingRun(const double* in0, const double* in1, double* out0, double* out1,
                             int n);
    // Before the spectral stage steps again after a settled run: its dry
    // rings as the run would have left them.
    void refillStftRings();
    void processSourceChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                            int64_t hostSamplePos, int slot);
    void processSourceChunkBody(const double* in0, const double* in1, double* out0, double* out1,
                                int n, int64_t hostSamplePos, int slot);
    // Masker (role 2) and Self (role 3): engine/masker_path.cpp.
    void processMaskerChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                            int64_t hostSamplePos, bool transportRunning, const double* side0,
                            const double* side1);
    // kGatherRamps: the band gates may gather their ramping lanes (a version
    // of vectors of four doubles or fewer).
    template <bool kGatherRamps>
    void processMaskerChunkBody(const double* in0, const double* in1, double* out0, double* out1,
                                int n, int64_t hostSamplePos, bool transportRunning,
                                const double* side0, const double* side1);

    // The Masker/Self period's block-rate halves around the masking stage.
    void beginMaskerPeriod(int64_t hostSamplePos, bool transportRunning, bool sidechainConnected);
    void closeMaskerPeriod();
    MaskingContext maskingContext()
    {
        return {chunkSettings, filters.tables(), *registry,        *link, meters,
                bells,         period.length(),  period.startPos()};
    }

    // Per-band reset when the role or the bypass changed.
    void resetOnRoleChange(int role, bool bypassOn);
    // Entering Masker/Self from another path: state those paths did not keep
    // running starts afresh, so nothing from before plays again.
    void freshenMaskingState();

    // True while a band dip, a bell dip or the listen crossfade is not at rest.
    bool anyDipOrListen() const;

    // One sample of the shared release (release_sample.h).
    inline void releaseSample(double in0, double in1, const double* y0, const double* y1,
                              int readPos, double d0, double d1, double& out0, double& out1);

    // --- settings and registry -------------------------------------------
    EngineSettings settings;
    // The settings as the current slice reads them (audio thread).
    SettingsSnapshot chunkSettings;
    bool hostBypassed = false;
    // Where the instance meets its peers, and its move to another registry
    // (the host session's shared one, or back) while audio runs.
    RegistryHandover handover;
    // The registry and handle of the running chunk (audio thread; taken from
    // the handover at the start of every chunk, or by adoptRegistry).
    PeerRegistry* registry = nullptr;
    PeerLink* link = nullptr;

    // --- band analysis, delay lines and the spectral stage -----------------
    BandFilters filters;
    DelayLines delays;
    StftFrameEngine stft;

    // --- block driver -------------------------------------------------------
    PathState path;
    AnalysisPeriod period;
    // What a Source measures over the running period and publishes.
    SourceStage source;
    BandGains gains;

    // --- the Masker/Self path's stages ----------------------------------------
    MaskingStage masking;
    BellStage bells;
    ListenStage listening;

    // --- meters, read by the idle thread (relaxed) --------------------------
    EngineMeters meters;

    // The reference paths of the equivalence tests drive these same parts
    // sample by sample.
    friend class EnginePartsProbe;
};

} // namespace ostrel
