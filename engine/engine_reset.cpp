// The engine's two resets: the full one at a (new) sample rate and the
// per-band one when the role or the bypass changes.
#include "engine/engine_parts.h"

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

void EngineParts::resetEngine(double rate)
{
    // Leave the registry; the next chunk attaches afresh.
    handover.releaseSlots();

    // Tables, filters and the spectral stage of the new rate.
    filters.design(rate);
    stft.init(filters.tables().edgeHz, rate);

    // Every group of state back to neutral; the next chunk performs the
    // role-change reset.
    delays.reset();
    period.prepare(rate, kDelayLength - delays.lookaheadDelay);
    source.reset();
    path.reset();
    gains.reset();
    masking.reset();
    meters.reset();
    // Listen starts where its parameter stands.
    listening.reset(settings.listen.load(std::memory_order_relaxed) != 0);

    // Bells: their settings stay as the parameters set them; the working
    // state starts unset and neutral.
    bells.reset(rate);
}

void EngineParts::resetOnRoleChange(int role, bool bypassOn)
{
    const bool wasMasking = path.wasMasking();
    const bool entersMasking = (role == kRoleMasker || role == kRoleSelf) && !bypassOn;

    // Whatever the path, the gates continue from the gains in use: a dip or
    // a release still in progress glides on instead of jumping.
    // A new role starts a new analysis period too.
    masking.changeRole(gains);
    for (int k = 0; k < kBandCount; ++k)
        meters.dipMeter[k].store(0.0f, std::memory_order_relaxed);
    if (entersMasking && !wasMasking)
        freshenMaskingState();
    if (!entersMasking)
        listening.resetBellListen();

    // A new role starts a new analysis period.
    period.restart();
    source.reset();

    // The level curves of another role describe other signals.
    meters.clearLevels();
    meters.touchedCount.store(0, std::memory_order_relaxed);
    meters.nullSmoothed = -120.0;
    meters.nullMeter.store(-150.0f, std::memory_order_relaxed);
    meters.linked.store(0, std::memory_order_relaxed);
    path.enter(role, bypassOn);
}

void EngineParts::freshenMaskingState()
{
    // The other paths do not follow the band envelopes: what they hold is
    // from before, so the gates start from silence.
    masking.freshen();
    bells.freshen(filters.tables().sampleRate);
    if (path.settled())
    {
        // The band filters stood still on the settled release path.
        filters.clearInputState();
    }
}

} // namespace ostrel
