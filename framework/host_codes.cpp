#include "framework/host_codes.h"

#include <string>

namespace plugfw
{

namespace
{

struct HostMatch
{
    const char* substring;
    int code;
};

// The order decides: "wavelab elements" before "wavelab", and "live" wins
// over every substring after it.
constexpr HostMatch kHostMatches[] = {
    {"reaper", kHostReaper},
    {"protools", kHostProTools},
    {"cubase", kHostCubase},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"vegas", kHostVegas},
    {"fruity", kHostFL},
    {"samplitude", kHostSamplitude},
    {"live", kHostAbletonLive},
    {"tracktion", kHostTracktion},
    {"ntracks", kHostNTracks},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"bias", kHostBias},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"garageband", kHostGarageBand},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"ardour", kHostArdour},
    {"renoise", kHostRenoise},
    {"openmpt", kHostOpenMPT},
    {"wavelab elements", kHostWaveLabElements},
    {"wavelab", kHostWaveLab},
    {"twistedwave", kHostTwistedWave},
    {"bitwig studio", kHostBitwig},
    {"reason", kHostReason},
    {"gwvst", kHostGoldWave5x},
    {"waveform", kHostWaveform},
    {"audacity", kHostAudacity},
    {"acoustica", kHostAcoustica},
    {"plugindoctor", kHostPluginDoctor},
    {"izotope rx", kHostiZotopeRX},
    {"savihost", kHostSAVIHost},
    {"blue cat's vst host", kHostBlueCat},
    {"mixbus", kHostMixbus},
    {"standalone", kHostStandalone},
    {"www", kHostWWW},
};

} // namespace

int HostCodeOf(std::string_view name)
{
    constexpr size_t kMaxCompared = 255;
    std::string lower(name.substr(0, kMaxCompared));
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const HostMatch& match : kHostMatches)
        if (lower.find(match.substring) != std::string::npos)
            return match.code;
    return kHostUnknown;
}

} // namespace plugfw
