// The page's files are read outside the instance's lock only when a refresh
// asked for them, and a read made for an earlier request, or before the
// presets file's latest write, is never shown.
#include "plugin/instance_files.h"

#include "storage/user_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace
{

using ostrel::InstanceFiles;

// Reads that count themselves and say what they saw.
struct Reader
{
    int reads = 0;
    uint64_t generation = 0;
    void operator()(InstanceFiles& files)
    {
        files.ReadPageFilesIfWanted(
            [this]
            {
                ++reads;
                InstanceFiles::PageFiles f;
                f.presets = "read " + std::to_string(reads);
                f.presetsGeneration = generation;
                return f;
            });
    }
};

TEST(InstanceFiles, ReadOnlyWhenAskedAndOncePerAsking)
{
    InstanceFiles files;
    Reader read;
    read(files);
    EXPECT_EQ(read.reads, 0);
    EXPECT_FALSE(files.TakePageFiles(0)) << "nothing read yet";
    read(files);
    EXPECT_EQ(read.reads, 1) << "a take that found nothing asks for a read";
    files.WantPageFiles();
    read(files);
    read(files);
    EXPECT_EQ(read.reads, 2);
    const auto taken = files.TakePageFiles(0);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->presets, "read 2");
    EXPECT_FALSE(files.TakePageFiles(0)) << "taken once";
}

struct StaleCase
{
    const char* label;
    bool askAgainAfterTheRead;       // a later refresh asked while the read sat
    const char* writtenAfterTheRead; // a file whose write was queued meanwhile
    uint64_t presetsSeen;            // the generation the page has heard of
    bool shown;
};

class PageFilesAge : public ::testing::TestWithParam<StaleCase>
{
};

TEST_P(PageFilesAge, OnlyAReadForTheLatestRequestIsShown)
{
    const StaleCase& c = GetParam();
    InstanceFiles files;
    Reader read;
    read.generation = 4;
    files.WantPageFiles();
    read(files);
    if (c.askAgainAfterTheRead)
        files.WantPageFiles();
    if (c.writtenAfterTheRead != nullptr)
        files.QueueWrite(c.writtenAfterTheRead, "1");
    EXPECT_EQ(files.TakePageFiles(c.presetsSeen).has_value(), c.shown);
    read(files);
    EXPECT_EQ(read.reads, c.shown ? 1 : 2) << "what is not shown is read again";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageFilesAge,
    ::testing::Values(
        StaleCase{"current", false, nullptr, 4, true},
        StaleCase{"presets_older_than_known", false, nullptr, 5, false},
        StaleCase{"presets_newer_than_known", false, nullptr, 2, true},
        StaleCase{"read_for_an_earlier_refresh", true, nullptr, 4, false},
        // The first-run answer given between the read and
        // the refresh: the guide must not come back.
        StaleCase{"onboarded_written_after_the_read", false, ostrel::kOnboardedFileName, 4, false},
        StaleCase{"presets_written_after_the_read", false, ostrel::kPresetsFileName, 4, false},
        // The last state is not shown: its writes during
        // a drag must not hold a refresh back.
        StaleCase{"last_state_written_after_the_read", false, ostrel::kLastStateFileName, 4, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(InstanceFiles, AReadNobodyAskedForIsStillForTheCurrentRequest)
{
    InstanceFiles files;
    Reader read;
    files.WantPageFiles();
    read(files);
    files.WantPageFilesAgain();
    read(files);
    const auto taken = files.TakePageFiles(0);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->presets, "read 2");
}

} // namespace
