// ostrel::GestureBook: which parameters a gesture holds open at the host,
// and for how long it has been idle. Two holders may hold one parameter:
// the page (a control being dragged) and a drag in some editor's link
// matrix. The host's gesture stays open while either holds it; one left
// idle for the timeout closes, as a page or a peer may go without ending it.
#pragma once

#include "plugin/ostrel_params.h"

#include <cstdint>

namespace ostrel
{

enum class GestureHolder
{
    Page,
    Peer,
};

class GestureBook
{
public:
    // Idle ticks after which an open gesture closes (9.6 s of 20 ms ticks).
    static constexpr int32_t kTimeoutTicks = 480;

    bool Held(GestureHolder who, int paramIdx) const { return Slot(who, paramIdx).open; }
    bool HeldByAnyone(int paramIdx) const
    {
        return Held(GestureHolder::Page, paramIdx) || Held(GestureHolder::Peer, paramIdx);
    }
    // Ticks since the holder last touched it (0 when not held).
    int32_t IdleTicks(GestureHolder who, int paramIdx) const { return Slot(who, paramIdx).ticks; }

    // Opens (or stays in) the holder's gesture and restarts its countdown;
    // true when it was not open before.
    bool Open(GestureHolder who, int paramIdx);
    // A value inside the gesture: its countdown starts again.
    void Touch(GestureHolder who, int paramIdx) { Slot(who, paramIdx).ticks = 0; }
    // True when it was open.
    bool Close(GestureHolder who, int paramIdx);

    // One idle tick: every gesture idle for longer than the timeout closes,
    // and `closed(paramIdx)` runs for each.
    template <typename Closed> void Tick(Closed&& closed)
    {
        for (int i = 0; i < kNumParams; ++i)
            for (const GestureHolder who : {GestureHolder::Page, GestureHolder::Peer})
            {
                Entry& e = Slot(who, i);
                if (e.open && ++e.ticks > kTimeoutTicks)
                {
                    e = Entry{};
                    closed(i);
                }
            }
    }

private:
    struct Entry
    {
        bool open = false;
        int32_t ticks = 0;
    };
    Entry& Slot(GestureHolder who, int paramIdx)
    {
        return (who == GestureHolder::Page ? mPage : mPeer)[paramIdx];
    }
    const Entry& Slot(GestureHolder who, int paramIdx) const
    {
        return (who == GestureHolder::Page ? mPage : mPeer)[paramIdx];
    }

    Entry mPage[kNumParams];
    Entry mPeer[kNumParams];
};

} // namespace ostrel
