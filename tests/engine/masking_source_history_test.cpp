#include <gtest/gtest.h>

#include <memory>

#include "engine/masking_source_history.h"

namespace ostrel
{
namespace
{

// The Masker's view of its Source's history: chunk positions in samples,
// level vectors tagged by the value of band 0.
class SourceHistoryTest : public ::testing::Test
{
protected:
    std::unique_ptr<SourceHistoryEntry[]> history{new SourceHistoryEntry[kSourceHistorySize]};
    int writePos = 0;
    int64_t lastBlockEnd = -1;

    // The Masker runs a chunk [pos, pos + n) after the Source published a
    // block ending at srcEnd with levels tagged `tag`; returns the tag used.
    float chunk(int64_t pos, int n, float tag, int64_t srcEnd)
    {
        float levels[kBandCount];
        for (float& l : levels)
            l = tag;
        return alignSourceLevels(history.get(), writePos, lastBlockEnd, pos, n, levels, srcEnd)[0];
    }
};

TEST_F(SourceHistoryTest, ASourceThatIsNotAheadIsUsedAsRead)
{
    EXPECT_EQ(chunk(0, 512, 1.0f, 512), 1.0f);
    EXPECT_EQ(chunk(512, 512, 2.0f, 1024), 2.0f);
    EXPECT_EQ(chunk(1024, 512, 3.0f, 1024), 3.0f); // Source behind: newest stands
    EXPECT_EQ(writePos, 3);
    EXPECT_EQ(lastBlockEnd, 1536);
}

TEST_F(SourceHistoryTest, ASourceAheadIsReplacedByItsBlockThatEndedNoLaterThanTheChunk)
{
    // The Source runs one block ahead of the Masker.
    EXPECT_EQ(chunk(0, 512, 1.0f, 512), 1.0f);
    EXPECT_EQ(chunk(512, 512, 2.0f, 1536), 1.0f);
    EXPECT_EQ(chunk(1024, 512, 3.0f, 2048), 2.0f); // ended exactly at the chunk's end
}

TEST_F(SourceHistoryTest, AWalkSkipsEveryEntryThatIsStillAhead)
{
    // Two blocks ahead: until a block that ended in time exists, the newest stands.
    EXPECT_EQ(chunk(0, 512, 1.0f, 1536), 1.0f);
    EXPECT_EQ(chunk(512, 512, 2.0f, 2048), 2.0f);
    EXPECT_EQ(chunk(1024, 512, 3.0f, 2560), 1.0f);
    EXPECT_EQ(chunk(1536, 512, 4.0f, 3072), 2.0f);
}

TEST_F(SourceHistoryTest, WithNoOlderEntryTheNewestLevelsAreUsed)
{
    EXPECT_EQ(chunk(0, 512, 1.0f, 4096), 1.0f);
    EXPECT_EQ(chunk(512, 512, 2.0f, 4608), 2.0f); // older entry at 4096 is still ahead
}

TEST_F(SourceHistoryTest, ASeekClearsTheHistory)
{
    chunk(0, 512, 1.0f, 512);
    chunk(512, 512, 2.0f, 1024);
    // Jump back to the start: everything recorded before is forgotten, so the
    // Source being ahead cannot fall back on entries from the old place.
    EXPECT_EQ(chunk(0, 512, 5.0f, 1024), 5.0f);
    EXPECT_EQ(writePos, 1);
    EXPECT_EQ(history[1].position, -1);
    // A jump of exactly one chunk is not a seek.
    EXPECT_EQ(chunk(1024, 512, 6.0f, 1536), 6.0f);
    EXPECT_EQ(writePos, 2);
}

TEST_F(SourceHistoryTest, TheWriteRingWrapsAndTheWalkFollowsIt)
{
    int64_t pos = 0;
    for (int i = 0; i < kSourceHistorySize - 1; ++i, pos += 64)
        chunk(pos, 64, 1.0f, pos + 64);
    EXPECT_EQ(writePos, kSourceHistorySize - 1);
    chunk(pos, 64, 7.0f, pos + 64); // last slot of the ring
    pos += 64;
    EXPECT_EQ(writePos, 0);
    // Source now ahead by a block: the walk crosses the wrap to slot 2047.
    EXPECT_EQ(chunk(pos, 64, 8.0f, pos + 128), 7.0f);
}

TEST_F(SourceHistoryTest, ClearEmptiesEveryEntry)
{
    chunk(0, 512, 1.0f, 512);
    clearSourceHistory(history.get(), writePos);
    EXPECT_EQ(writePos, 0);
    for (int i = 0; i < kSourceHistorySize; ++i)
    {
        EXPECT_EQ(history[i].position, -1);
        EXPECT_EQ(history[i].levels[0], 0.0f);
    }
}

} // namespace
} // namespace ostrel
