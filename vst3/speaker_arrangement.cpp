#include "vst3/speaker_arrangement.h"

#include <bit>

namespace plugfw
{

Steinberg::Vst::SpeakerArrangement SpeakerArrangementFor(int nChannels)
{
    switch (nChannels)
    {
    case 1:
        return 0x80000; // M
    case 2:
        return 0x3; // L R
    case 3:
        return 0x7; // L R C
    case 4:
        return 0xF00000; // first-order ambisonics
    case 5:
        return 0x37; // L R C Ls Rs
    case 6:
        return 0x3F; // L R C LFE Ls Rs
    case 7:
        return 0xF7; // L R C Ls Rs Lc Rc
    case 8:
        return 0x63F; // L R C LFE Ls Rs Sl Sr
    case 9:
        return 0x7C000F00000ull; // second-order ambisonics
    case 10:
        return 0x300063Full; // L R C LFE Ls Rs Sl Sr Tsl Tsr
    case 16:
        return 0x3FFC000F00000ull; // third-order ambisonics
    default:
        return 0;
    }
}

int ChannelCountOf(Steinberg::Vst::SpeakerArrangement arrangement)
{
    return std::popcount(static_cast<unsigned long long>(arrangement));
}

} // namespace plugfw
