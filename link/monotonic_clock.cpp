#include "link/monotonic_clock.h"

#include <atomic>

namespace ostrel
{

int64_t monotonicMsPlatform(); // monotonic_clock_linux.cpp / _win.cpp

namespace
{
std::atomic<MonotonicSource> testSource{nullptr};
}

int64_t monotonicMs()
{
    if (MonotonicSource source = testSource.load(std::memory_order_acquire))
        return source();
    return monotonicMsPlatform();
}

void setMonotonicSourceForTesting(MonotonicSource source)
{
    testSource.store(source, std::memory_order_release);
}

} // namespace ostrel
