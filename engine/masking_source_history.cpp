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

const float* alignSourceLevels(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                               int64_t& lastBlockEnd, int64_t hostSamplePos, int n,
                               const float levels[kBandCount], int64_t srcEnd)
{
    const int64_t myEnd = hostSamplePos + n;
    // A jump of more than a chunk is a seek: older entries describe another
    // place in the song. Only the positions need clearing for the walk below.
    if (lastBlockEnd >= 0 && std::llabs(hostSamplePos - lastBlockEnd) > n)
    {
        for (int i = 0; i < kSourceHistorySize; ++i)
            history[i].position = -1;
        historyWritePos = 0;
    }
    lastBlockEnd = myEnd;

    const int written = historyWritePos;
    SourceHistoryEntry& entry = history[written];
    for (int k = 0; k < kBandCount; ++k)
        entry.levels[k] = levels[k];
    entry.position = srcEnd;

    const float* use = entry.levels;
    if (myEnd < srcEnd)
    {
        for (int j = 1; j < kSourceHistorySize; ++j)
        {
            const SourceHistoryEntry& older =
                history[(written - j + kSourceHistorySize) % kSourceHistorySize];
            if (older.position < 0)
                break;
            if (older.position <= myEnd)
            {
                use = older.levels;
                break;
            }
        }
    }
    historyWritePos = (written + 1) % kSourceHistorySize;
    return use;
}

} // namespace ostrel
