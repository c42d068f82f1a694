// The one door into an engine's parts. The reference paths of the
// equivalence tests drive the same parts sample by sample as the loops did
// before they were optimised, so they see all of them; a test that needs a
// dip held at a given gain (a state only a running Masker reaches) seeds it
// here, and nothing else goes through.
#pragma once

#include "engine/spectral_engine.h"

namespace ostrel
{

class EnginePartsProbe
{
public:
    explicit EnginePartsProbe(SpectralEngine& engine) : EnginePartsProbe(engine.parts) {}

    // Every band of both channels held at `gain`, or at gain(channel, band).
    static void holdBandDips(SpectralEngine& engine, double gain)
    {
        holdBandDips(engine, [gain](int, int) { return gain; });
    }
    template <class Gain> static void holdBandDips(SpectralEngine& engine, Gain gain)
    {
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < kBandCount; ++k)
                engine.parts.gains.bandGain[c][k] = gain(c, k);
    }
    // The bells, for BellStageProbe to hold a bell's dip.
    static BellStage& bellStage(SpectralEngine& engine) { return engine.parts.bells; }

    // --- the reference paths' view ------------------------------------------
    EngineSettings& settings;
    SettingsSnapshot& chunkSettings;
    bool& hostBypassed;
    PeerRegistry*& registry;
    PeerLink*& link;
    BandFilters& filters;
    DelayLines& delays;
    StftFrameEngine& stft;
    PathState& path;
    AnalysisPeriod& period;
    SourceStage& source;
    BandGains& gains;
    MaskingStage& masking;
    BellStage& bells;
    ListenStage& listening;
    EngineMeters& meters;

    int samplesLeftInPeriod() const { return parts_.samplesLeftInPeriod(); }
    bool anyDipOrListen() const { return parts_.anyDipOrListen(); }
    void resetOnRoleChange(int role, bool bypassOn) { parts_.resetOnRoleChange(role, bypassOn); }
    void beginMaskerPeriod(int64_t hostSamplePos, bool transportRunning, bool sidechainConnected)
    {
        parts_.beginMaskerPeriod(hostSamplePos, transportRunning, sidechainConnected);
    }
    void closeMaskerPeriod() { parts_.closeMaskerPeriod(); }

private:
    explicit EnginePartsProbe(EngineParts& p)
        : settings(p.settings), chunkSettings(p.chunkSettings), hostBypassed(p.hostBypassed),
          registry(p.registry), link(p.link), filters(p.filters), delays(p.delays), stft(p.stft),
          path(p.path), period(p.period), source(p.source), gains(p.gains), masking(p.masking),
          bells(p.bells), listening(p.listening), meters(p.meters), parts_(p)
    {
    }

    EngineParts& parts_;
};

} // namespace ostrel
