// Recent level vectors of the Source a Masker follows, each with the host
// sample position at which the Source's block ended. The Source and the
// Masker run their chunks at different moments (even on different threads);
// with this history the Masker uses the Source's levels of the block that
// ended no later than its own chunk.
#pragma once

#include <cstdint>

#include "engine/masking_constants.h"

namespace ostrel
{

inline constexpr int kSourceHistorySize = 2048;

struct SourceHistoryEntry
{
    float levels[kBandCount] = {};
    int64_t position = -1; // the Source's blockEndPos; -1 = empty
};

// Empties every entry (position -1, levels 0) and rewinds the write position.
void clearSourceHistory(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos);

// A seek (a jump of more than n from where the last chunk ended) empties the
// history's positions; then notes where this chunk of n samples ends.
void noteChunkPosition(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                       int64_t& lastBlockEnd, int64_t hostSamplePos, int n);

// Records one level vector of the Source with the position its block ended at.
void recordSourceLevels(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                        const float levels[kBandCount], int64_t srcEnd);

// The newest recorded levels whose block ended at or before `end`, or null
// when there are none.
const float* sourceLevelsEndingBy(const SourceHistoryEntry history[kSourceHistorySize],
                                  int historyWritePos, int64_t end);

// The alignment of one chunk, run only while the registry source is used,
// the transport runs and both positions are known. Detects a transport jump
// (clears the history), records `levels` with srcEnd, and returns the levels
// to use: those of the newest entry ending at or before this chunk's end
// when the Source is ahead, else `levels` itself.
const float* alignSourceLevels(SourceHistoryEntry history[kSourceHistorySize], int& historyWritePos,
                               int64_t& lastBlockEnd, int64_t hostSamplePos, int n,
                               const float levels[kBandCount], int64_t srcEnd);

} // namespace ostrel
