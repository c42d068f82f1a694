// A fixed ring of MIDI messages from the page (main thread) to the processing
// side (audio thread). One producer, one consumer, no lock; one entry always
// stays free, and a message that finds the ring full is dropped.
#pragma once

#include "framework/editor_delegate.h"

#include <array>
#include <atomic>
#include <cstddef>

namespace plugfw
{

class MidiMsgRing
{
public:
    static constexpr size_t kEntries = 33;

    // Main thread. False when the ring is full (the message is dropped).
    bool Push(const MidiMsg& msg)
    {
        const size_t write = mWrite.load(std::memory_order_relaxed);
        const size_t next = (write + 1) % kEntries;
        if (next == mRead.load(std::memory_order_acquire))
            return false;
        mEntries[write] = msg;
        mWrite.store(next, std::memory_order_release);
        return true;
    }

    // Audio thread. False when the ring is empty.
    bool Pop(MidiMsg& msg)
    {
        const size_t read = mRead.load(std::memory_order_relaxed);
        if (read == mWrite.load(std::memory_order_acquire))
            return false;
        msg = mEntries[read];
        mRead.store((read + 1) % kEntries, std::memory_order_release);
        return true;
    }

private:
    std::array<MidiMsg, kEntries> mEntries{};
    std::atomic<size_t> mWrite{0};
    std::atomic<size_t> mRead{0};
};

} // namespace plugfw
