// ostrel::PageBridge: what the instance keeps of its page between ticks:
// whether one is shown, whether it is due a full refresh (or only the
// presets), whether it asked for the keys, what it last got of the messages
// sent only when they change, and the pace of the meters and of the slow
// reports (slower behind another open editor). A new page has seen none of
// the reports.
#pragma once

#include "editor_messages/settings_message.h"
#include "plugin/front_editor.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel
{

class PageBridge
{
public:
    enum class Report
    {
        Meters,
        Sources,
        Matrix,
        Count,
    };

    // Meters go out at most every fifth tick (100 ms, 10 a second): smooth
    // enough for levels smoothed over 150 ms, and what keeps an open editor
    // light. Each update costs the web view a repaint of the spectrum, and
    // the helper a copy of it to the screen: most of what an open editor
    // costs.
    static constexpr int32_t kMeterTickPeriod = 5;
    // The peer list and matrix every second meters tick (200 ms), never on
    // a tick of their own: the page takes both in one update and draws once,
    // instead of waking up for each.
    static constexpr int32_t kSlowTickPeriod = 2 * kMeterTickPeriod;
    // A page behind another open editor gets meters and reports together
    // every 400 ms (2.5 a second): it still moves, at a quarter of what the
    // editor in use costs.
    static constexpr int32_t kBehindTickPeriod = 4 * kMeterTickPeriod;

    // ---- The page itself ----
    // The editor opened: nothing of the reports sent yet, the meters' pace
    // starts again, the keys stay with the host, a refresh is due.
    void Opened();
    // The editor closed: nothing more is sent.
    void Closed();
    // The page (re)loaded (the editor's opening follows): a refresh is due
    // and the header is sent again.
    void Loaded();
    bool IsOpen() const { return mOpen; }

    // ---- Refresh ----
    // A full refresh at the next tick (after a processing reset, say).
    void WantRefresh() { mRefreshDue = true; }
    bool RefreshDue() const { return mRefreshDue; }
    // The presets file's generation now: when it moved since the page last
    // got the presets, those are due again.
    void NotePresetsGeneration(uint64_t generation);
    uint64_t PresetsGenerationSeen() const { return mPresetsSeen; }
    bool PresetsDue() const { return mPresetsDue; }
    // The refresh (or the presets alone) went out.
    void Refreshed() { mRefreshDue = mPresetsDue = false; }

    // ---- Keys ----
    // The page wants the host's keys while one of its text fields is edited.
    void ForwardKeys(bool on) { mKeysForwarded = on; }
    bool KeysForwarded() const { return mKeysForwarded; }

    // ---- What the page has ----
    // True when `text` differs from what the page last got of `which`; it
    // is then taken as what the page has.
    bool IsNews(Report which, const std::string& text);
    // Likewise for the header's settings view.
    bool IsNews(const SettingsView& view);

    // ---- Pace ----
    // The user did something in the page: it comes to the front of the
    // process's open editors (FrontEditor).
    void UserActed() { mFront.Used(); }
    // Counts a tick with the page open; what is due is asked next. A page
    // behind another editor gets its meters and the slow reports together,
    // at its own slower pace.
    void Tick()
    {
        mTick = mTicks++;
        mBehind = mFront.Behind();
    }
    bool MetersDue() const { return mTick % (mBehind ? kBehindTickPeriod : kMeterTickPeriod) == 0; }
    bool SlowReportsDue() const
    {
        return mTick % (mBehind ? kBehindTickPeriod : kSlowTickPeriod) == 0;
    }

private:
    bool mOpen = false;
    bool mRefreshDue = false;
    bool mKeysForwarded = false;
    // The presets file's generation this page last got; another instance's
    // write moves the process-wide one on.
    uint64_t mPresetsSeen = 0;
    bool mPresetsDue = false;
    std::string mLast[static_cast<int>(Report::Count)];
    std::optional<SettingsView> mSettingsShown;
    int32_t mTicks = 0;
    int32_t mTick = 0;
    bool mBehind = false;
    FrontEditor mFront;
};

} // namespace ostrel
