// The meters the page shows: a snapshot of the engine's, with whether the
// host bypasses the plug-in and whether audio still arrives, sent only when
// it changed and at most 10 times a second. The page's other steady
// messages (peer list, matrix) likewise go out only when they changed.
#include "plugin/ostrel.h"

#include "editor_messages/product_message_tags.h"
#include "link/monotonic_clock.h"

namespace ostrel
{

namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;

// Without a processed block for this long the meters stand still, and the
// page says so.
constexpr int64_t kStaleAfterMs = 250;

} // namespace

MeterSnapshot Ostrel::TakeMeterSnapshot() const
{
    MeterSnapshot m;
    m.role = engine.settings.role.load(kRelaxed);
    m.linked = engine.meters.linked.load(kRelaxed) != 0;
    m.peers = engine.meters.peersMeter.load(kRelaxed);
    m.nullDb = engine.meters.nullMeter.load(kRelaxed);
    m.touched = engine.meters.touchedCount.load(kRelaxed);
    for (int k = 0; k < kMeterBands; ++k)
    {
        m.dipDb[k] = engine.meters.dipMeter[k].load(kRelaxed);
        m.src[k] = engine.meters.srcMeter[k].load(kRelaxed);
        m.mask[k] = engine.meters.maskMeter[k].load(kRelaxed);
    }
    for (int b = 0; b < kMeterBells; ++b)
        m.bellDipDb[b] = engine.bells[b].bellDipMeter.load(kRelaxed);
    m.hostBypass = GetBypassed();
    m.stale = lastAudioMs < 0 || monotonicMs() - lastAudioMs >= kStaleAfterMs;
    return m;
}

void Ostrel::NoteAudioProgress(int32_t blockCounter)
{
    // Before the first tick the counter stood at 0.
    const int32_t before = blockCounterSeen ? lastBlockCounter : 0;
    if (blockCounter != before)
        lastAudioMs = monotonicMs();
}

void Ostrel::SendChangedTextToPage(int msgTag, const std::string& text, PageOutbox::Report which)
{
    if (pageOutbox.IsNews(which, text))
        SendTextToPage(msgTag, text);
}

void Ostrel::SendMetersToPage()
{
    if (!pageOutbox.MeterTickDue())
        return;
    SendChangedTextToPage(kTagMeters, BuildMeterReport(TakeMeterSnapshot()),
                          PageOutbox::Report::Meters);
}

} // namespace ostrel
