// The messages that hand the page what the data folder keeps for it (the
// presets collection and the first-run flag) and tell it when the folder
// failed it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel
{

// {"t":"presets","json":<content unchanged>}. The content is the page's own
// JSON text; it is not looked into.
std::string BuildPresetsMessage(std::string_view presetsFileContent);

// {"t":"onboarded","onboarded":1} when the file holds at least one byte, else 0.
std::string BuildOnboardedMessage(size_t onboardedFileLength);

// {"t":"fileError","file":<which>,"error":<why, in words for the user>}:
// `file` is "presets", "laststate" or "onboarded" for a write that failed,
// "folder" for a data folder that is not used at all. Bytes that are not
// UTF-8 (a folder's name) are replaced, so the text stays JSON.
std::string BuildFileErrorMessage(std::string_view file, std::string_view error);

} // namespace ostrel
