// The lookahead delay lines of the dry signal and of the band-pass outputs,
// with their one shared write position.
#pragma once

#include "engine/band_layout.h"

#include <cstdint>
#include <cstring>

namespace ostrel
{

// Length of every lookahead delay line; a chunk is at most this minus the lookahead.
inline constexpr int kDelayLength = 5120;
inline constexpr int kLookaheadSamples = 240;

struct DelayLines
{
    int32_t lookaheadDelay = kLookaheadSamples;
    int32_t delayWritePos = 0;
    // Rows are padded past kDelayLength (only positions below it are used) so
    // the two channels do not fall into the same cache sets.
    double dryDelay[2][kDelayLength + 8] = {};
    // Lookahead delay of the band-pass outputs, indexed [channel][position][band]
    // so one sample of all bands is contiguous.
    double bandDelay[2][kDelayLength + 1][kBandCount] = {};

    // Silence in every line, write position at the start.
    void reset()
    {
        lookaheadDelay = kLookaheadSamples;
        delayWritePos = 0;
        std::memset(dryDelay, 0, sizeof(dryDelay));
        std::memset(bandDelay, 0, sizeof(bandDelay));
    }

    // Read position of the lookahead delay lines for the current sample.
    int lookaheadReadPos() const
    {
        const int r = delayWritePos - lookaheadDelay;
        return r < 0 ? r + kDelayLength : r;
    }

    // Moves the common write position of all lookahead delay lines on by one.
    void advance()
    {
        if (++delayWritePos == kDelayLength)
            delayWritePos = 0;
    }
};

} // namespace ostrel
