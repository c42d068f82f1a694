// plugfw::HelperWebViewBackend: the web view back end whose browser runs in a
// helper process. It frames scripts, bounds and focus onto the helper's
// stream, and at every poll turns what the helper reported (ready, content
// loaded, page messages, questions) into calls on the owning IWebView.
// Main thread only. Once the helper is gone (stream closed, garbage on it)
// the back end stays quiet: scripts are dropped and no event is delivered.
#pragma once

#include "framework/iweb_view.h"
#include "webview/frame_codec.h"
#include "webview/helper_connection.h"

#include <memory>
#include <string>

namespace plugfw
{

class HelperWebViewBackend : public WebViewBackend
{
public:
    HelperWebViewBackend(IWebView& owner, std::unique_ptr<HelperConnection> connection);
    // Asks the helper to close and lets go of it.
    ~HelperWebViewBackend() override;

    HelperWebViewBackend(const HelperWebViewBackend&) = delete;
    HelperWebViewBackend& operator=(const HelperWebViewBackend&) = delete;

    // A script run at the start of every document (before the page loads).
    void AddDocumentStartScript(const std::string& utf8Script);

    void EvaluateScript(const std::string& utf8Script) override;
    void TakeFocus() override;
    void ReleaseFocus() override;
    void LoadFile(const std::string& utf8Path) override;
    void SetBounds(int x, int y, int width, int height) override;
    void SetScale(float scale) override;
    void Poll() override;

    bool HelperAlive() const { return mConnection != nullptr; }
    // Bytes framed but not yet taken by the stream.
    size_t PendingOutput() const { return mOutput.size(); }

    // A helper that reads nothing for this long in bytes is treated as hung:
    // further frames are dropped rather than queued without bound.
    static constexpr size_t kMaxPendingOutput = 8u * 1024u * 1024u;
    // Bytes read in one poll at most, so that a chatty page cannot hold the
    // main thread.
    static constexpr size_t kMaxReadPerPoll = 1024u * 1024u;

private:
    void Send(char kind, const std::string& text);
    void Flush();
    void Dispatch(const Frame& frame);
    void HelperGone();

    IWebView& mOwner;
    std::unique_ptr<HelperConnection> mConnection;
    std::string mOutput;
    FrameDecoder mDecoder;
    // Lets a poll notice that an event handler destroyed this back end.
    std::shared_ptr<bool> mLife = std::make_shared<bool>(true);
};

} // namespace plugfw
