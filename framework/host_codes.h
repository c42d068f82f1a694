// Host identification: the code of a host application from its name, so the
// few places that must work around one host's habits can ask for it.
#pragma once

#include <string_view>

namespace plugfw
{

enum HostCode
{
    kHostUninit = -1, // not identified yet
    kHostUnknown = 0,
    kHostReaper = 1,
    kHostProTools = 2,
    kHostCubase = 3,
    kHostNuendo = 4,
    kHostSonar = 5,
    kHostVegas = 6,
    kHostFL = 7,
    kHostSamplitude = 8,
    kHostAbletonLive = 9,
    kHostTracktion = 10,
    kHostNTracks = 11,
    kHostMelodyneStudio = 12,
    kHostVSTScanner = 13,
    kHostAULab = 14,
    kHostForte = 15,
    kHostChainer = 16,
    kHostAudition = 17,
    kHostOrion = 18,
    kHostBias = 19,
    kHostSAWStudio = 20,
    kHostLogic = 21,
    kHostGarageBand = 22,
    kHostDigitalPerformer = 23,
    kHostStandalone = 24,
    kHostAudioMulch = 25,
    kHostStudioOne = 26,
    kHostVST3TestHost = 27,
    kHostArdour = 28,
    kHostRenoise = 29,
    kHostOpenMPT = 30,
    kHostWaveLab = 31,
    kHostWaveLabElements = 32,
    kHostTwistedWave = 33,
    kHostBitwig = 34,
    kHostWWW = 35,
    kHostReason = 36,
    kHostGoldWave5x = 37,
    kHostWaveform = 38,
    kHostAudacity = 39,
    kHostAcoustica = 40,
    kHostPluginDoctor = 41,
    kHostiZotopeRX = 42,
    kHostSAVIHost = 43,
    kHostBlueCat = 44,
    kHostMixbus = 45,
};

// Lower-cases the name (its first 255 characters) and returns the code of the
// first listed substring it contains; kHostUnknown when none matches.
int HostCodeOf(std::string_view name);

} // namespace plugfw
