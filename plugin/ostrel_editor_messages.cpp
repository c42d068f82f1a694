// The page's side of the plug-in object: the product messages the page sends
// (parameter gestures, focus, presets, first-run flag, host keys, solo,
// matrix edits, links, editor size), the page-loaded hook and key
// forwarding. Main thread.
#include "plugin/ostrel.h"

#include "editor_messages/message_text_reader.h"
#include "editor_messages/product_message_tags.h"
#include "editor_messages/web_link.h"
#include "framework/iparam.h"
#include "framework/page_script.h"
#include "link/link_matrix.h"
#include "storage/user_files.h"

#include <string_view>

namespace ostrel
{

namespace
{

// Windows virtual-key codes the page's key handler knows by name.
constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;
constexpr int kKeyDelete = 46;

// Special codes of window.__hk.
constexpr int kSpecialEnter = 1;
constexpr int kSpecialDelete = 2;
constexpr int kSpecialEscape = 3;

} // namespace

bool Ostrel::OnEditorMessage(int msgTag, int /*ctrlTag*/, int dataSize, const void* data)
{
    const bool hasBytes = dataSize > 0 && data != nullptr;
    // Every message of the page comes from something the user did in it.
    mPage.UserActed();
    switch (msgTag)
    {
    case kTagParameter:
        if (hasBytes)
            ParameterFromPage(MessageText(data, dataSize));
        break;
    case kTagFocus:
        FocusWebView();
        break;
    case kTagSavePresets:
        // Written after the tick, outside the instance's lock.
        if (hasBytes)
            mFiles.QueueWrite(kPresetsFileName, std::string(static_cast<const char*>(data),
                                                            static_cast<size_t>(dataSize)));
        break;
    case kTagSetOnboarded:
        mFiles.QueueWrite(kOnboardedFileName, "1");
        break;
    case kTagHostKeys:
        // The page asks for the keys while a text field is being edited, and
        // only then: the keyboard goes to the page and comes back when the
        // field is done, so the host's transport keys work the rest of the time.
        mPage.ForwardKeys(hasBytes && static_cast<const char*>(data)[0] == '1');
        if (mPage.KeysForwarded())
            FocusWebView();
        else
            ReleaseWebViewFocus();
        break;
    case kTagSolo:
        if (hasBytes)
            setSolo(IdleRegistry(), MessageText(data, dataSize).Integer("ch").value_or(-1));
        break;
    case kTagMatrixEdit:
        if (hasBytes)
            MatrixEditFromPage(MessageText(data, dataSize));
        break;
    case kTagLinkPreference:
        if (hasBytes)
            LinkPreferenceFromPage(MessageText(data, dataSize).EscapedString("link"));
        break;
    case kTagOpenLink:
        if (hasBytes)
            OpenWebLink(MessageText(data, dataSize).EscapedString("url"));
        break;
    case kTagPreset:
        if (hasBytes)
            PresetFromPage(MessageText(data, dataSize));
        break;
    case kTagCompare:
        if (hasBytes)
            CompareFromPage(MessageText(data, dataSize));
        break;
    case kTagResize:
        if (hasBytes)
        {
            const MessageText text(data, dataSize);
            const std::optional<int> w = text.Integer("w");
            const std::optional<int> h = text.Integer("h");
            if (w && h)
                RequestEditorSize(*w, *h);
        }
        break;
    default:
        break;
    }
    return true;
}

void Ostrel::ParameterFromPage(const MessageText& text)
{
    const int index = text.Integer("paramIdx").value_or(-1);
    if (index < 0 || index >= kNumParams)
        return;
    plugfw::IParam& param = *GetParam(index);
    const std::optional<double> value = text.Real("value");
    const double normalised = param.ToNormalised(value ? *value : param.Value());
    const std::string gesture = text.QuotedText("gesture");
    const bool open = mGestures.Held(GestureHolder::Page, index);

    auto setAndEcho = [&]
    {
        SetParamFromEditor(index, normalised);
        SendParamValueToPage(index, normalised, true);
    };

    if (gesture == "end")
    {
        if (value)
            setAndEcho();
        if (mGestures.Close(GestureHolder::Page, index))
            ReleaseHostGesture(index);
    }
    else if (!gesture.empty())
    {
        // "begin", or any other word: the page is holding the control.
        if (!open)
            BeginHostEdit(index);
        mGestures.Open(GestureHolder::Page, index);
        if (value)
            setAndEcho();
    }
    else if (!open)
    {
        // A complete one-step edit.
        BeginHostEdit(index);
        SetParamFromEditor(index, normalised);
        EndHostEdit(index);
        SendParamValueToPage(index, normalised, true);
    }
    else
    {
        setAndEcho();
        mGestures.Touch(GestureHolder::Page, index);
    }
}

void Ostrel::MatrixEditFromPage(const MessageText& text)
{
    const int channel = text.Integer("ch").value_or(-1);
    const double v = text.Real("v").value_or(0.0);
    if (channel < 1 || channel > kPeerSlotCount)
        return;
    // A drag on a depth slider: "end" with its last value, any other word
    // while it lasts.
    const std::string gesture = text.QuotedText("gesture");
    const RequestGesture phase = gesture.empty()    ? RequestGesture::Single
                                 : gesture == "end" ? RequestGesture::Ended
                                                    : RequestGesture::Held;
    if (text.Has("depth"))
        applyMatrixEdit(IdleRegistry(), channel, v, MatrixEdit::Depth, phase);
    else if (text.Has("pri"))
        applyMatrixEdit(IdleRegistry(), channel, v, MatrixEdit::Priority);
    else if (text.Has("mute"))
        applyMatrixEdit(IdleRegistry(), channel, v, MatrixEdit::Mute);
}

void Ostrel::ContentLoaded()
{
    mPage.Loaded();
    mFiles.WantPageFiles();
    WebViewEditorDelegate::ContentLoaded();
}

bool Ostrel::KeyDown(const plugfw::KeyPress& key)
{
    if (!mPage.KeysForwarded())
        return false;
    int charCode = 0;
    int specialCode = 0;
    switch (key.keyCode)
    {
    case kKeyBackspace:
    case kKeyDelete:
        specialCode = kSpecialDelete;
        break;
    case kKeyEnter:
        specialCode = kSpecialEnter;
        break;
    case kKeyEscape:
        specialCode = kSpecialEscape;
        break;
    default:
        charCode = static_cast<unsigned char>(key.utf8[0]);
        break;
    }
    EvaluateScript(plugfw::HostKeyScript(charCode, specialCode));
    return true;
}

} // namespace ostrel
