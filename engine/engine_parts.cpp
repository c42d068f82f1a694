#include "engine/engine_parts.h"

#include "engine/float_mode_guard.h"

#include <algorithm>

namespace ostrel
{

EngineParts::EngineParts()
    : registry(handover.idleSide().lease.registry), link(&handover.idleSide().link)
{
    // Tables and filters are valid before the host's first reset too.
    resetEngine(48000.0);
}

void EngineParts::adoptRegistry(PeerRegistry& other)
{
    handover.moveTo(other);
    registry = handover.idleSide().lease.registry;
    link = &handover.idleSide().link;
    masking.forgetSource();
}

// The handover leaves the registry when it goes.
EngineParts::~EngineParts() = default;

void EngineParts::processChunk(const double* in0, const double* in1, double* out0, double* out1,
                               int n, int64_t hostSamplePos, bool transportRunning,
                               const double* side0, const double* side1)
{
    // Only the settings that could end a settled release are read for it;
    // the others matter to no slice of it.
    const int role = settings.role.load(std::memory_order_relaxed);
    const bool bypassOn = settings.bypass.load(std::memory_order_relaxed) != 0 || hostBypassed;
    const bool settled = staysSettled(role, bypassOn);
    // Inside an analysis period a settled release needs nothing of the
    // registry (its registry call and peers meter come with the period's
    // start), so it does not enter the handover either.
    if (settled && !period.starts() && n <= samplesLeftInPeriod() && handover.staysOutside(*link))
    {
        passSettledInsidePeriod(in0, in1, out0, out1, n);
        return;
    }
    DeferredFloatModeGuard floatMode;
    // The registry of this chunk: a move the idle thread offered is taken
    // here, between chunks.
    RegistryMembership& membership = handover.beginChunk();
    registry = membership.lease.registry;
    link = &membership.link;
    if (settled)
    {
        processSettledRelease(in0, in1, out0, out1, n, hostSamplePos, role, bypassOn);
        handover.endChunk();
        return;
    }
    // Slices end where an analysis period ends, so the block-rate work runs
    // once per period whatever the host's block size.
    int done = 0;
    while (done < n)
    {
        const int m = std::min(n - done, samplesLeftInPeriod());
        processSlice(in0 + done, in1 + done, out0 + done, out1 + done, m,
                     hostSamplePos >= 0 ? hostSamplePos + done : -1, transportRunning,
                     side0 != nullptr ? side0 + done : nullptr,
                     side1 != nullptr ? side1 + done : nullptr, floatMode);
        done += m;
    }
    handover.endChunk();
}

bool EngineParts::staysSettled(int role, bool bypassOn) const
{
    return (bypassOn || role == kRoleOff) && !path.changesTo(role, bypassOn) &&
           path.restsSinceChange() && stft.isPlainDelay();
}

void EngineParts::processSettledRelease(const double* in0, const double* in1, double* out0,
                                        double* out1, int n, int64_t hostSamplePos, int role,
                                        bool bypassOn)
{
    // The chunk's slices as processSlice would count them, without their
    // per-slice work: each only moves samples along the lookahead line.
    int slices = 0;
    for (int done = 0; done < n; ++slices)
    {
        const int m = std::min(n - done, samplesLeftInPeriod());
        if (period.starts())
            period.begin(hostSamplePos >= 0 ? hostSamplePos + done : -1);
        period.advance(m);
        done += m;
    }
    countSlices(slices);
    // The same answers as every slice of the settled release gets: nothing
    // held in the registry, the peers counted for the meter.
    const int slot = slotOfChannelIndex(settings.channelIndex.load(std::memory_order_relaxed));
    attach(*registry, *link, role, slot, bypassOn,
           settings.sidechainOn.load(std::memory_order_relaxed) != 0);
    meters.peersMeter.store(holderCountOf(registry->slots[slot]), std::memory_order_relaxed);
    passThroughLine(in0, in1, out0, out1, n);
    stft.skipPlainDelay(n);
}

void EngineParts::passSettledInsidePeriod(const double* in0, const double* in1, double* out0,
                                          double* out1, int n)
{
    period.advance(n);
    countSlices(1);
    passThroughLine(in0, in1, out0, out1, n);
    stft.skipPlainDelay(n);
}

void EngineParts::countSlices(int slices)
{
    // The idle thread watches this to tell whether audio is running. Only
    // this thread writes it, so no read-modify-write is needed; it wraps as
    // the increment of an unsigned count would.
    const auto count = static_cast<uint32_t>(link->blockCounter.load(std::memory_order_relaxed));
    link->blockCounter.store(static_cast<int32_t>(count + static_cast<uint32_t>(slices)),
                             std::memory_order_relaxed);
}

void EngineParts::processSlice(const double* in0, const double* in1, double* out0, double* out1,
                               int n, int64_t hostSamplePos, bool transportRunning,
                               const double* side0, const double* side1,
                               DeferredFloatModeGuard& floatMode)
{
    // One consistent copy of the settings for the whole slice.
    settings.snapshotInto(chunkSettings);
    const int role = chunkSettings.role;
    const int slot = slotOfChannelIndex(chunkSettings.channelIndex);
    const bool bypassOn = chunkSettings.bypass != 0 || hostBypassed;
    const bool releasing = bypassOn || role == kRoleOff;

    if (path.changesTo(role, bypassOn))
    {
        floatMode.engage();
        resetOnRoleChange(role, bypassOn);
    }
    // A settled release whose spectral stage is empty only moves samples
    // along the lookahead line (processReleaseChunk, processSettledChunk);
    // everything else computes.
    if (!(releasing && path.restsSinceChange() && stft.isPlainDelay()))
        floatMode.engage();

    if (period.starts())
        period.begin(hostSamplePos);

    countSlices(1);
    attach(*registry, *link, role, slot, bypassOn, chunkSettings.sidechainOn != 0);

    if (releasing)
        processReleaseChunk(in0, in1, out0, out1, n, slot);
    else if (role == kRoleSource)
        processSourceChunk(in0, in1, out0, out1, n, hostSamplePos, slot);
    else
        processMaskerChunk(in0, in1, out0, out1, n, hostSamplePos, transportRunning, side0, side1);

    period.advance(n);
}

bool EngineParts::anyDipOrListen() const
{
    if (listening.listenHeard())
        return true;
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kBandCount; ++k)
            if (gains.bandGain[c][k] != 1.0)
                return true;
    return !bells.atRest();
}

} // namespace ostrel
