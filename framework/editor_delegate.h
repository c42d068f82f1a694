// plugfw::IEditorDelegate: the editor-facing side of a plug-in object. It
// owns the parameter objects (one per configured parameter, in index order)
// and declares the hooks through which the editor page and the plug-in talk.
// Every hook does nothing by default; the web-view delegate, the VST 3 layer
// and the plug-in class override what they provide.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace plugfw
{

class IParam;

// A key event forwarded to the editor (from the page or from the host).
struct KeyPress
{
    int32_t keyCode = 0; // Windows virtual-key numbering
    char utf8[5] = {};   // up to 4 bytes of UTF-8 and a terminating zero
    bool shift = false;
    bool control = false;
    bool alt = false;
};

struct MidiMsg
{
    int32_t offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// A system-exclusive message (520 bytes with its offset and size).
struct SysExData
{
    static constexpr int kMaxBytes = 512;
    int32_t offset = 0;
    int32_t size = 0;
    uint8_t data[kMaxBytes] = {};
};

class IEditorDelegate
{
public:
    explicit IEditorDelegate(int nParams);
    virtual ~IEditorDelegate();

    IEditorDelegate(const IEditorDelegate&) = delete;
    IEditorDelegate& operator=(const IEditorDelegate&) = delete;

    int NParams() const { return static_cast<int>(mParams.size()); }
    IParam* GetParam(int paramIdx) const;

    // Page -> plug-in.
    virtual void SetParamFromEditor(int /*paramIdx*/, double /*normalisedValue*/) {}
    virtual void BeginHostEdit(int /*paramIdx*/) {}
    virtual void EndHostEdit(int /*paramIdx*/) {}
    virtual bool OnEditorMessage(int /*msgTag*/, int /*ctrlTag*/, int /*dataSize*/,
                                 const void* /*data*/)
    {
        return false;
    }
    virtual bool KeyDown(const KeyPress& /*key*/) { return false; }
    virtual bool KeyUp(const KeyPress& /*key*/) { return true; }

    // Plug-in -> page.
    virtual void SendParamValueToPage(int /*paramIdx*/, double /*value*/, bool /*isNormalised*/) {}
    virtual void SendArbitraryMsgToPage(int /*msgTag*/, int /*dataSize*/, const void* /*data*/) {}
    // Every parameter's normalised value, in index order.
    void SendAllParamValuesToPage();

    // Editor life.
    virtual void EditorOpened() {}
    virtual void EditorClosed() {}
    // Editor-side reaction to a parameter change (empty in this product).
    virtual void OnParamChangeUI(int /*paramIdx*/) {}
    // Messages that the processing side sent to the editor (main thread).
    virtual void OnMidiMsgUI(const MidiMsg& /*msg*/) {}
    virtual void OnSysexMsgUI(const SysExData& /*msg*/) {}

protected:
    std::vector<std::unique_ptr<IParam>> mParams;
};

} // namespace plugfw
