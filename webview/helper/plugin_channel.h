// The helper's end of the stream to the plug-in: frames in (decoded as they
// arrive on the GLib main loop), frames out (written at once; the plug-in
// reads at every idle tick). When the stream ends or breaks, the helper's
// work is over.
#pragma once

#include "webview/frame_codec.h"

#include <functional>
#include <string>

namespace ostrel_webview
{

class PluginChannel
{
public:
    using FrameHandler = std::function<void(const plugfw::Frame&)>;
    using ClosedHandler = std::function<void()>;

    PluginChannel(int fd, FrameHandler onFrame, ClosedHandler onClosed);
    ~PluginChannel();

    PluginChannel(const PluginChannel&) = delete;
    PluginChannel& operator=(const PluginChannel&) = delete;

    void Send(char kind, const std::string& text);
    bool Open() const { return mFd >= 0; }

private:
    static int OnReadable(int fd, unsigned condition, void* self);
    bool ReadWaiting();
    void Close();

    int mFd;
    unsigned mWatch = 0;
    plugfw::FrameDecoder mDecoder;
    FrameHandler mOnFrame;
    ClosedHandler mOnClosed;
};

} // namespace ostrel_webview
