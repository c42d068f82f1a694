#include "editor_messages/stored_file_messages.h"

#include <nlohmann/json.hpp>

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

std::string BuildFileErrorMessage(std::string_view file, std::string_view error)
{
    nlohmann::ordered_json message;
    message["t"] = "fileError";
    message["file"] = file;
    message["error"] = error;
    return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace ostrel
