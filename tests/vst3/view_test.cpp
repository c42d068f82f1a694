// The editor view: creation, platform type, size rules, attach and detach,
// and the idle timer moving onto the frame's run loop while attached.
#include "bundle_fixture.h"

#include "tools/render/host/plug_frame.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

class EditorView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view = plugin->Controller()->createView("editor");
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override
    {
        if (view)
            view->release();
    }

    Instance plugin;
    IPlugView* view = nullptr;
};

TEST_F(EditorView, OnlyTheEditorViewExists)
{
    EXPECT_EQ(plugin->Controller()->createView("parameters"), nullptr);
    EXPECT_EQ(plugin->Controller()->createView(""), nullptr);
}

TEST_F(EditorView, EmbedsInX11WindowsOnly)
{
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x400001), kPlatformTypeHWND), kResultFalse);
}

TEST_F(EditorView, HasItsFixedSize)
{
    ViewRect r;
    ASSERT_EQ(view->getSize(&r), kResultTrue);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.getWidth(), 1084);
    EXPECT_EQ(r.getHeight(), 543);
    EXPECT_EQ(view->canResize(), kResultFalse);
    ViewRect same(0, 0, 1084, 543);
    EXPECT_EQ(view->onSize(&same), kResultTrue);
    ViewRect other(0, 0, 800, 400);
    EXPECT_EQ(view->onSize(&other), kResultFalse);
}

TEST_F(EditorView, SizeConstraintClampsToTheBounds)
{
    ViewRect small(10, 20, 110, 120);
    ASSERT_EQ(view->checkSizeConstraint(&small), kResultTrue);
    EXPECT_EQ(small.left, 10);
    EXPECT_EQ(small.top, 20);
    EXPECT_EQ(small.getWidth(), 361);
    EXPECT_EQ(small.getHeight(), 181);
    ViewRect big(0, 0, 5000, 5000);
    view->checkSizeConstraint(&big);
    EXPECT_EQ(big.getWidth(), 3252);
    EXPECT_EQ(big.getHeight(), 1629);
    ViewRect fine(0, 0, 1500, 700);
    view->checkSizeConstraint(&fine);
    EXPECT_EQ(fine.getWidth(), 1500);
    EXPECT_EQ(fine.getHeight(), 700);
}

TEST_F(EditorView, ContentScaleResizesThroughTheFrame)
{
    host::PlugFrame frame;
    view->setFrame(&frame);
    FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
    ASSERT_TRUE(scale);
    ASSERT_EQ(scale->setContentScaleFactor(2.0f), kResultTrue);
    EXPECT_EQ(frame.resizeRequests, 1);
    EXPECT_EQ(frame.lastRequest.getWidth(), 2168);
    EXPECT_EQ(frame.lastRequest.getHeight(), 1086);
    ViewRect r;
    view->getSize(&r);
    EXPECT_EQ(r.getWidth(), 2168);
    EXPECT_EQ(r.getHeight(), 1086);
    view->setFrame(nullptr);
}

TEST_F(EditorView, AttachMovesTheTimerToTheFrameAndDetachGivesItBack)
{
    host::PlugFrame frame;
    host::HostRunLoop& contextLoop = plugin.Context().RunLoop();
    ASSERT_EQ(contextLoop.TimerCount(), 1u);
    ASSERT_EQ(view->setFrame(&frame), kResultTrue);
    // No display is needed: the editor area may stay empty, the attach works.
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(0x400001), kPlatformTypeX11EmbedWindowID),
              kResultTrue);
    EXPECT_EQ(frame.RunLoop().TimerCount(), 1u);
    EXPECT_EQ(contextLoop.TimerCount(), 0u);
    frame.RunLoop().Advance(100.0);
    EXPECT_EQ(frame.RunLoop().TimerFirings(), 5);

    ASSERT_EQ(view->removed(), kResultTrue);
    EXPECT_EQ(frame.RunLoop().TimerCount(), 0u);
    EXPECT_EQ(contextLoop.TimerCount(), 1u);
    view->setFrame(nullptr);
}

TEST(EditorViewLifetime, ViewMayOutliveTheHostsHoldOnThePlugin)
{
    // Some hosts terminate and release the plug-in before the view; the view
    // keeps the instance alive until it goes itself.
    auto plugin = std::make_unique<Instance>();
    IPlugView* view = (*plugin)->Controller()->createView("editor");
    ASSERT_NE(view, nullptr);
    host::PlugFrame frame;
    view->setFrame(&frame);
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(0x400001), kPlatformTypeX11EmbedWindowID),
              kResultTrue);
    EXPECT_EQ(view->removed(), kResultTrue);
    plugin.reset();
    ViewRect r;
    EXPECT_EQ(view->getSize(&r), kResultTrue);
    EXPECT_EQ(r.getWidth(), 1084);
    view->setFrame(nullptr);
    view->release();
}

} // namespace
} // namespace ostrel::test
