// plugfw::IWebView: the embedded browser that shows the editor page. The
// portable part formats nothing itself; it forwards scripts to a platform
// back end (on Linux a helper process) and reports page events to its owner.
#pragma once

namespace plugfw
{

class IWebView
{
public:
    virtual ~IWebView() = default;

    // Runs a script in the page; dropped when no web view exists.
    virtual void EvaluateScript(const char* /*utf8Script*/) {}
};

} // namespace plugfw
