#include "webview/frame_codec.h"

namespace plugfw
{

bool AppendFrame(std::string& out, char kind, std::string_view text)
{
    if (text.size() >= kMaxFramePayload)
        return false;
    const auto length = static_cast<uint32_t>(text.size() + 1);
    char header[4];
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<char>((length >> (8 * i)) & 0xFFu);
    out.append(header, 4);
    out.push_back(kind);
    out.append(text);
    return true;
}

void FrameDecoder::Feed(const char* bytes, size_t count)
{
    if (mBroken || count == 0)
        return;
    // Drop what was already returned before growing the buffer.
    if (mStart > 0 && mStart == mBuffer.size())
    {
        mBuffer.clear();
        mStart = 0;
    }
    else if (mStart > 4096 && mStart * 2 > mBuffer.size())
    {
        mBuffer.erase(0, mStart);
        mStart = 0;
    }
    mBuffer.append(bytes, count);
}

FrameDecoder::Result FrameDecoder::Next(Frame& frame)
{
    if (mBroken)
        return Result::kBroken;
    const size_t available = mBuffer.size() - mStart;
    if (available < 4)
        return Result::kNeedMore;
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= static_cast<uint32_t>(static_cast<unsigned char>(mBuffer[mStart + i])) << (8 * i);
    // Every frame carries at least its kind byte.
    if (length == 0 || length > kMaxFramePayload)
    {
        mBroken = true;
        mBuffer.clear();
        mStart = 0;
        return Result::kBroken;
    }
    if (available - 4 < length)
        return Result::kNeedMore;
    frame.kind = mBuffer[mStart + 4];
    frame.text.assign(mBuffer, mStart + 5, length - 1);
    mStart += 4 + length;
    return Result::kFrame;
}

} // namespace plugfw
