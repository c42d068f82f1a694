#include "webview/helper_protocol.h"

#include <gtest/gtest.h>

namespace
{

namespace proto = plugfw::helper_protocol;

TEST(HelperProtocol, BoundsRoundTripAndRejectMalformedTexts)
{
    const proto::Bounds b{-3, 7, 1084, 543};
    const auto parsed = proto::ParseBounds(proto::BoundsText(b));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->x, -3);
    EXPECT_EQ(parsed->y, 7);
    EXPECT_EQ(parsed->width, 1084);
    EXPECT_EQ(parsed->height, 543);

    for (const char* bad : {"", "1 2 3", "1 2 3 4 5", "1 2 3 x", "1  2 3 4", "1 2 -3 4", "1 2 3 4 ",
                            "99999999999 0 1 1"})
        EXPECT_FALSE(proto::ParseBounds(bad).has_value()) << '"' << bad << '"';
}

TEST(HelperProtocol, ScaleTextIsLocaleFreeAndParsesBack)
{
    EXPECT_EQ(proto::ScaleText(1.0f), "1.000");
    EXPECT_EQ(proto::ScaleText(1.5f), "1.500");
    EXPECT_EQ(proto::ScaleText(2.25f), "2.250");
    for (float s : {0.5f, 1.0f, 1.25f, 1.75f, 3.0f})
    {
        const auto parsed = proto::ParseScale(proto::ScaleText(s));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_NEAR(*parsed, s, 1e-6f);
    }
    for (const char* bad : {"", "0", "0.000", "-1.5", "1,5", "1.", ".5", "nan", "inf", "1.5x"})
        EXPECT_FALSE(proto::ParseScale(bad).has_value()) << '"' << bad << '"';
}

TEST(HelperProtocol, QuestionsKeepSpacesInTheirSubject)
{
    const auto q = proto::ParseQuestion(proto::QuestionText(42, "ostrel://page/a b.html"));
    ASSERT_TRUE(q.has_value());
    EXPECT_EQ(q->id, 42u);
    EXPECT_EQ(q->subject, "ostrel://page/a b.html");

    const auto empty = proto::ParseQuestion("7 ");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->subject, "");

    for (const char* bad : {"", "7", "x y", " 7 a", "-1 a"})
        EXPECT_FALSE(proto::ParseQuestion(bad).has_value()) << '"' << bad << '"';
}

TEST(HelperProtocol, AnswersAreYesOrNoOnly)
{
    EXPECT_EQ(proto::AnswerText(3, true), "3 1");
    EXPECT_EQ(proto::AnswerText(4, false), "4 0");
    const auto yes = proto::ParseAnswer("3 1");
    ASSERT_TRUE(yes.has_value());
    EXPECT_EQ(yes->id, 3u);
    EXPECT_TRUE(yes->yes);
    const auto no = proto::ParseAnswer("4 0");
    ASSERT_TRUE(no.has_value());
    EXPECT_FALSE(no->yes);
    for (const char* bad : {"", "3", "3 2", "3 1 1", "3 yes"})
        EXPECT_FALSE(proto::ParseAnswer(bad).has_value()) << '"' << bad << '"';
}

struct RectCase
{
    proto::Bounds bounds;
    float scale;
    proto::PixelRect expected;
};

class HelperProtocolPixelRect : public ::testing::TestWithParam<RectCase>
{
};

TEST_P(HelperProtocolPixelRect, RoundsCornersUpAndAddsOnePixel)
{
    const RectCase& c = GetParam();
    const proto::PixelRect r = proto::ScaledPixelRect(c.bounds, c.scale);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(Scales, HelperProtocolPixelRect,
                         ::testing::Values(
                             // 144 DPI: (0, 0, 400, 300) covers 0, 0, 601, 451.
                             RectCase{{0, 0, 400, 300}, 1.5f, {0, 0, 601, 451}},
                             RectCase{{0, 0, 400, 300}, 1.0f, {0, 0, 401, 301}},
                             RectCase{{0, 0, 1084, 543}, 1.25f, {0, 0, 1356, 680}},
                             RectCase{{3, 5, 10, 10}, 1.5f, {5, 8, 21, 24}},
                             // A scale that is not a positive finite number counts as 1.
                             RectCase{{0, 0, 100, 50}, 0.0f, {0, 0, 101, 51}},
                             RectCase{{0, 0, 100, 50}, -2.0f, {0, 0, 101, 51}}));

} // namespace
