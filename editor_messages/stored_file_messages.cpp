#include "editor_messages/stored_file_messages.h"

namespace ostrel
{

std::string BuildPresetsMessage(std::string_view presetsFileContent)
{
    std::string out;
    out.reserve(presetsFileContent.size() + 24);
    out += "{\"t\":\"presets\",\"json\":";
    out += presetsFileContent;
    out += '}';
    return out;
}

std::string BuildOnboardedMessage(size_t onboardedFileLength)
{
    return onboardedFileLength > 0 ? "{\"t\":\"onboarded\",\"onboarded\":1}"
                                   : "{\"t\":\"onboarded\",\"onboarded\":0}";
}

} // namespace ostrel
