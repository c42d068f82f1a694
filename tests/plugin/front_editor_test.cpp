// Of the process's open editors, the one opened or used last is in front.
#include "plugin/front_editor.h"

#include <gtest/gtest.h>

namespace
{

using ostrel::FrontEditor;

TEST(FrontEditor, TheEditorOpenedOrUsedLastIsInFront)
{
    FrontEditor a;
    FrontEditor b;
    FrontEditor c;
    EXPECT_FALSE(a.Behind()) << "closed";
    a.Used();
    EXPECT_FALSE(a.Behind()) << "alone";
    b.Used();
    EXPECT_TRUE(a.Behind());
    EXPECT_FALSE(b.Behind());
    a.Used();
    EXPECT_FALSE(a.Behind());
    EXPECT_TRUE(b.Behind());
    c.Used();
    EXPECT_TRUE(a.Behind());
    EXPECT_TRUE(b.Behind());
    b.Closed();
    EXPECT_FALSE(b.Behind()) << "closed";
    EXPECT_TRUE(a.Behind()) << "the front one is still open";
    c.Closed();
    EXPECT_FALSE(a.Behind()) << "the front closed: the others go at full pace";
    {
        FrontEditor d;
        d.Used();
        EXPECT_TRUE(a.Behind());
    }
    EXPECT_FALSE(a.Behind()) << "an instance that goes away leaves the front";
}

} // namespace
