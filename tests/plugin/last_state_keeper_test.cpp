// The last settings are saved from the user's own edits at a steady pace,
// never from the restore's own values; their file is read outside the lock
// when a restore asks for it.
#include "plugin/last_state_keeper.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace
{

using ostrel::LastStateKeeper;

// The ticks (1-based) a save is due at, for edits made before the given ticks.
std::vector<int> SaveTicks(const std::vector<int>& editBefore, int ticks)
{
    LastStateKeeper keeper;
    std::vector<int> due;
    for (int tick = 1; tick <= ticks; ++tick)
    {
        for (const int at : editBefore)
            if (at == tick)
                keeper.NoteEditorEdit();
        if (keeper.SaveDue())
            due.push_back(tick);
    }
    return due;
}

TEST(LastStateKeeper, SavedEveryTwentyDirtyTicksAtMost)
{
    const int period = LastStateKeeper::kSavePeriodTicks;
    EXPECT_EQ(SaveTicks({}, 100), std::vector<int>{});
    EXPECT_EQ(SaveTicks({1}, 100), std::vector<int>{period});
    EXPECT_EQ(SaveTicks({1, 5, period}, 100), std::vector<int>{period}) << "edits coalesce";
    // Only ticks with something to save count towards the next.
    EXPECT_EQ(SaveTicks({1, period + 30}, 100), (std::vector<int>{period, period + 49}));
}

TEST(LastStateKeeper, TheRestoresOwnValuesAreNoEdit)
{
    LastStateKeeper keeper;
    {
        const LastStateKeeper::Restoring restoring(keeper);
        keeper.NoteEditorEdit();
        EXPECT_FALSE(keeper.Dirty());
    }
    keeper.NoteEditorEdit();
    EXPECT_TRUE(keeper.Dirty());
    keeper.MarkSaved();
    EXPECT_FALSE(keeper.Dirty());
}

TEST(LastStateKeeper, TheFileIsReadOutsideTheLockOnlyWhenAskedFor)
{
    LastStateKeeper keeper;
    int reads = 0;
    auto read = [&reads] { return "[0,0,0." + std::to_string(++reads) + "]"; };
    keeper.ReadIfWanted(read); // a new instance wants it
    keeper.ReadIfWanted(read);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(keeper.TakeText(), "[0,0,0.1]");
    EXPECT_EQ(keeper.TakeText(), std::nullopt) << "taken once; asks again";
    keeper.ReadIfWanted(read);
    EXPECT_EQ(keeper.TakeText(), "[0,0,0.2]");
}

} // namespace
