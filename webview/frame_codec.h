// Length-prefixed frames between the plug-in and its web view helper process.
// A frame is a 4-byte little-endian payload length followed by the payload:
// one kind byte and UTF-8 text. Used on both sides of the socket, so it
// depends on nothing but the standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plugfw
{

struct Frame
{
    char kind = 0;
    std::string text;
};

// Large enough for any page message or script the editor sends (scripts are
// cut to 8192 characters), small enough that a corrupt length cannot make
// either side allocate without bound.
constexpr uint32_t kMaxFramePayload = 16u * 1024u * 1024u;

// Appends one frame to `out`. Returns false (and appends nothing) when the
// text is too long for a frame.
bool AppendFrame(std::string& out, char kind, std::string_view text);

// Splits a byte stream into frames, whatever the reads' boundaries.
class FrameDecoder
{
public:
    enum class Result
    {
        kFrame, // `frame` holds the next frame
        kNeedMore,
        kBroken, // a length outside the limit: the stream cannot be trusted again
    };

    void Feed(const char* bytes, size_t count);
    Result Next(Frame& frame);
    bool Broken() const { return mBroken; }
    // Bytes received but not yet returned as frames.
    size_t Buffered() const { return mBuffer.size() - mStart; }

private:
    std::string mBuffer;
    size_t mStart = 0;
    bool mBroken = false;
};

} // namespace plugfw
