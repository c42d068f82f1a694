#include "engine/stereo_link.h"

#include <algorithm>
#include <cmath>

namespace ostrel
{

StereoLinkBand stereoLinkFromStatistics(double cross, double e0, double e1)
{
    double coh = (e0 > 1e-20 && e1 > 1e-20) ? cross / std::sqrt(e0 * e1) : 0.0;
    if (!std::isfinite(coh))
        coh = 0.0;
    const double x = std::clamp((coh - 0.2) / 0.45, 0.0, 1.0);
    StereoLinkBand band;
    band.stereoLink = (3.0 - 2.0 * x) * x * x;
    band.linkRatio =
        band.stereoLink < 0.001 ? kUnlinkedRatio : std::pow(kFullLinkRatio, 1.0 / band.stereoLink);
    return band;
}

} // namespace ostrel
