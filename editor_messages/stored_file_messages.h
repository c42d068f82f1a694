// The two messages that hand the page what the data folder keeps for it: the
// presets collection and the first-run flag.
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

} // namespace ostrel
