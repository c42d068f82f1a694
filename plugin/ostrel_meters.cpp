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

} // namespace

MeterSnapshot Ostrel::TakeMeterSnapshot() const
{
    MeterSnapshot m;
    m.role = mEngine.settings().role.load(kRelaxed);
    const MeterReadings engine = ReadMeters();
    m.linked = engine.linked;
    m.peers = engine.peers;
    m.nullDb = engine.nullDb;
    m.touched = engine.touched;
    static_assert(kMeterBands == kBandCount && kMeterBells == kBellCount);
    for (int k = 0; k < kMeterBands; ++k)
    {
        m.dipDb[k] = engine.dipDb[k];
        m.src[k] = engine.src[k];
        m.mask[k] = engine.mask[k];
    }
    for (int b = 0; b < kMeterBells; ++b)
        m.bellDipDb[b] = engine.bellDipDb[b];
    m.hostBypass = GetBypassed();
    // Without a processed block for a while the meters stand still, and the
    // page says so.
    m.stale = mLink.AudioStale(monotonicMs());
    return m;
}

void Ostrel::SendChangedTextToPage(int msgTag, const std::string& text, PageBridge::Report which)
{
    if (mPage.IsNews(which, text))
        SendTextToPage(msgTag, text);
}

void Ostrel::SendMetersToPage()
{
    if (!mPage.MetersDue())
        return;
    SendChangedTextToPage(kTagMeters, BuildMeterReport(TakeMeterSnapshot()),
                          PageBridge::Report::Meters);
}

} // namespace ostrel
