// libFuzzer target: arbitrary posted texts through the framework dispatch.
// Nothing may throw, crash or read out of bounds; whatever reaches the
// arbitrary-message hook is also run through the product's text readers.
#include "editor_messages/message_text_reader.h"
#include "framework/web_view_editor_delegate.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace
{

class FuzzDelegate : public plugfw::WebViewEditorDelegate
{
public:
    FuzzDelegate() : WebViewEditorDelegate(27) {}

    bool OnEditorMessage(int, int, int size, const void* data) override
    {
        const ostrel::MessageText text(data, size);
        sink += text.Integer("paramIdx").value_or(0);
        sink += static_cast<int>(text.Real("v").value_or(0.0) != 0.0);
        sink += static_cast<int>(text.QuotedText("gesture").size());
        sink += static_cast<int>(text.EscapedString("url").size());
        sink += text.Has("depth") ? 1 : 0;
        return true;
    }

    int sink = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzDelegate delegate;
    delegate.HandlePageMessage(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
