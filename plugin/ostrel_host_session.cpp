// Which registry the instance meets its peers in: the host session's, worked
// out from the host's name and the user's preference "Link across
// processes" once the host has said who it is, and again whenever the
// preference changes (in any editor of any process of the user).
#include "plugin/ostrel.h"

#include "link/monotonic_clock.h"
#include "link/registry_hub.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <atomic>
#include <limits>

namespace ostrel
{
namespace
{

// Every process reads the preference this often, so that a change made in
// another process reaches all instances within a second.
constexpr int64_t kPreferencePollMs = 250;
std::atomic<int64_t> gPreferenceReadMs{std::numeric_limits<int64_t>::min() / 2};

CrossProcessLinking ReadLinkPreference()
{
    const std::string path = PathInDataFolder(kLinkPreferenceFileName);
    return crossProcessLinkingFromText(path.empty() ? std::string() : ReadWholeFile(path, 64));
}

} // namespace

void Ostrel::OnHostIdentified()
{
    gPreferenceReadMs.store(monotonicMs());
    joinHostSession(GetHostName(), ReadLinkPreference());
    mEngine.handover().followPlace();
    mLink.NoteSessionJoined();
}

void Ostrel::FollowLinkPreference(bool justWritten)
{
    // One instance of the process reads it for all (the process's place is
    // shared); the others follow the place at their next idle tick.
    const int64_t now = monotonicMs();
    int64_t last = gPreferenceReadMs.load();
    if (!justWritten &&
        (now - last < kPreferencePollMs || !gPreferenceReadMs.compare_exchange_strong(last, now)))
        return;
    followLinkPreference(ReadLinkPreference());
}

void Ostrel::LinkPreferenceFromPage(const std::string& word)
{
    const CrossProcessLinking mode = crossProcessLinkingFromText(word);
    // Written outside the lock; the process follows it right after.
    mFiles.QueueWrite(kLinkPreferenceFileName, crossProcessLinkingText(mode));
}

} // namespace ostrel
