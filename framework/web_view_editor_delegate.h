// plugfw::WebViewEditorDelegate: the editor delegate whose page lives in a
// web view. It turns page messages into framework calls and formats the
// scripts that carry values and messages back to the page. Main thread only.
#pragma once

#include "framework/editor_delegate.h"
#include "framework/iweb_view.h"

#include <string>
#include <string_view>
#include <vector>

namespace plugfw
{

class WebViewEditorDelegate : public IEditorDelegate, public IWebView
{
public:
    explicit WebViewEditorDelegate(int nParams);
    ~WebViewEditorDelegate() override;

    // Page -> plug-in: one posted JSON object. Anything malformed (not JSON,
    // not an object, a member missing or of the wrong type, an index outside
    // the parameters) is ignored; nothing escapes from here.
    void HandlePageMessage(std::string_view jsonText) noexcept;

    // The "SAMFUI" road: hands the bytes to OnEditorMessage.
    void ArbitraryMsgFromEditor(int msgTag, int ctrlTag, int dataSize, const void* data);

    // The page has loaded: sends the "params" message (tag -1), then runs
    // EditorOpened.
    virtual void ContentLoaded();
    // The "params" message text: every parameter's description with its
    // step, unit and the value texts the page shows, as the JSON library
    // writes it (members sorted, no spaces).
    std::string ParamsMessage() const;
    // The texts the page shows for a parameter's values min, min + 1, ...;
    // none: the page shows numbers (and its own texts for a switch).
    virtual std::vector<std::string> PageValueTexts(int /*paramIdx*/) const { return {}; }

    // Plug-in -> page.
    void SendParamValueToPage(int paramIdx, double value, bool isNormalised) override;
    void SendArbitraryMsgToPage(int msgTag, int dataSize, const void* data) override;
    virtual void SendControlValueToPage(int ctrlTag, double normalisedValue);
    virtual void SendControlMsgToPage(int ctrlTag, int msgTag, int dataSize, const void* data);
    virtual void SendMidiMsgToPage(const MidiMsg& msg);

    // Web view events.
    void OnWebContentLoaded() override { ContentLoaded(); }
    void OnWebMessage(std::string_view json) override { HandlePageMessage(json); }
};

} // namespace plugfw
