// What the engine remembers between slices about the path it ran: the role
// and bypass of the last slice (a change resets per-band state) and whether
// the release path has brought everything to rest.
#pragma once

#include "engine/engine_role.h"

#include <cstdint>

namespace ostrel
{

class PathState
{
public:
    // No slice run yet: the next one counts as a change.
    void reset() { *this = PathState{}; }

    // The slice about to run has another role or bypass than the last.
    bool changesTo(int role, bool bypassOn) const
    {
        return role != lastRole_ || static_cast<uint8_t>(bypassOn) != lastBypass_;
    }
    // The last slice ran the Masker/Self path.
    bool wasMasking() const
    {
        return (lastRole_ == kRoleMasker || lastRole_ == kRoleSelf) && lastBypass_ == 0;
    }
    // The change is taken: this role and bypass from now on.
    void enter(int role, bool bypassOn)
    {
        lastRole_ = role;
        lastBypass_ = bypassOn ? 1 : 0;
        restsSinceChange_ = 0;
    }

    // The release path found nothing to release: the band and bell filters
    // rest untouched, and nothing can bring a dip back until another path
    // or a role change runs, so the release path need not look again.
    void settle()
    {
        restsSinceChange_ = 1;
        settled_ = 1;
    }
    bool restsSinceChange() const { return restsSinceChange_ != 0; }
    // The band filters stood still since the release path settled.
    bool settled() const { return settled_ != 0; }
    // A computing path (Source, Masker/Self) runs: returns whether it starts
    // from rest.
    bool leaveRest()
    {
        restsSinceChange_ = 0;
        const bool fromRest = settled_ != 0;
        settled_ = 0;
        return fromRest;
    }

private:
    int32_t lastRole_ = -1;
    uint8_t lastBypass_ = 0;
    uint8_t settled_ = 0;
    uint8_t restsSinceChange_ = 0;
};

} // namespace ostrel
