// The engine's spectral stage: from a sliding 1024-sample frame analysed every
// 256 samples it computes the part of the signal that the band gains remove
// and subtracts it from the input delayed by exactly 1024 samples. Three more
// delay rings carry the block processor's time-domain signals (removed low
// bands, bell listen) so they come out aligned with the spectral result. With
// all gains at 1.0 nothing is added: the signal passes bit-exact, 1024 late.
#pragma once

#include "engine/band_layout.h"
#include "engine/biquad.h"

#include <cstdint>

namespace ostrel
{

inline constexpr int kStftSize = 1024;
inline constexpr int kStftHop = 256;
inline constexpr int kStftBins = kStftSize / 2 + 1;
// Each ring row is padded by one cache line: rows of a power-of-two length
// would all map to the same cache set at a given position, and one sample
// touches ten of them.
inline constexpr int kRingRow = kStftSize + 8;

// One sample out of the stage, per channel.
struct StftSample
{
    double out0, out1;         // delayed dry minus removed
    double removed0, removed1; // delayed sub plus spectral removal
    double bell0, bell1;       // delayed bell-listen signal
    double dry0, dry1;         // delayed dry input
};

// The stage's state: tables of the sample rate, the delay rings and the
// transform's work arrays. Private to the stage (tests reach it through
// their probe).
struct StftFrameState
{
    double window[kStftSize] = {};
    int32_t bandOfBin[kStftBins] = {};
    // The band of the bin that the forward transform leaves at each position
    // (fftToBitReversed), a bin above Nyquist counting as its mirror.
    int32_t bandAtPosition[kStftSize] = {};
    double overlapNorm = 1.0;

    double inputRing[2][kRingRow] = {};
    double dryRing[2][kRingRow] = {};
    double subtractRing[2][kRingRow] = {};
    double bellListenRing[2][kRingRow] = {};
    double outputRing[2][kRingRow] = {};
    int32_t ringPos = 0;
    int32_t hopCounter = 0;
    // Samples since anything but the dry signal entered or a frame removed
    // something (counted up to kStftSize).
    int32_t quietSamples = 0;
    // A plain-delay run left the dry rings unwritten: the caller's line holds
    // their samples until refillDryRings puts them back.
    bool dryRingsInLine = false;

    // The frame's spectrum, masked in place.
    double fftRe[kStftSize] = {};
    double fftIm[kStftSize] = {};
};

class StftFrameEngine : private StftFrameState
{
public:
    // Builds window, overlap norm and bin-to-band map, clears every ring:
    // a plain delay from the start. Main thread, audio stopped.
    void init(const double edgeHz[kEdgeCount], double sampleRate);

    // One sample of the spectral path (audio thread). gains0/gains1: 24 band
    // gains per channel, used when this sample completes a hop.
    StftSample step(double dry0, double dry1, double sub0, double sub1, double bell0, double bell1,
                    const double* gains0, const double* gains1)
    {
        const int p = ringPos;
        // The analysis frame treats a non-finite input as silence so it cannot
        // spread over a whole frame; the dry ring keeps the sample as it came.
        inputRing[0][p] = finiteOrZero(dry0);
        inputRing[1][p] = finiteOrZero(dry1);

        StftSample s;
        s.dry0 = dryRing[0][p];
        s.dry1 = dryRing[1][p];
        const double delayedSub0 = subtractRing[0][p];
        const double delayedSub1 = subtractRing[1][p];
        s.bell0 = bellListenRing[0][p];
        s.bell1 = bellListenRing[1][p];
        dryRing[0][p] = dry0;
        dryRing[1][p] = dry1;
        subtractRing[0][p] = sub0;
        subtractRing[1][p] = sub1;
        bellListenRing[0][p] = bell0;
        bellListenRing[1][p] = bell1;

        const double spectral0 = outputRing[0][p];
        const double spectral1 = outputRing[1][p];
        outputRing[0][p] = 0.0;
        outputRing[1][p] = 0.0;

        s.removed0 = delayedSub0 + spectral0;
        s.removed1 = delayedSub1 + spectral1;
        s.out0 = s.dry0 - s.removed0;
        s.out1 = s.dry1 - s.removed1;

        // Nothing entered the rings but the dry signal: one sample nearer to
        // the state in which the stage is a plain delay.
        const bool quiet = sub0 == 0.0 && sub1 == 0.0 && bell0 == 0.0 && bell1 == 0.0;
        quietSamples = quiet ? quietSamples + (quietSamples < kStftSize) : 0;

        ringPos = (p + 1) & (kStftSize - 1);
        if (++hopCounter == kStftHop)
        {
            hopCounter = 0;
            processFrame(gains0, gains1);
        }
        return s;
    }

    // Whether the next step completes a hop (and reads the band gains).
    bool nextStepCompletesHop() const { return hopCounter == kStftHop - 1; }

    // Whether the stage is a plain delay now: for a whole frame length
    // nothing but the dry signal entered and no frame added a removal, so
    // every ring but the dry ones holds zeros.
    bool isPlainDelay() const { return quietSamples >= kStftSize; }

    // n samples of a plain delay whose dry rings are not written: only the
    // positions move on. The caller keeps the samples elsewhere and puts
    // them back with refillDryRings before the stage steps again.
    void skipPlainDelay(int n)
    {
        ringPos = (ringPos + n) & (kStftSize - 1);
        hopCounter = (hopCounter + n) % kStftHop;
        dryRingsInLine = true;
    }

    // Whether a plain-delay run left the dry rings to be refilled.
    bool dryRingsNeedRefill() const { return dryRingsInLine; }

    // Writes the dry rings as step() would have left them, from a line that
    // holds every sample that entered the stage: newest is the position in
    // line[c] (of length lineLength) of the last one.
    void refillDryRings(const double* const line[2], int lineLength, int newest);

private:
    // The reference paths drive the stage's state as the loops did before
    // they were optimised; tests seed rings and frames through it.
    friend struct StftFrameProbe;

    // Analysis, gain and overlap-add of the current frame for both channels.
    void processFrame(const double* gains0, const double* gains1);
    // The frame of one channel alone, and of both channels in one transform
    // (its loops in the Body, run in the chosen vector version).
    void processChannel(int channel, const double* gains);
    void processBothChannels(const double* gains0, const double* gains1);
    // Lanes: the widest vectors the version takes (8 for AVX-512, else 4).
    template <int Lanes> void processBothChannelsBody(const double* gains0, const double* gains1);
    template <int Lanes> void processChannelBody(int channel, const double* gains);
};

// In-place radix-2 complex transform of kStftSize points; direction -1
// forward, +1 inverse; no scaling. The twiddles are tabulated from the same
// recurrence a transform computing them on the fly would run (one cosine and
// one sine per stage), so the result does not depend on where they come from.
void fft(double* re, double* im, int direction);

// The same transform of points given in bit-reversed order (fftBitReversal()[k]
// is where point k goes), which saves the reordering pass.
void fftFromBitReversed(double* re, double* im, int direction);
const int16_t* fftBitReversal();

// The forward transform of points in natural order, leaving the spectrum at
// bit-reversed positions: bin k at fftBitReversal()[k]. Each value is the one
// fft computes, bit for bit.
void fftToBitReversed(double* re, double* im);

} // namespace ostrel
