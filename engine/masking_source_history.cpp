#include "engine/masking_source_history.h"

#include <cstdlib>

namespace ostrel
{

void clearSourceHistory(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos)
{
    for (int i = 0; i < kSourceHistorySize; ++i)
    {
        history[i].position = -1;
        for (float& level : history[i].levels)
            level = 0.0f;
    }
    historyWritePos = 0;
}

void noteChunkPosition(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                       int64_t& lastBlockEnd, int64_t hostSamplePos, int n)
{
    // A jump of more than a chunk is a seek: older entries describe another
    // place in the song. Only the positions need clearing for the walk below.
    if (lastBlockEnd >= 0 && std::llabs(hostSamplePos - lastBlockEnd) > n)
    {
        for (int i = 0; i < kSourceHistorySize; ++i)
            history[i].position = -1;
        historyWritePos = 0;
    }
    lastBlockEnd = hostSamplePos + n;
}

void recordSourceLevels(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                        const float levels[kBandCount], int64_t srcEnd)
{
    SourceHistoryEntry& entry = history[historyWritePos];
    for (int k = 0; k < kBandCount; ++k)
        entry.levels[k] = levels[k];
    entry.position = srcEnd;
    historyWritePos = (historyWritePos + 1) % kSourceHistorySize;
}

const float* sourceLevelsEndingBy(const SourceHistoryEntry history[kSourceHistorySize],
                                  int historyWritePos, int64_t end)
{
    for (int j = 1; j <= kSourceHistorySize; ++j)
    {
        const SourceHistoryEntry& entry =
            history[(historyWritePos - j + kSourceHistorySize) % kSourceHistorySize];
        if (entry.position < 0)
            return nullptr;
        if (entry.position <= end)
            return entry.levels;
    }
    return nullptr;
}

const float* alignSourceLevels(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                               int64_t& lastBlockEnd, int64_t hostSamplePos, int n,
                               const float levels[kBandCount], int64_t srcEnd)
{
    noteChunkPosition(history, historyWritePos, lastBlockEnd, hostSamplePos, n);
    const int written = historyWritePos;
    recordSourceLevels(history, historyWritePos, levels, srcEnd);
    const float* newest = history[written].levels;
    if (hostSamplePos + n >= srcEnd)
        return newest;
    const float* older = sourceLevelsEndingBy(history, historyWritePos, hostSamplePos + n);
    return older != nullptr ? older : newest;
}

} // namespace ostrel
