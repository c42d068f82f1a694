// plugfw::SpscQueue: a fixed ring through which one thread (the audio
// thread) hands entries to one other thread (the main thread) without locks
// or allocation. One entry is kept free to tell full from empty; a push into
// a full ring drops the new entry, so the producer never waits.
#pragma once

#include <array>
#include <atomic>

namespace plugfw
{

template <typename T, int N> class SpscQueue
{
    static_assert(N >= 2, "a ring keeps one entry free");

public:
    static constexpr int kEntries = N;

    // Producer side. False (entry dropped) when full.
    bool Push(const T& entry)
    {
        const int w = mWrite.load(std::memory_order_relaxed);
        const int next = (w + 1) % N;
        if (next == mRead.load(std::memory_order_acquire))
            return false;
        mEntries[static_cast<size_t>(w)] = entry;
        mWrite.store(next, std::memory_order_release);
        return true;
    }

    // Consumer side. False when empty.
    bool Pop(T& entry)
    {
        const int r = mRead.load(std::memory_order_relaxed);
        if (r == mWrite.load(std::memory_order_acquire))
            return false;
        entry = mEntries[static_cast<size_t>(r)];
        mRead.store((r + 1) % N, std::memory_order_release);
        return true;
    }

    // Entries waiting (exact from either side's own thread, a snapshot otherwise).
    int Count() const
    {
        const int w = mWrite.load(std::memory_order_acquire);
        const int r = mRead.load(std::memory_order_acquire);
        return (w - r + N) % N;
    }

private:
    std::array<T, N> mEntries{};
    std::atomic<int> mWrite{0};
    std::atomic<int> mRead{0};
};

} // namespace plugfw
