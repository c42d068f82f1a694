// plugfw::StateRecords: what a plug-in keeps in the host's state besides its
// parameter values. The records follow the fixed part of the state (values
// and host bypass) behind a four-byte mark; each is a four-character id, a
// 32-bit byte count and the bytes. A reader finds records by id and passes
// over those it does not know, so a later version may add records and an
// earlier one still loads the state; a state without the mark (every state
// written before records existed) simply has none.
#pragma once

#include "framework/byte_chunk.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace plugfw
{

// A record id from its four characters, in the order they are stored.
constexpr uint32_t StateRecordId(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

class StateRecords
{
public:
    static constexpr uint32_t kMark = StateRecordId('S', 'R', 'E', 'C');

    // A record with the same id replaces the earlier one.
    void Add(uint32_t id, IByteChunk body);
    bool Empty() const { return mRecords.empty(); }
    // The record's bytes, or nullptr when there is none.
    const IByteChunk* Find(uint32_t id) const;

    // Appends the mark and the records; nothing at all when there are none,
    // so a state without records is exactly what earlier versions wrote.
    void WriteTo(IByteChunk& chunk) const;
    // The records from `startPos` on: none when the mark is not there (also
    // for a negative position); reading stops at a record cut short.
    static StateRecords ReadFrom(const IByteChunk& chunk, int startPos);

private:
    std::vector<std::pair<uint32_t, IByteChunk>> mRecords;
};

} // namespace plugfw
