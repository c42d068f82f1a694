#include "storage/user_files.h"

#include <charconv>
#include <cmath>

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"

namespace ostrel
{
namespace
{

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string BuildLastStateText(std::span<const double> values)
{
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (i > 0)
            text += ',';
        const double value = std::isfinite(values[i]) ? values[i] : 0.0;
        // Room for any finite double in fixed notation.
        char number[320];
        const auto result =
            std::to_chars(number, number + sizeof(number), value, std::chars_format::fixed, 6);
        text.append(number, result.ptr);
    }
    text += ']';
    return text;
}

std::vector<double> ParseLastStateText(std::string_view text)
{
    std::vector<double> numbers;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    while (numbers.size() < static_cast<size_t>(kLastStateValueCount))
    {
        while (at < end && (*at == '[' || *at == ',' || *at == ' ' || *at == '\n'))
            ++at;
        if (at == end || *at == ']')
            break;
        // What a C string-to-double conversion accepts first: white space
        // and a plus sign.
        const char* start = at;
        while (start < end && isSpace(*start))
            ++start;
        if (start < end && *start == '+' && start + 1 < end && start[1] != '-' && start[1] != '+')
            ++start;
        double value = 0.0;
        const auto result = std::from_chars(start, end, value, std::chars_format::general);
        if (result.ec != std::errc() || !std::isfinite(value))
            break;
        numbers.push_back(value);
        at = result.ptr;
    }
    return numbers;
}

std::string ReadPresetsFile()
{
    return ReadWholeFile(UsablePathInDataFolder(kPresetsFileName), kPresetsFileMaxBytes);
}

std::string ReadLastStateFileText()
{
    return ReadWholeFile(UsablePathInDataFolder(kLastStateFileName), kLastStateFileMaxBytes);
}

size_t OnboardedFileLength()
{
    return ReadWholeFile(UsablePathInDataFolder(kOnboardedFileName)).size();
}

} // namespace ostrel
