// "Link across processes" from the page: the choice is written to the data
// folder as the other user files are (whole, by rename), the process moves
// to the place it gives and every instance follows at its next tick; a
// change of the file by another process is picked up within a second.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "link/process_identity.h"
#include "link/registry_hub.h"
#include "link/shared_memory.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace
{

using namespace ostrel;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

PeerRegistry* PlaceRegistry()
{
    PeerRegistry* session = sessionRegistry();
    return session != nullptr ? session : &sharedRegistry();
}

class LinkPreference : public OstrelPageTest
{
protected:
    void SetUp() override
    {
        OstrelPageTest::SetUp();
        // The host has named itself: the process has a place.
        for (RecordingOstrel* p : {&a, &b})
            p->OnHostIdentified();
    }
    void TearDown() override
    {
        followLinkPreference(CrossProcessLinking::Automatic);
        OstrelPageTest::TearDown();
    }
    RecordingOstrel a;
    RecordingOstrel b;
};

TEST_F(LinkPreference, ThePageWritesItAndEveryInstanceFollows)
{
    struct Case
    {
        const char* sent;
        const char* stored;
        CrossProcessLinking mode;
        bool shared;
    } cases[] = {
        {"{\"link\":\"never\"}", "never", CrossProcessLinking::Never, false},
        {"{\"link\":\"always\"}", "always", CrossProcessLinking::Always, true},
        {"{\"link\":\"automatic\"}", "automatic", CrossProcessLinking::Automatic, true},
        {"{\"link\":\"never\"}", "never", CrossProcessLinking::Never, false},
        // Not a preference: read as automatic, and stored as such.
        {"{\"link\":\"sometimes\"}", "automatic", CrossProcessLinking::Automatic, true},
    };
    const std::string path = PathInDataFolder(kLinkPreferenceFileName);
    for (const Case& c : cases)
    {
        a.Message(kTagLinkPreference, c.sent);
        EXPECT_EQ(FileText(path), c.stored) << c.sent;
        const RegistryPlace place = registryPlace();
        EXPECT_EQ(place.mode, c.mode) << c.sent;
        EXPECT_EQ(place.shared, c.shared) << c.sent;
        a.Ticks(1);
        b.Ticks(1);
        for (RecordingOstrel* p : {&a, &b})
        {
            EXPECT_EQ(&p->IdleRegistry(), PlaceRegistry()) << c.sent;
            EXPECT_FALSE(p->Engine().handover().moving()) << c.sent;
        }
        // Only the place's block is left mapped, and a block nobody uses any
        // more is gone from the system.
        EXPECT_EQ(attachedBlockCount(), c.shared ? 1 : 0) << c.sent;
        const std::string ownBlocks = "ostrel-" + std::to_string(currentUserId()) + "-" +
                                      std::to_string(thisProcessId()) + "-";
        EXPECT_EQ(listSharedMemory(ownBlocks).size(),
                  c.mode == CrossProcessLinking::Automatic ? 1u : 0u)
            << c.sent;
        // Written whole: no temporary file beside it.
        for (const auto& entry : std::filesystem::directory_iterator(DataFolder()))
            EXPECT_EQ(entry.path().extension(), entry.path() == path ? ".link" : "")
                << entry.path();
    }
}

TEST_F(LinkPreference, AChangeMadeElsewhereIsFollowedWithinASecond)
{
    CreateDataFolder();
    const std::string path = PathInDataFolder(kLinkPreferenceFileName);
    for (const char* word : {"never", "always", "automatic"})
    {
        {
            // As another process's instance writes it (or the user by hand).
            std::ofstream(path + ".tmp") << word;
            std::filesystem::rename(path + ".tmp", path);
        }
        const auto start = std::chrono::steady_clock::now();
        while (registryPlace().mode != crossProcessLinkingFromText(word) &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
        {
            a.Ticks(1);
            b.Ticks(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(registryPlace().mode, crossProcessLinkingFromText(word)) << word;
        EXPECT_LT(took, std::chrono::seconds(1)) << word;
        a.Ticks(1);
        b.Ticks(1);
        EXPECT_EQ(&a.IdleRegistry(), PlaceRegistry()) << word;
        EXPECT_EQ(&b.IdleRegistry(), PlaceRegistry()) << word;
    }
}

} // namespace
