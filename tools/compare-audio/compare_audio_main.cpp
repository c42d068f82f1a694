// ostrel-compare-audio: compares a rendered file with a reference, sample
// by sample, and fails when they differ more than allowed: not at all
// (--exact), or by more than a level relative to the reference's RMS
// (--within DB, e.g. -120). Prints the largest difference either way.
#include "tools/render/wav_file.h"

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

namespace
{

int usage()
{
    std::cerr << "usage: ostrel-compare-audio (--exact | --within DB) REFERENCE.wav OTHER.wav\n"
                 "exit status 0 when OTHER matches REFERENCE, 1 when it does not\n";
    return 2;
}

std::string decibels(double db)
{
    if (!std::isfinite(db))
        return db < 0 ? "-inf" : "+inf";
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << db;
    return s.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5)
        return usage();
    const std::string mode = argv[1];
    bool exact = false;
    double limitDb = 0.0;
    int first = 2;
    if (mode == "--exact")
    {
        exact = true;
    }
    else if (mode == "--within" && argc == 5)
    {
        char* end = nullptr;
        limitDb = std::strtod(argv[2], &end);
        if (*end != 0 || !std::isfinite(limitDb))
            return usage();
        first = 3;
    }
    else
    {
        return usage();
    }
    if (argc != first + 2)
        return usage();

    using ostrel::render::AudioData;
    const std::string referencePath = argv[first];
    const std::string otherPath = argv[first + 1];
    AudioData reference, other;
    std::string error;
    if (!ostrel::render::ReadAudioFile(referencePath, reference, error) ||
        !ostrel::render::ReadAudioFile(otherPath, other, error))
    {
        std::cerr << "ostrel-compare-audio: " << error << "\n";
        return 1;
    }
    if (reference.sampleRate != other.sampleRate ||
        reference.NumChannels() != other.NumChannels() ||
        reference.NumFrames() != other.NumFrames())
    {
        std::cout << otherPath << ": DIFFERS in shape: " << other.NumChannels() << " channels, "
                  << other.NumFrames() << " frames at " << other.sampleRate << " Hz against "
                  << reference.NumChannels() << ", " << reference.NumFrames() << " at "
                  << reference.sampleRate << " Hz\n";
        return 1;
    }

    double maxDiff = 0.0;
    long differing = 0;
    for (size_t c = 0; c < reference.channels.size(); ++c)
        for (size_t i = 0; i < reference.channels[c].size(); ++i)
        {
            const double d = std::fabs(reference.channels[c][i] - other.channels[c][i]);
            if (d != 0.0)
                ++differing;
            maxDiff = std::max(maxDiff, d);
        }
    const double rmsDb = ostrel::render::RmsDbfs(reference);
    const double maxDiffDb = maxDiff > 0.0 ? 20.0 * std::log10(maxDiff) : -INFINITY;
    const double belowRms = maxDiffDb - rmsDb;
    const bool ok = exact ? differing == 0 : maxDiff == 0.0 || belowRms <= limitDb;

    std::cout << otherPath << ": " << (ok ? "ok" : "DIFFERS") << " ("
              << (exact ? "bit-exact wanted" : "within " + decibels(limitDb) + " dB wanted")
              << "): " << differing << " of " << reference.NumFrames() * reference.NumChannels()
              << " samples differ, max |difference| " << std::setprecision(3) << maxDiff << " ("
              << decibels(maxDiffDb) << " dBFS, " << decibels(belowRms)
              << " dB against the reference's RMS of " << decibels(rmsDb) << " dBFS)\n";
    return ok ? 0 : 1;
}
