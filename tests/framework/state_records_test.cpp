// The records a plug-in keeps in the host's state after its values: found
// by id, unknown ones passed over, and a state without them (as every
// earlier version wrote it) simply has none.
#include "framework/state_records.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using plugfw::IByteChunk;
using plugfw::StateRecordId;
using plugfw::StateRecords;

constexpr uint32_t kA = StateRecordId('A', 'A', 'A', 'A');
constexpr uint32_t kB = StateRecordId('B', 'B', 'B', 'B');

IByteChunk Bytes(const std::string& text)
{
    IByteChunk chunk;
    chunk.PutBytes(text.data(), static_cast<int>(text.size()));
    return chunk;
}

std::string Text(const IByteChunk* chunk)
{
    if (chunk == nullptr)
        return "(none)";
    return std::string(reinterpret_cast<const char*>(chunk->GetData()),
                       static_cast<size_t>(chunk->Size()));
}

// A state's fixed part (here 8 bytes), then whatever follows it.
IByteChunk StateWith(const StateRecords& records)
{
    IByteChunk state = Bytes("values..");
    records.WriteTo(state);
    return state;
}

TEST(StateRecords, WrittenAfterTheFixedPartAndFoundById)
{
    StateRecords records;
    records.Add(kA, Bytes("first"));
    records.Add(kB, Bytes("second"));
    records.Add(kA, Bytes("replaced"));
    const IByteChunk state = StateWith(records);
    EXPECT_EQ(state.Size(), 8 + 4 + (8 + 8) + (8 + 6));
    const StateRecords read = StateRecords::ReadFrom(state, 8);
    EXPECT_EQ(Text(read.Find(kA)), "replaced");
    EXPECT_EQ(Text(read.Find(kB)), "second");
    EXPECT_EQ(Text(read.Find(StateRecordId('C', 'C', 'C', 'C'))), "(none)");
}

TEST(StateRecords, NoRecordsWriteNothing)
{
    EXPECT_EQ(StateWith(StateRecords()).Size(), 8);
}

TEST(StateRecords, WhatIsNoRecordReadsAsNone)
{
    StateRecords records;
    records.Add(kA, Bytes("first"));
    records.Add(kB, Bytes("second"));
    const IByteChunk whole = StateWith(records);
    struct Case
    {
        const char* label;
        IByteChunk state;
        int from;
        const char* a;
        const char* b;
    };
    auto cut = [&](int size)
    {
        IByteChunk c;
        c.PutBytes(whole.GetData(), size);
        return c;
    };
    IByteChunk badLength = Bytes("values..");
    badLength.Put(StateRecords::kMark);
    badLength.Put(kA);
    badLength.Put(int32_t{-4});
    const Case cases[] = {
        {"whole", cut(whole.Size()), 8, "first", "second"},
        {"an earlier version's state", cut(8), 8, "(none)", "(none)"},
        {"the second record cut short", cut(whole.Size() - 1), 8, "first", "(none)"},
        {"half a mark", cut(10), 8, "(none)", "(none)"},
        {"no mark", Bytes("values..0123456789abcdef"), 8, "(none)", "(none)"},
        {"a negative length", badLength, 8, "(none)", "(none)"},
        {"no fixed part at all", cut(whole.Size()), -1, "(none)", "(none)"},
    };
    for (const Case& c : cases)
    {
        const StateRecords read = StateRecords::ReadFrom(c.state, c.from);
        EXPECT_EQ(Text(read.Find(kA)), c.a) << c.label;
        EXPECT_EQ(Text(read.Find(kB)), c.b) << c.label;
    }
}

} // namespace
