// Which registry the instance meets its peers in: the host session's, worked
// out from the host's name and the user's preference, once the host has
// said who it is (before any audio).
#include "plugin/ostrel.h"

#include "link/registry_hub.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"

namespace ostrel
{

// The preference "Link across processes" ("automatic", "never", "always"),
// one word in the data folder; automatic when it is missing.
inline constexpr const char* kCrossProcessFile = "Ostrel.link";

void Ostrel::OnHostIdentified()
{
    const std::string path = PathInDataFolder(kCrossProcessFile);
    const std::string preference = path.empty() ? std::string() : ReadWholeFile(path, 64);
    joinHostSession(GetHostName(), crossProcessLinkingFromText(preference));
    mEngine.adoptRegistry(sharedRegistry());
    mLink.NoteSessionJoined();
}

} // namespace ostrel
