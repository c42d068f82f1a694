// plugfw::IWebView: the embedded browser that shows the editor page. The
// portable part formats nothing itself: it forwards scripts, focus and page
// loads to a platform back end (on Linux a helper process) and turns the back
// end's events into calls on its owner. Without a back end (editor closed, or
// the browser could not start) scripts are dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace plugfw
{

// What a platform browser offers the web view. Tests plug in a recording
// double; the real one lives in a *_linux.cpp file beside its helper.
class WebViewBackend
{
public:
    virtual ~WebViewBackend() = default;

    // Starts the script in the page; its result is discarded.
    virtual void EvaluateScript(const std::string& utf8Script) = 0;
    // Moves the keyboard focus into the page.
    virtual void TakeFocus() {}
    // Gives the keyboard back to the host's window, if the page has it.
    virtual void ReleaseFocus() {}
    // Maps the file's folder and navigates to the file.
    virtual void LoadFile(const std::string& /*utf8Path*/) {}
    // Editor area in logical pixels.
    virtual void SetBounds(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
    // The host's content scale for the editor.
    virtual void SetScale(float /*scale*/) {}
    // Main thread, every idle tick: delivers what the browser reported.
    virtual void Poll() {}
};

class IWebView
{
public:
    IWebView() = default;
    virtual ~IWebView();
    IWebView(const IWebView&) = delete;
    IWebView& operator=(const IWebView&) = delete;

    // Back end life: attached when the browser exists, detached when the
    // editor window closes.
    void AttachWebViewBackend(std::unique_ptr<WebViewBackend> backend);
    std::unique_ptr<WebViewBackend> DetachWebViewBackend();
    bool HasWebView() const { return mBackend != nullptr; }

    // Runs a script in the page; dropped when no web view exists.
    void EvaluateScript(const char* utf8Script);
    void EvaluateScript(const std::string& utf8Script);
    // Scripts run between these two reach the page as one, in their order:
    // the page takes a timer tick's messages in one task and draws once.
    // Any other call to the web view sends what was held first.
    void HoldScripts() { mHolding = true; }
    void SendHeldScripts();
    void FocusWebView();
    void ReleaseWebViewFocus();
    void LoadFile(const std::string& utf8Path);
    void SetWebViewBounds(int x, int y, int width, int height);
    void SetWebViewScale(float scale);
    // Every idle tick: lets the back end deliver its events.
    void PollWebView();

    bool IsOpaque() const { return mOpaque; }
    bool DeveloperToolsEnabled() const { return mDeveloperTools; }

    // Events from the back end, on the main thread.
    virtual void OnWebViewReady() {}
    virtual void OnWebContentLoaded() {}
    virtual void OnWebMessage(std::string_view /*json*/) {}
    virtual bool OnCanNavigateToURL(std::string_view /*url*/) { return true; }
    virtual bool OnCanDownloadMIMEType(std::string_view /*mimeType*/) { return false; }

private:
    void SendHeld();

    std::unique_ptr<WebViewBackend> mBackend;
    bool mHolding = false;
    std::string mHeld;
    bool mOpaque = true;
    bool mDeveloperTools = false;
};

} // namespace plugfw
