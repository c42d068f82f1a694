// The two holders of a host gesture (the page and a matrix drag) keep their
// own countdowns; the host's gesture is held while either holds it.
#include "plugin/gesture_book.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using ostrel::GestureBook;
using ostrel::GestureHolder;

TEST(GestureBook, HoldersOpenAndCloseApart)
{
    GestureBook book;
    EXPECT_TRUE(book.Open(GestureHolder::Page, 2));
    EXPECT_FALSE(book.Open(GestureHolder::Page, 2)) << "already open";
    EXPECT_TRUE(book.Open(GestureHolder::Peer, 2));
    EXPECT_TRUE(book.Close(GestureHolder::Page, 2));
    EXPECT_TRUE(book.HeldByAnyone(2)) << "the peer still holds it";
    EXPECT_FALSE(book.Close(GestureHolder::Page, 2));
    EXPECT_TRUE(book.Close(GestureHolder::Peer, 2));
    EXPECT_FALSE(book.HeldByAnyone(2));
}

TEST(GestureBook, AnIdleGestureClosesAfterTheTimeoutAndATouchRestartsIt)
{
    GestureBook book;
    book.Open(GestureHolder::Page, 4);
    book.Open(GestureHolder::Peer, 9);
    std::vector<int> closed;
    auto tick = [&](int n)
    {
        for (int i = 0; i < n; ++i)
            book.Tick([&](int idx) { closed.push_back(idx); });
    };
    tick(GestureBook::kTimeoutTicks - 1);
    book.Touch(GestureHolder::Page, 4);
    tick(1);
    EXPECT_TRUE(closed.empty());
    tick(1);
    EXPECT_EQ(closed, std::vector<int>{9});
    EXPECT_EQ(book.IdleTicks(GestureHolder::Page, 4), 2);
    tick(GestureBook::kTimeoutTicks - 1);
    EXPECT_EQ(closed, (std::vector<int>{9, 4}));
    EXPECT_FALSE(book.HeldByAnyone(4));
    EXPECT_EQ(book.IdleTicks(GestureHolder::Page, 4), 0);
}

} // namespace
