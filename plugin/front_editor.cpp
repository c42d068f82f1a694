#include "plugin/front_editor.h"

#include <atomic>

namespace ostrel
{

namespace
{

// Process-wide: every instance's editor competes for the front. Statics, not
// heap objects, so they go with the module.
std::atomic<uint64_t> gLastStamp{0};
std::atomic<uint64_t> gFront{0};

} // namespace

void FrontEditor::Used()
{
    mStamp = gLastStamp.fetch_add(1, std::memory_order_relaxed) + 1;
    gFront.store(mStamp, std::memory_order_relaxed);
}

void FrontEditor::Closed()
{
    if (mStamp == 0)
        return;
    uint64_t mine = mStamp;
    gFront.compare_exchange_strong(mine, 0, std::memory_order_relaxed);
    mStamp = 0;
}

bool FrontEditor::Behind() const
{
    const uint64_t front = gFront.load(std::memory_order_relaxed);
    return mStamp != 0 && front != 0 && front != mStamp;
}

} // namespace ostrel
