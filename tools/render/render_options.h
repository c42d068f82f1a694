// The render tool's command line: host settings, then one or more tracks,
// each an input file with its own output, optional sidechain file, track
// name and parameter settings (name=value, values as the plug-in shows
// them or plain numbers).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ostrel::render
{

struct TrackOptions
{
    std::string input;
    std::string sidechain;                                     // empty: none
    std::string output;                                        // empty: <out-dir>/<stem>.ostrel.wav
    std::string name;                                          // empty: the input's stem
    std::vector<std::pair<std::string, std::string>> settings; // name, value
};

struct RenderOptions
{
    std::string plugin;
    int blockSize = 512;
    bool use64 = false;
    bool realtime = false;
    bool compensateLatency = true;
    // How often the host's main thread runs its timers, in ms of audio;
    // negative: never during the render (a host busy exporting).
    double idleEveryMs = 20.0;
    std::string outDir = ".";
    std::string summaryFile;
    bool help = false;
    std::vector<TrackOptions> tracks;
};

// False with a message for a malformed command line.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions& options,
                        std::string& error);

std::string RenderUsage();

// "dir/name.wav" -> "name".
std::string FileStem(const std::string& path);

} // namespace ostrel::render
