// libFuzzer target: the plug-in's handling of page input. The first byte
// chooses the road: a posted JSON text through the framework dispatch, or the
// bytes of a product message of one of the page's tags. Links are never
// really opened and the data folder is a private temporary folder.
#include "editor_messages/product_message_tags.h"
#include "editor_messages/web_link.h"
#include "framework/iweb_view.h"
#include "plugin/ostrel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace
{

class DroppingWebView : public plugfw::WebViewBackend
{
public:
    void EvaluateScript(const std::string&) override {}
};

void IgnoreLink(const std::string&) {}

ostrel::Ostrel& Instance()
{
    static ostrel::Ostrel* instance = []
    {
        const auto folder =
            std::filesystem::temp_directory_path() / ("ostrel-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        ostrel::setWebLinkOpenerForTesting(&IgnoreLink);
        auto* p = new ostrel::Ostrel();
        p->AttachWebViewBackend(std::make_unique<DroppingWebView>());
        p->ContentLoaded();
        return p;
    }();
    return *instance;
}

constexpr int kTags[] = {
    ostrel::kTagParameter,    ostrel::kTagFocus,    ostrel::kTagSavePresets,
    ostrel::kTagSetOnboarded, ostrel::kTagHostKeys, ostrel::kTagSolo,
    ostrel::kTagMatrixEdit,   ostrel::kTagOpenLink, ostrel::kTagPreset,
    ostrel::kTagCompare,      ostrel::kTagResize,   ostrel::kTagLinkPreference};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::Ostrel& p = Instance();
    if (size == 0)
        return 0;
    const uint8_t road = data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const int count = static_cast<int>(size - 1);
    if (road < 64)
        p.HandlePageMessage(std::string_view(bytes, static_cast<size_t>(count)));
    else if (road < 250)
        p.OnEditorMessage(kTags[road % std::size(kTags)], 0, count, count > 0 ? bytes : nullptr);
    else
        p.OnEditorMessage(static_cast<int8_t>(road), road, count, bytes);
    // Let the instance act on what the input left (requests, gestures, refresh).
    p.IdleTick();
    return 0;
}
