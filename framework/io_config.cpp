#include "framework/io_config.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace plugfw
{

namespace
{

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= text.size())
    {
        const size_t end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

int BusChannels(std::string_view token)
{
    if (token == "*")
        return kWildcardChannels;
    const std::string copy(token);
    int n = 0;
    if (std::sscanf(copy.c_str(), "%d", &n) != 1)
        return 0;
    return n;
}

void ParsePart(std::string_view part, Direction dir, IOConfig& config, IOTotals& totals)
{
    int channels = 0;
    for (std::string_view token : Split(part, '.'))
    {
        const int n = BusChannels(token);
        channels += n;
        if (n != 0)
            config.buses[dir].push_back(BusInfo{dir, n});
    }
    totals.channels[dir] = std::max(totals.channels[dir], channels);
    totals.buses[dir] = std::max(totals.buses[dir], config.NBuses(dir));
}

} // namespace

int IOConfig::NChannelsOfBus(Direction dir, int busIdx) const
{
    if (busIdx < 0 || busIdx >= NBuses(dir))
        return 0;
    return buses[dir][static_cast<size_t>(busIdx)].nChannels;
}

int IOConfig::TotalChannels(Direction dir) const
{
    int total = 0;
    for (const BusInfo& bus : buses[dir])
        total += bus.nChannels;
    return total;
}

bool IOConfig::ContainsWildcard(Direction dir) const
{
    return std::any_of(buses[dir].begin(), buses[dir].end(),
                       [](const BusInfo& bus) { return bus.nChannels == kWildcardChannels; });
}

int ParseChannelIOStr(std::string_view text, std::vector<IOConfig>& configs, IOTotals& totals)
{
    int parsed = 0;
    for (std::string_view item : Split(text, ' '))
    {
        if (item.empty())
            continue;
        const size_t dash = item.find('-');
        const std::string_view inPart = item.substr(0, dash);
        std::string_view outPart;
        if (dash != std::string_view::npos)
            outPart = item.substr(dash + 1, item.find('-', dash + 1) - (dash + 1));
        IOConfig config;
        ParsePart(inPart, kInput, config, totals);
        ParsePart(outPart, kOutput, config, totals);
        configs.push_back(std::move(config));
        ++parsed;
    }
    return parsed;
}

} // namespace plugfw
