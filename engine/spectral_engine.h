// The per-instance processing object as the plug-in sees it: reset, the
// block's chunks, the settings it writes, the meters it reads, its registry
// membership and its recent input for the host's bypass. Its parts stay
// behind this face (engine/engine_parts.h).
//
// Threads: processChunk runs on the audio thread; resetEngine and
// adoptRegistry on the main thread while audio is stopped; settings and
// meters are relaxed atomics any thread may touch.
#pragma once

#include "engine/engine_parts.h"

namespace ostrel
{

class SpectralEngine
{
public:
    SpectralEngine() = default;
    SpectralEngine(const SpectralEngine&) = delete;
    SpectralEngine& operator=(const SpectralEngine&) = delete;

    // Full reset at a (new) sample rate: releases the registry slot, rebuilds
    // the tables and filters, clears every delay line and per-band state.
    // Main thread, audio stopped.
    void resetEngine(double sampleRate) { parts.resetEngine(sampleRate); }

    // One chunk of at most kMaxChunk samples (audio thread). in0/in1 may be
    // the same channel (mono) and may alias out0/out1 (sample t is read before
    // it is written). side0/side1 may be null.
    void processChunk(const double* in0, const double* in1, double* out0, double* out1, int n,
                      int64_t hostSamplePos, bool transportRunning, const double* side0,
                      const double* side1)
    {
        parts.processChunk(in0, in1, out0, out1, n, hostSamplePos, transportRunning, side0, side1);
    }

    // The host's own bypass, set before each block (audio thread): the engine
    // then runs as when its Bypass parameter is on.
    void setHostBypassed(bool bypassed) { parts.setHostBypassed(bypassed); }

    // What the parameters set (any thread; the audio thread takes a snapshot
    // per slice).
    EngineSettings& settings() { return parts.engineSettings(); }
    const EngineSettings& settings() const { return parts.engineSettings(); }

    // What the meters show now, bells included (any thread; the idle
    // thread reads it for the editor).
    MeterReadings meters() const { return parts.readings(); }
    // An editor shows the meters (main thread): only then does a Masker
    // measure its own track for them.
    void setMetersWanted(bool wanted) { parts.setMetersWanted(wanted); }

    // Where the instance meets its peers: the idle thread's side of its
    // registry membership, and its move to another registry while audio runs.
    RegistryHandover& handover() { return parts.registryHandover(); }
    const RegistryHandover& handover() const { return parts.registryHandover(); }
    // Moves the instance to `other` at once (a test's own registry): main
    // thread, audio stopped.
    void adoptRegistry(PeerRegistry& other) { parts.adoptRegistry(other); }

    // Every path keeps every sample processChunk received: writes input
    // channel c's samples from (endAgo + count) to endAgo + 1 samples ago,
    // oldest first (endAgo + count at most kDelayLength).
    void readRecentInput(int c, int endAgo, int count, double* dst) const
    {
        parts.readRecentInput(c, endAgo, count, dst);
    }

    // --- read-only views (tests, diagnostics) ----------------------------
    // Audio thread, or any thread while audio is stopped: none of these is
    // atomic.
    // The rate of the last resetEngine.
    double sampleRate() const { return parts.bandFilters().tables().sampleRate; }
    // The gain applied to a band on a channel now (1.0 = no dip).
    double bandGain(int channel, int band) const { return parts.bandGain(channel, band); }
    const MaskingStage& masking() const { return parts.maskingStage(); }
    const BellStage& bells() const { return parts.bellStage(); }
    // The band analysis: its tables and filter states.
    const BandFilters& bandFilters() const { return parts.bandFilters(); }

private:
    EngineParts parts;
    // The reference paths of the equivalence tests drive the same parts.
    friend class EnginePartsProbe;
};

} // namespace ostrel
