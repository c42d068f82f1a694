// Writes queued under the instance's lock and done after it: what a reader
// sees before and after, and which write of a file wins.
#include "storage/file_work_queue.h"

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "temp_data_folder.h"

#include <gtest/gtest.h>

namespace ostrel
{
namespace
{

using FileWorkQueueTest = testing::TempDataFolderTest;

TEST_F(FileWorkQueueTest, NothingIsWrittenUntilTheRun)
{
    FileWorkQueue queue;
    const std::string path = PathInDataFolder("a.json");
    queue.QueueWrite(path, "[1]");
    EXPECT_EQ(ReadWholeFile(path), "") << "the data folder does not even exist yet";
    EXPECT_EQ(queue.Queued(path), "[1]");
    queue.RunWrites();
    EXPECT_EQ(ReadWholeFile(path), "[1]");
    EXPECT_EQ(queue.Queued(path), std::nullopt);
}

TEST_F(FileWorkQueueTest, LaterWriteOfAFileReplacesTheQueuedOne)
{
    FileWorkQueue queue;
    const std::string a = PathInDataFolder("a.json");
    const std::string b = PathInDataFolder("b");
    queue.QueueWrite(a, "old");
    queue.QueueWrite(b, "1");
    queue.QueueWrite(a, "new");
    EXPECT_EQ(queue.Queued(a), "new");
    queue.RunWrites();
    EXPECT_EQ(ReadWholeFile(a), "new");
    EXPECT_EQ(ReadWholeFile(b), "1");
    EXPECT_EQ(entries(std::filesystem::path(a).parent_path()),
              (std::vector<std::string>{"a.json", "b"}));
}

} // namespace
} // namespace ostrel
