// plugfw::IOConfig: one bus layout the plug-in accepts, and the parser of the
// channel I/O string that lists them ("2-2 1-1 1.1-1": items separated by a
// space, inputs and outputs by "-", buses by "."; "*" is any width).
#pragma once

#include <string_view>
#include <vector>

namespace plugfw
{

enum Direction
{
    kInput = 0,
    kOutput = 1,
};

// Channel count that stands for a bus of any width ("*").
inline constexpr int kWildcardChannels = -64;

struct BusInfo
{
    Direction direction = kInput;
    int nChannels = 0;
};

struct IOConfig
{
    std::vector<BusInfo> buses[2]; // by Direction, in string order

    int NBuses(Direction dir) const { return static_cast<int>(buses[dir].size()); }
    // 0 for a bus the layout does not have.
    int NChannelsOfBus(Direction dir, int busIdx) const;
    // Sum over the direction's buses (a wildcard counts kWildcardChannels).
    int TotalChannels(Direction dir) const;
    bool ContainsWildcard(Direction dir) const;
};

// The largest channel sums and bus counts of any layout, per direction.
struct IOTotals
{
    int channels[2] = {0, 0};
    int buses[2] = {0, 0};
};

// Appends one IOConfig per item of `text` to `configs` and raises `totals`
// (which start at 0) to the largest values met. Returns the number of items.
int ParseChannelIOStr(std::string_view text, std::vector<IOConfig>& configs, IOTotals& totals);

} // namespace plugfw
