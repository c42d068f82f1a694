#include "webview/frame_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using plugfw::AppendFrame;
using plugfw::Frame;
using plugfw::FrameDecoder;

std::vector<Frame> DrainFrames(FrameDecoder& decoder)
{
    std::vector<Frame> frames;
    Frame f;
    while (decoder.Next(f) == FrameDecoder::Result::kFrame)
        frames.push_back(f);
    return frames;
}

std::string LengthPrefix(uint32_t length)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    return s;
}

TEST(FrameCodec, WritesLittleEndianLengthKindAndText)
{
    std::string out;
    ASSERT_TRUE(AppendFrame(out, 'M', "{\"msg\":1}"));
    EXPECT_EQ(out, LengthPrefix(10) + "M{\"msg\":1}");

    std::string empty;
    ASSERT_TRUE(AppendFrame(empty, 'C', ""));
    EXPECT_EQ(empty, LengthPrefix(1) + "C");
}

TEST(FrameCodec, LongLengthUsesAllFourBytes)
{
    const std::string text(70000, 'x');
    std::string out;
    ASSERT_TRUE(AppendFrame(out, 'E', text));
    EXPECT_EQ(out.substr(0, 4), LengthPrefix(70001));
    FrameDecoder d;
    d.Feed(out.data(), out.size());
    const auto frames = DrainFrames(d);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].text, text);
}

TEST(FrameCodec, RoundTripsUtf8AndZeroBytes)
{
    const std::string text =
        std::string("caf\xC3\xA9 \xE2\x82\xAC ") + std::string(1, '\0') + "end";
    std::string out;
    ASSERT_TRUE(AppendFrame(out, 'M', text));
    FrameDecoder d;
    d.Feed(out.data(), out.size());
    const auto frames = DrainFrames(d);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, 'M');
    EXPECT_EQ(frames[0].text, text);
}

TEST(FrameCodec, FrameSplitAtEveryByteArrivesWhole)
{
    std::string stream;
    AppendFrame(stream, 'E', "SPVFD(3, 0.500000)");
    AppendFrame(stream, 'M', "{}");
    // One byte per read: the frames appear only once complete.
    FrameDecoder d;
    std::vector<Frame> frames;
    for (size_t i = 0; i < stream.size(); ++i)
    {
        d.Feed(&stream[i], 1);
        for (const Frame& f : DrainFrames(d))
            frames.push_back(f);
        if (i + 1 < 4 + 19)
        {
            EXPECT_TRUE(frames.empty()) << "after byte " << i;
        }
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].text, "SPVFD(3, 0.500000)");
    EXPECT_EQ(frames[1].kind, 'M');
    EXPECT_EQ(frames[1].text, "{}");
    EXPECT_EQ(d.Buffered(), 0u);
}

TEST(FrameCodec, SeveralFramesInOneReadAndATailKeptForLater)
{
    std::string stream;
    for (int i = 0; i < 50; ++i)
        AppendFrame(stream, 'M', "message " + std::to_string(i));
    std::string next;
    AppendFrame(next, 'D', "");
    stream += next.substr(0, 3); // a partial header follows

    FrameDecoder d;
    d.Feed(stream.data(), stream.size());
    auto frames = DrainFrames(d);
    ASSERT_EQ(frames.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(frames[static_cast<size_t>(i)].text, "message " + std::to_string(i));
    EXPECT_EQ(d.Buffered(), 3u);

    d.Feed(next.data() + 3, next.size() - 3);
    frames = DrainFrames(d);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, 'D');
    EXPECT_TRUE(frames[0].text.empty());
}

TEST(FrameCodec, ManyReadsKeepTheBufferSmall)
{
    // A long session: the consumed part of the buffer is dropped as it goes.
    FrameDecoder d;
    std::string one;
    AppendFrame(one, 'M', std::string(1000, 'a'));
    for (int i = 0; i < 5000; ++i)
    {
        d.Feed(one.data(), one.size() - 10);
        EXPECT_EQ(DrainFrames(d).size(), 0u);
        d.Feed(one.data() + one.size() - 10, 10);
        ASSERT_EQ(DrainFrames(d).size(), 1u);
    }
    EXPECT_EQ(d.Buffered(), 0u);
}

struct BadLength
{
    const char* name;
    uint32_t length;
};

class FrameCodecRejects : public ::testing::TestWithParam<BadLength>
{
};

TEST_P(FrameCodecRejects, LengthAndStaysBroken)
{
    FrameDecoder d;
    const std::string header = LengthPrefix(GetParam().length);
    d.Feed(header.data(), header.size());
    Frame f;
    EXPECT_EQ(d.Next(f), FrameDecoder::Result::kBroken);
    EXPECT_TRUE(d.Broken());
    // Good frames after a corrupt length are not believed.
    std::string good;
    AppendFrame(good, 'R', "");
    d.Feed(good.data(), good.size());
    EXPECT_EQ(d.Next(f), FrameDecoder::Result::kBroken);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FrameCodecRejects,
                         ::testing::Values(BadLength{"Zero", 0},
                                           BadLength{"JustOverLimit", plugfw::kMaxFramePayload + 1},
                                           BadLength{"Huge", 0xFFFFFFFFu}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameCodec, LargestFrameIsAcceptedWithoutItsBody)
{
    // A length at the limit is legal: the decoder waits for the body.
    FrameDecoder d;
    const std::string header = LengthPrefix(plugfw::kMaxFramePayload);
    d.Feed(header.data(), header.size());
    Frame f;
    EXPECT_EQ(d.Next(f), FrameDecoder::Result::kNeedMore);
    EXPECT_FALSE(d.Broken());
}

TEST(FrameCodec, WriterRefusesTextsTooLongForAFrame)
{
    std::string out = "kept";
    const std::string text(plugfw::kMaxFramePayload, 'x');
    EXPECT_FALSE(AppendFrame(out, 'E', text));
    EXPECT_EQ(out, "kept");
}

} // namespace
