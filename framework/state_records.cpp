#include "framework/state_records.h"

namespace plugfw
{

void StateRecords::Add(uint32_t id, IByteChunk body)
{
    for (auto& record : mRecords)
    {
        if (record.first == id)
        {
            record.second = std::move(body);
            return;
        }
    }
    mRecords.emplace_back(id, std::move(body));
}

const IByteChunk* StateRecords::Find(uint32_t id) const
{
    for (const auto& record : mRecords)
        if (record.first == id)
            return &record.second;
    return nullptr;
}

void StateRecords::WriteTo(IByteChunk& chunk) const
{
    if (mRecords.empty())
        return;
    chunk.Put(kMark);
    for (const auto& [id, body] : mRecords)
    {
        chunk.Put(id);
        chunk.Put(static_cast<int32_t>(body.Size()));
        chunk.PutBytes(body.GetData(), body.Size());
    }
}

StateRecords StateRecords::ReadFrom(const IByteChunk& chunk, int startPos)
{
    StateRecords records;
    uint32_t mark = 0;
    int pos = chunk.Get(mark, startPos);
    if (pos < 0 || mark != kMark)
        return records;
    while (pos >= 0 && pos < chunk.Size())
    {
        uint32_t id = 0;
        int32_t size = 0;
        pos = chunk.Get(id, pos);
        pos = chunk.Get(size, pos);
        if (pos < 0 || size < 0 || size > chunk.Size() - pos)
            break;
        IByteChunk body;
        body.PutBytes(chunk.GetData() + pos, size);
        records.Add(id, std::move(body));
        pos += size;
    }
    return records;
}

} // namespace plugfw
