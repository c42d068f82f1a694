#include "webview/helper/plugin_channel.h"

#include <glib-unix.h>
#include <glib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ostrel_webview
{

PluginChannel::PluginChannel(int fd, FrameHandler onFrame, ClosedHandler onClosed)
    : mFd(fd), mOnFrame(std::move(onFrame)), mOnClosed(std::move(onClosed))
{
    mWatch = g_unix_fd_add(mFd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                           reinterpret_cast<GUnixFDSourceFunc>(&PluginChannel::OnReadable), this);
}

PluginChannel::~PluginChannel()
{
    if (mWatch != 0)
        g_source_remove(mWatch);
    if (mFd >= 0)
        close(mFd);
}

void PluginChannel::Send(char kind, const std::string& text)
{
    if (mFd < 0)
        return;
    std::string bytes;
    if (!plugfw::AppendFrame(bytes, kind, text))
        return;
    // A blocking write: the plug-in drains the stream every idle tick, and
    // a plug-in that is gone closes it (the write then fails, no signal).
    size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = send(mFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            g_usleep(1000);
            continue;
        }
        if (n <= 0)
        {
            Close();
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

int PluginChannel::OnReadable(int /*fd*/, unsigned /*condition*/, void* self)
{
    auto* channel = static_cast<PluginChannel*>(self);
    if (!channel->ReadWaiting())
    {
        channel->mWatch = 0;
        channel->Close();
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

bool PluginChannel::ReadWaiting()
{
    char buffer[16384];
    bool open = true;
    for (;;)
    {
        const ssize_t n = recv(mFd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
        {
            mDecoder.Feed(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        open = false; // end of stream or error
        break;
    }
    std::vector<plugfw::Frame> frames;
    plugfw::Frame frame;
    plugfw::FrameDecoder::Result result;
    while ((result = mDecoder.Next(frame)) == plugfw::FrameDecoder::Result::kFrame)
        frames.push_back(std::move(frame));
    for (const plugfw::Frame& f : frames)
        mOnFrame(f);
    return open && result != plugfw::FrameDecoder::Result::kBroken;
}

void PluginChannel::Close()
{
    if (mFd < 0)
        return;
    if (mWatch != 0)
    {
        g_source_remove(mWatch);
        mWatch = 0;
    }
    close(mFd);
    mFd = -1;
    if (mOnClosed)
        mOnClosed();
}

} // namespace ostrel_webview
