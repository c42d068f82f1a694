// plugfw::DeferredHostCalls: what the plug-in would tell the host's
// component handler but may not, because it runs on the private timer
// thread (hosts without a run loop), held until the next main-thread
// opportunity: value changes, gesture ends, restart flags and the dirty
// flag. It also keeps which gestures reached the host, so that a value
// inside an open gesture is reported as just the value.
//
// Threads: value changes are marked and taken with atomics (the audio
// thread reports them through the processor's output changes); everything
// else runs under the instance's lock.
#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace plugfw
{

class DeferredHostCalls
{
public:
    explicit DeferredHostCalls(int nParams);

    // ---- Held back from the private timer thread ----
    void DeferPerform(int paramIdx);
    void DeferEnd(int paramIdx) { mPendingEnd[Index(paramIdx)] = 1; }
    void DeferRestart(Steinberg::int32 flags) { mPendingRestartFlags.fetch_or(flags); }
    void DeferDirty() { mPendingDirty.store(true); }

    // ---- Gestures that reached the host (under the lock) ----
    bool GestureOpen(int paramIdx) const { return mHostGestureOpen[Index(paramIdx)] != 0; }
    void GestureBegun(int paramIdx) { mHostGestureOpen[Index(paramIdx)] = 1; }
    // A new begin makes an end held back from the timer thread void.
    void CancelEnd(int paramIdx) { mPendingEnd[Index(paramIdx)] = 0; }
    void GestureEnded(int paramIdx) { mHostGestureOpen[Index(paramIdx)] = 0; }

    // ---- Main thread, under the lock: tells the host all that waited ----
    // `valueOf` gives a parameter's current normalised value; `handler2` may
    // be null (no grouped edits, no dirty flag).
    void Flush(Steinberg::Vst::IComponentHandler& handler,
               Steinberg::Vst::IComponentHandler2* handler2,
               const std::function<double(int)>& valueOf);
    // Values a host restore replaces: telling the host would only be undone.
    void DropPerforms();

    // ---- Audio thread: the values into the processor's output changes ----
    bool AnyPerformPending() const { return mAnyPendingPerform.load(std::memory_order_relaxed); }
    // Calls `report(paramIdx)` for each pending value and forgets it.
    template <typename Report> void TakePerforms(Report&& report)
    {
        if (!mAnyPendingPerform.exchange(false))
            return;
        for (int i = 0; i < mNParams; ++i)
            if (mPendingPerform[Index(i)].exchange(0))
                report(i);
    }

private:
    static size_t Index(int paramIdx) { return static_cast<size_t>(paramIdx); }
    void ReportPerforms(Steinberg::Vst::IComponentHandler& handler,
                        Steinberg::Vst::IComponentHandler2* handler2,
                        const std::function<double(int)>& valueOf);

    const int mNParams;
    std::unique_ptr<std::atomic<uint8_t>[]> mPendingPerform;
    std::atomic<bool> mAnyPendingPerform{false};
    std::vector<uint8_t> mHostGestureOpen;
    std::vector<uint8_t> mPendingEnd;
    std::atomic<Steinberg::int32> mPendingRestartFlags{0};
    std::atomic<bool> mPendingDirty{false};
};

} // namespace plugfw
