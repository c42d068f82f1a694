// The plug-in's editor window hooks with no helper beside the "module" (here
// the test program): attaching succeeds, the editor area stays empty, and
// nothing else of the instance is disturbed.
#include "plugin/ostrel.h"
#include "vst3/vst3_view.h"
#include "webview/helper_connection.h"
#include "webview/helper_web_view.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace
{

namespace fs = std::filesystem;
using namespace Steinberg;

class EditorWindowWithoutHelper : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No helper may sit beside this program for the test to mean anything.
        const fs::path self = fs::read_symlink("/proc/self/exe");
        if (fs::exists(self.parent_path() / plugfw::kWebViewHelperName))
            GTEST_SKIP() << "a helper sits beside the test program";
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfigHome = old != nullptr;
        savedConfigHome = old != nullptr ? old : "";
        configHome =
            fs::temp_directory_path() / ("ostrel-editor-window-" + std::to_string(getpid()));
        fs::create_directories(configHome);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    }
    void TearDown() override
    {
        if (configHome.empty())
            return;
        if (hadConfigHome)
            setenv("XDG_CONFIG_HOME", savedConfigHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(configHome);
    }

    fs::path configHome;
    std::string savedConfigHome;
    bool hadConfigHome = false;
};

TEST_F(EditorWindowWithoutHelper, AttachLeavesTheEditorEmptyAndQuiet)
{
    auto* plugin = new ostrel::Ostrel();
    IPlugView* view = plugin->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x2a00007), kPlatformTypeX11EmbedWindowID),
              kResultTrue);
    EXPECT_FALSE(plugin->HasWebView());
    EXPECT_FALSE(plugin->Page().IsOpen());

    // Scripts, scale changes and polls find no browser and change nothing.
    plugin->SendAllParamValuesToPage();
    plugin->SetEditorScale(1.5f);
    plugin->PollWebView();
    EXPECT_EQ(plugfw::PendingWebViewHelpers(), 0);

    EXPECT_EQ(view->removed(), kResultTrue);
    EXPECT_FALSE(plugin->HasWebView());
    view->release();
    plugin->release();
}

} // namespace
