#include "engine/masking_prominence.h"

#include <cmath>

namespace ostrel
{

double neighbourMedian(const double own[kBandCount], int k)
{
    static constexpr int kOffsets[6] = {-4, -3, -2, 2, 3, 4};
    double values[6];
    int count = 0;
    for (int offset : kOffsets)
    {
        const int j = k + offset;
        if (j < 0 || j >= kBandCount)
            continue;
        // Insertion sort: at most six values, no allocation.
        double v = own[j];
        int i = count++;
        while (i > 0 && values[i - 1] > v)
        {
            values[i] = values[i - 1];
            --i;
        }
        values[i] = v;
    }
    if (count == 0)
        return own[k];
    if (count % 2 == 1)
        return values[count / 2];
    return 0.5 * (values[count / 2 - 1] + values[count / 2]);
}

void computeProminence(const double own[kBandCount], double median[kBandCount],
                       double prominenceDb[kBandCount])
{
    for (int k = 0; k < kBandCount; ++k)
    {
        median[k] = neighbourMedian(own, k);
        prominenceDb[k] = 20.0 * std::log10(own[k] / (median[k] + kLevelFloor));
    }
}

} // namespace ostrel
