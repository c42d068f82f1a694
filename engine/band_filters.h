// The engine's band analysis at one sample rate: the per-band tables and the
// filter banks built from them (each input channel's band split, the output's
// band split for the dip meter, the low-passes that measure band energies for
// the masking decisions and for this track's own level meter). One design
// call rebuilds them all, so no filter can run on another rate's tables.
//
// Threads: design on the main thread while audio is stopped; the steps on the
// audio thread.
#pragma once

#include "engine/band_tables.h"
#include "engine/filter_banks.h"

namespace ostrel
{

class BandFilters
{
public:
    // Tables and every filter of the rate, states cleared.
    void design(double sampleRate)
    {
        tables_.build(sampleRate);
        input_[0].design(tables_.edgeHz, sampleRate);
        input_[1].design(tables_.edgeHz, sampleRate);
        output_.design(tables_.edgeHz, sampleRate);
        analysis_.design(tables_.edgeHz, sampleRate);
        ownLevel_.design(tables_.edgeHz, sampleRate);
    }

    const BandTables& tables() const { return tables_; }

    // One sample of input channel c split into its band signals.
    void splitInput(int c, double x, double y[kBandCount]) { input_[c].step(x, y); }
    // One sample of the output's mid signal split into its band signals.
    void splitOutput(double x, double y[kBandCount]) { output_.step(x, y); }
    // The band-energy measurements: the masking decisions' and this track's
    // own level meter's.
    LowpassBank& analysis() { return analysis_; }
    LowpassBank& ownLevel() { return ownLevel_; }

    // The input splits start from silence (they stood still while settled).
    void clearInputState()
    {
        input_[0].clearState();
        input_[1].clearState();
    }
    // A meter that starts measuring starts from silence.
    void clearOutputState() { output_.clearState(); }
    void clearOwnLevelState() { ownLevel_.clearState(); }

    // Read-only views of the filter states (what a test checks for
    // subnormals and for filters left alone).
    const BandPassBank& input(int c) const { return input_[c]; }
    const LowpassBank& analysis() const { return analysis_; }

private:
    BandTables tables_;
    BandPassBank input_[2];
    BandPassBank output_;
    LowpassBank analysis_;
    LowpassBank ownLevel_;
};

} // namespace ostrel
