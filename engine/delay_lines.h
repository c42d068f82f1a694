// The lookahead delay lines of the dry signal and of the band-pass outputs,
// with their one shared write position.
#pragma once

#include "engine/band_layout.h"
#include "engine/vector_clones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace ostrel
{

// Length of every lookahead delay line; a chunk is at most this minus the lookahead.
inline constexpr int kDelayLength = 5120;
inline constexpr int kLookaheadSamples = 240;
// The bands removed in the time domain (the others go to the spectral stage).
inline constexpr int kTimeDomainBands = 4;

// The dry pair that leaves the lookahead delay this sample, and where the
// other delay lines are read.
struct DryTap
{
    int readPos;
    double d0;
    double d1;
};

struct DelayLines
{
    int32_t lookaheadDelay = kLookaheadSamples;
    int32_t delayWritePos = 0;
    // Rows are padded past kDelayLength (only positions below it are used) so
    // the two channels do not fall into the same cache sets.
    double dryDelay[2][kDelayLength + 8] = {};
    // Of the band-pass outputs only what is read later is kept, each in a
    // ring just long enough for its reader: the lowest bands of both
    // channels at the lookahead (a position's eight values in one cache
    // line) and every band's mid signal for the dip meter, read a spectral
    // frame later still. Both rings divide the line's length, so a position
    // of the line maps onto them as it wraps. Short rings stay in the
    // caches where rings of the line's whole length would stream through them.
    static constexpr int kLowBandRing = 256;
    static constexpr int kMidBandRing = 1280;
    static_assert(kDelayLength % kLowBandRing == 0 && kDelayLength % kMidBandRing == 0);
    static_assert((kLowBandRing & (kLowBandRing - 1)) == 0);
    static_assert(kLookaheadSamples < kLowBandRing);

    alignas(kLaneAlign) double lowBandDelay[kLowBandRing][2][kTimeDomainBands] = {};
    double midBandDelay[kMidBandRing][kBandCount] = {};
    // Only the dip meter reads the mid signals, and only while an editor
    // shows it: otherwise they are not written (three cache lines a sample,
    // a quarter megabyte per instance streaming through the caches).
    // midHeld: how many of the newest positions hold them.
    bool keepMid = false;
    int32_t midHeld = 0;

    // Whether the mid signals are written from now on; once they are again,
    // the ring holds them only as far back as they were written.
    void keepMidBands(bool keep)
    {
        if (keep && !keepMid)
            midHeld = 0;
        keepMid = keep;
    }
    // The mid signals of the newest `ago` positions are all there.
    bool midBandsHeld(int ago) const { return keepMid && midHeld >= ago; }

    // The lowest bands of channel c as written at line position pos.
    const double* lowBands(int pos, int c) const
    {
        return lowBandDelay[pos & (kLowBandRing - 1)][c];
    }
    // Every band's mid signal as written at line position pos.
    const double* midBands(int pos) const { return midBandDelay[pos % kMidBandRing]; }

    // Silence in every line, write position at the start; the mid signals
    // are not kept until asked for again (as in a new engine).
    void reset()
    {
        lookaheadDelay = kLookaheadSamples;
        delayWritePos = 0;
        std::memset(dryDelay, 0, sizeof(dryDelay));
        std::memset(lowBandDelay, 0, sizeof(lowBandDelay));
        std::memset(midBandDelay, 0, sizeof(midBandDelay));
        keepMid = false;
        midHeld = 0;
    }

    // Read position of the lookahead delay lines for the current sample.
    int lookaheadReadPos() const
    {
        const int r = delayWritePos - lookaheadDelay;
        return r < 0 ? r + kDelayLength : r;
    }

    // This sample's dry pair out of the lookahead line and its inputs in.
    // It is read before the inputs take its place at the write position
    // (the caller advances it).
    DryTap exchangeDry(double x0, double x1)
    {
        const int r = lookaheadReadPos();
        const DryTap tap{r, dryDelay[0][r], dryDelay[1][r]};
        dryDelay[0][delayWritePos] = x0;
        dryDelay[1][delayWritePos] = x1;
        return tap;
    }

    // The line holds every sample the engine received, on every path:
    // writes input channel c's samples from (endAgo + count) to endAgo + 1
    // samples ago, oldest first (endAgo + count at most kDelayLength).
    void readRecentInput(int c, int endAgo, int count, double* dst) const
    {
        const double* line = dryDelay[c];
        int pos = (delayWritePos - endAgo - count) % kDelayLength;
        if (pos < 0)
            pos += kDelayLength;
        // At most two runs: up to the line's end, then from its start.
        while (count > 0)
        {
            const int run = std::min(count, kDelayLength - pos);
            std::copy_n(line + pos, run, dst);
            dst += run;
            count -= run;
            pos = 0;
        }
    }

    // Writes one sample of both channels' band outputs at position w.
    OSTREL_INLINE_IN_CLONES void writeBands(int w, const double x0[kBandCount],
                                            const double x1[kBandCount])
    {
        for (int m = 0; m < kTimeDomainBands; ++m)
        {
            lowBandDelay[w & (kLowBandRing - 1)][0][m] = x0[m];
            lowBandDelay[w & (kLowBandRing - 1)][1][m] = x1[m];
        }
        if (!keepMid)
            return;
        for (int m = 0; m < kBandCount; ++m)
            midBandDelay[w % kMidBandRing][m] = 0.5 * (x0[m] + x1[m]);
        midHeld += midHeld < kMidBandRing ? 1 : 0;
    }

    // Moves the common write position of all lookahead delay lines on by one.
    void advance()
    {
        if (++delayWritePos == kDelayLength)
            delayWritePos = 0;
    }

    // The dry line alone as a delay of `latency` samples (at most half the
    // line): the inputs enter at the write position, which moves on by n,
    // and what entered `latency` samples ago leaves, a non-finite sample as
    // silence. A run reads both inputs before it writes an output, so the
    // outputs may share the inputs' buffers (a host processing in place, a
    // mono block whose inputs are one channel).
    OSTREL_INLINE_IN_CLONES void passThrough(const double* in0, const double* in1, double* out0,
                                             double* out1, int n, int latency)
    {
        int w = delayWritePos;
        int t = 0;
        while (t < n)
        {
            int r = w - latency;
            if (r < 0)
                r += kDelayLength;
            // A run wraps neither end of the line and reads nothing it writes.
            const int m = std::min({n - t, latency, kDelayLength - w, kDelayLength - r});
            const size_t bytes = static_cast<size_t>(m) * sizeof(double);
            std::memcpy(dryDelay[0] + w, in0 + t, bytes);
            std::memcpy(dryDelay[1] + w, in1 + t, bytes);
            leaveRun(dryDelay[0] + r, dryDelay[1] + r, out0 + t, out1 + t, m);
            w += m;
            if (w == kDelayLength)
                w = 0;
            t += m;
        }
        delayWritePos = w;
    }

private:
    OSTREL_INLINE_IN_CLONES static void leaveRun(const double* __restrict line0,
                                                 const double* __restrict line1,
                                                 double* __restrict out0, double* __restrict out1,
                                                 int m)
    {
        // A select on one comparison (NaN fails it too), so that it vectorises.
        constexpr double kLargest = 1.7976931348623157e308;
        for (int i = 0; i < m; ++i)
        {
            out0[i] = std::fabs(line0[i]) <= kLargest ? line0[i] : 0.0;
            out1[i] = std::fabs(line1[i]) <= kLargest ? line1[i] : 0.0;
        }
    }
};

} // namespace ostrel
