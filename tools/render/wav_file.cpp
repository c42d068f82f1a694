#include "tools/render/wav_file.h"

#include <cmath>
#include <limits>

namespace ostrel::render
{

double RmsDbfs(const AudioData& audio)
{
    double sum = 0.0;
    long count = 0;
    for (const auto& channel : audio.channels)
    {
        for (double v : channel)
            sum += v * v;
        count += static_cast<long>(channel.size());
    }
    if (count == 0 || sum <= 0.0)
        return -std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(sum / static_cast<double>(count));
}

} // namespace ostrel::render
