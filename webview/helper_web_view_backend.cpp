#include "webview/helper_web_view_backend.h"

#include "webview/helper_protocol.h"

#include <vector>

namespace plugfw
{

namespace proto = helper_protocol;

HelperWebViewBackend::HelperWebViewBackend(IWebView& owner,
                                           std::unique_ptr<HelperConnection> connection)
    : mOwner(owner), mConnection(std::move(connection))
{
}

HelperWebViewBackend::~HelperWebViewBackend()
{
    if (!mConnection)
        return;
    // Best effort: the helper also exits when the stream closes.
    Send(proto::kClose, {});
    mConnection.reset();
}

void HelperWebViewBackend::AddDocumentStartScript(const std::string& utf8Script)
{
    Send(proto::kDocumentStartScript, utf8Script);
}

void HelperWebViewBackend::EvaluateScript(const std::string& utf8Script)
{
    Send(proto::kRunScript, utf8Script);
}

void HelperWebViewBackend::TakeFocus()
{
    Send(proto::kFocus, {});
}

void HelperWebViewBackend::ReleaseFocus()
{
    Send(proto::kReleaseFocus, {});
}

void HelperWebViewBackend::LoadFile(const std::string& utf8Path)
{
    Send(proto::kLoadFile, utf8Path);
}

void HelperWebViewBackend::SetBounds(int x, int y, int width, int height)
{
    if (width < 0 || height < 0)
        return;
    Send(proto::kBounds, proto::BoundsText({x, y, width, height}));
}

void HelperWebViewBackend::SetScale(float scale)
{
    if (!(scale > 0.0f) || scale > 1000.0f)
        return;
    Send(proto::kScale, proto::ScaleText(scale));
}

void HelperWebViewBackend::Send(char kind, const std::string& text)
{
    if (!mConnection)
        return;
    if (mOutput.size() + text.size() + 5 > kMaxPendingOutput)
        return;
    if (!AppendFrame(mOutput, kind, text))
        return;
    Flush();
}

void HelperWebViewBackend::Flush()
{
    size_t written = 0;
    while (mConnection && written < mOutput.size())
    {
        const long n = mConnection->Write(mOutput.data() + written, mOutput.size() - written);
        if (n < 0)
        {
            HelperGone();
            return;
        }
        if (n == 0)
            break;
        written += static_cast<size_t>(n);
    }
    mOutput.erase(0, written);
}

void HelperWebViewBackend::HelperGone()
{
    mConnection.reset();
    mOutput.clear();
}

void HelperWebViewBackend::Poll()
{
    if (!mConnection)
        return;
    Flush();

    char buffer[16384];
    size_t total = 0;
    while (mConnection && total < kMaxReadPerPoll)
    {
        const long n = mConnection->Read(buffer, sizeof buffer);
        if (n < 0)
        {
            HelperGone();
            break;
        }
        if (n == 0)
            break;
        mDecoder.Feed(buffer, static_cast<size_t>(n));
        total += static_cast<size_t>(n);
    }

    // Frames that arrived before the stream ended are still delivered.
    std::vector<Frame> frames;
    Frame frame;
    FrameDecoder::Result result;
    while ((result = mDecoder.Next(frame)) == FrameDecoder::Result::kFrame)
        frames.push_back(std::move(frame));
    if (result == FrameDecoder::Result::kBroken)
    {
        // Nothing after a corrupt length can be trusted.
        HelperGone();
        frames.clear();
    }

    const std::weak_ptr<bool> life = mLife;
    for (const Frame& f : frames)
    {
        Dispatch(f);
        if (life.expired())
            return; // an event handler closed the editor
    }
}

void HelperWebViewBackend::Dispatch(const Frame& frame)
{
    switch (frame.kind)
    {
    case proto::kReady:
        mOwner.OnWebViewReady();
        break;
    case proto::kContentLoaded:
        mOwner.OnWebContentLoaded();
        break;
    case proto::kPageMessage:
        mOwner.OnWebMessage(frame.text);
        break;
    case proto::kNavigationQuestion:
        if (const auto q = proto::ParseQuestion(frame.text))
        {
            const bool yes = mOwner.OnCanNavigateToURL(q->subject);
            Send(proto::kAnswer, proto::AnswerText(q->id, yes));
        }
        break;
    case proto::kDownloadQuestion:
        if (const auto q = proto::ParseQuestion(frame.text))
        {
            const bool yes = mOwner.OnCanDownloadMIMEType(q->subject);
            Send(proto::kAnswer, proto::AnswerText(q->id, yes));
        }
        break;
    default:
        break; // a newer helper's report that this plug-in does not know
    }
}

} // namespace plugfw
