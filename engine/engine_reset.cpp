// The engine's two resets: the full one at a (new) sample rate and the
// per-band one when the role or the bypass changes.
#include "engine/spectral_engine.h"

#include <algorithm>
#include <cstring>

namespace ostrel
{

namespace
{

template <typename T, size_t N> void fillArray(T (&a)[N], T value)
{
    std::fill(a, a + N, value);
}

template <typename T, size_t N> void storeAll(std::atomic<T> (&a)[N], T value)
{
    for (auto& v : a)
        v.store(value, std::memory_order_relaxed);
}

} // namespace

void SpectralEngine::resetEngine(double rate)
{
    // 1. Leave the registry; the next chunk attaches afresh.
    detachAtReset(*registry, link);

    // 2. Sample rate, edges, delay-line position.
    sampleRate = rate;
    computeBandEdges(edgeHz);
    lookaheadDelay = kLookaheadSamples;
    delayWritePos = 0;
    period.length = analysisPeriodLength(rate, kDelayLength - lookaheadDelay);
    period.restart();
    period.startPos = -1;
    sourceSums.reset();
    maskerPeriod.reset();

    // 3. Per-band tables, filters and state.
    for (int k = 0; k < kBandCount; ++k)
    {
        centreHz[k] = bandCentreHz(edgeHz, k);
        barkOfBand[k] = barkOfHz(centreHz[k]);
        bandWeight[k] = weightingGain(centreHz[k]);
        const double attack = onePoleFromMs(envelopeAttackMs(centreHz[k]), rate);
        const double release = onePoleFromMs(envelopeReleaseMs(centreHz[k]), rate);
        for (int c = 0; c < 2; ++c)
        {
            bandAttack[c][k] = attack;
            bandRelease[c][k] = release;
        }
    }
    bandFilter[0].design(edgeHz, rate);
    bandFilter[1].design(edgeHz, rate);
    outputBandFilter.design(edgeHz, rate);

    for (int c = 0; c < 2; ++c)
    {
        fillArray(bandGain[c], 1.0);
        fillArray(stftBandGain[c], 1.0);
    }
    fillArray(blockGain, 1.0);
    fillArray(gateGain0, 1.0);
    fillArray(gateGain1, 1.0);
    fillArray(linkRatio, 1e9);
    fillArray(gateOpen0, uint8_t{0});
    fillArray(gateOpen1, uint8_t{0});
    fillArray(bandEnvelope0, 0.0);
    fillArray(bandEnvelope1, 0.0);
    fillArray(gateAmount0, 0.0);
    fillArray(gateAmount1, 0.0);
    fillArray(bandEnergy0, 0.0);
    fillArray(bandEnergy1, 0.0);
    fillArray(bandCross, 0.0);
    fillArray(stereoLink, 0.0);
    fillArray(heldSourceLevel, 0.0);
    fillArray(lowGuardWeight, 1.0);
    fillArray(highGuardWeight, 1.0);
    storeAll(dipMeter, 0.0f);
    storeAll(srcMeter, 0.0f);
    storeAll(maskMeter, 0.0f);
    std::memset(bandDelay, 0, sizeof(bandDelay));

    // 4. Dry delay lines and the source history.
    std::memset(dryDelay, 0, sizeof(dryDelay));
    clearSourceHistory(sourceHistory, historyWritePos);
    lastBlockEnd = -1;
    publishedSlot = nullptr;
    publishedSeen = 0;
    sourceSeenSeq = 0;
    passCountSeen = 0;

    // 5. Analysis low-passes and the spectral stage.
    analysisLowpassBank.design(edgeHz, rate);
    stft.init(edgeHz, rate);

    // 6. Unity gains and time constants.
    fillArray(unityGains, 1.0);
    glideCoef = glideCoefficient(rate);
    levelDecay = levelDecayFactor(rate);

    // 7. The next chunk performs the role-change reset.
    lastRole = -1;
    lastBypass = 0;
    settled = 0;
    chunksSinceSourceUpdate = kStaleCount;
    chunksSincePass = kStaleCount;
    lastLowGuardHz = -1.0f;
    lastHighGuardHz = -1.0f;
    fillArray(coordGainCopy, 1.0f);
    warmupCount = lookaheadDelay;

    // 8. Null-depth meter.
    nullMeter.store(-150.0f, std::memory_order_relaxed);
    nullSmoothed = -120.0;
    touchedCount.store(0, std::memory_order_relaxed);
    linked.store(0, std::memory_order_relaxed);
    peersMeter.store(0, std::memory_order_relaxed);

    // 9. Listen crossfade starts where the parameter stands.
    listenMix = settings.listen.load(std::memory_order_relaxed) != 0 ? 1.0 : 0.0;

    // 10. Bells: their settings stay as the parameters set them; the working
    // state starts unset and neutral.
    for (DynamicBell& bell : bells)
        resetBellState(bell, rate);
    resetBellListen();
}

void SpectralEngine::resetBellListen()
{
    bellListenMix = 0.0;
    bellListenAsked = -1;
    bellListenAskedAge = kStftSize;
    lastBellListen = -1;
    bellListenFed = -1;
}

void SpectralEngine::resetOnRoleChange(int role, bool bypassOn)
{
    const bool wasMasking = (lastRole == kRoleMasker || lastRole == kRoleSelf) && lastBypass == 0;
    const bool masking = (role == kRoleMasker || role == kRoleSelf) && !bypassOn;

    // Whatever the path, the gates continue from the gains in use: a dip or
    // a release still in progress glides on instead of jumping.
    for (int k = 0; k < kBandCount; ++k)
    {
        gateOpen0[k] = 0;
        gateOpen1[k] = 0;
        gateAmount0[k] = 0.0;
        gateAmount1[k] = 0.0;
        heldSourceLevel[k] = 0.0;
        gateGain0[k] = bandGain[0][k];
        gateGain1[k] = bandGain[1][k];
        blockGain[k] = 1.0;
        dipMeter[k].store(0.0f, std::memory_order_relaxed);
    }
    if (masking && !wasMasking)
        freshenMaskingState();
    if (!masking)
        resetBellListen();

    // A new role starts a new analysis period.
    period.restart();
    sourceSums.reset();
    maskerPeriod.reset();

    touchedCount.store(0, std::memory_order_relaxed);
    nullSmoothed = -120.0;
    nullMeter.store(-150.0f, std::memory_order_relaxed);
    linked.store(0, std::memory_order_relaxed);
    lastRole = role;
    lastBypass = bypassOn ? 1 : 0;
}

void SpectralEngine::freshenMaskingState()
{
    // The other paths do not follow the band envelopes: what they hold is
    // from before, so the gates start from silence.
    fillArray(bandEnvelope0, 0.0);
    fillArray(bandEnvelope1, 0.0);
    for (DynamicBell& bell : bells)
    {
        if (bellAtRest(bell))
        {
            // Its filters and delay lines stood still and hold old audio.
            const float freq = bell.bellFreqSmoothed;
            const float q = bell.bellQSmoothed;
            resetBellState(bell, sampleRate);
            bell.bellFreqSmoothed = freq;
            bell.bellQSmoothed = q;
        }
        else
        {
            // Still releasing: filters and delay lines ran; only the
            // envelopes and gates start afresh, the gains glide on.
            bell.bellEnvelope0 = 0.0;
            bell.bellEnvelope1 = 0.0;
            bell.bellGateOpen0 = 0;
            bell.bellGateOpen1 = 0;
            bell.bellGateAmount0 = 0.0;
            bell.bellGateAmount1 = 0.0;
        }
    }
    if (settled)
    {
        // The band filters stood still on the settled release path.
        bandFilter[0].clearState();
        bandFilter[1].clearState();
    }
}

} // namespace ostrel
