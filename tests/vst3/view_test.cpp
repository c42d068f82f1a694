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

TEST_F(EditorView, OpensAtItsDesignSizeAndMayBeResized)
{
    ViewRect r;
    ASSERT_EQ(view->getSize(&r), kResultTrue);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.getWidth(), 1084);
    EXPECT_EQ(r.getHeight(), 543);
    EXPECT_EQ(view->canResize(), kResultTrue);
}

// The allowed size nearest to what the host asks: the design's proportions
// (1084 x 543) within 361..3252 x 181..1629 logical pixels, times the
// content scale.
struct SizeCase
{
    float scale;
    int32 width, height;
    int32 allowedWidth, allowedHeight;
};

class EditorSizes : public EditorView, public ::testing::WithParamInterface<SizeCase>
{
};

TEST_P(EditorSizes, SizeConstraintAnswersTheNearestAllowedSize)
{
    const SizeCase& c = GetParam();
    FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
    ASSERT_EQ(scale->setContentScaleFactor(c.scale), kResultTrue);
    ViewRect r(10, 20, 10 + c.width, 20 + c.height);
    ASSERT_EQ(view->checkSizeConstraint(&r), kResultTrue);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.getWidth(), c.allowedWidth);
    EXPECT_EQ(r.getHeight(), c.allowedHeight);
    // What the constraint answered is itself allowed.
    ViewRect again = r;
    view->checkSizeConstraint(&again);
    EXPECT_EQ(again.getWidth(), r.getWidth());
    EXPECT_EQ(again.getHeight(), r.getHeight());
}

TEST_P(EditorSizes, OnSizeTakesTheHostsSizeAndKeepsTheNearestAllowedOne)
{
    const SizeCase& c = GetParam();
    FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
    ASSERT_EQ(scale->setContentScaleFactor(c.scale), kResultTrue);
    ViewRect asked(0, 0, c.width, c.height);
    EXPECT_EQ(view->onSize(&asked), kResultTrue);
    ViewRect r;
    ASSERT_EQ(view->getSize(&r), kResultTrue);
    EXPECT_EQ(r.getWidth(), c.allowedWidth);
    EXPECT_EQ(r.getHeight(), c.allowedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, EditorSizes,
    ::testing::Values(SizeCase{1.0f, 1084, 543, 1084, 543}, SizeCase{1.0f, 2168, 1086, 2168, 1086},
                      SizeCase{1.0f, 1500, 700, 1479, 741}, SizeCase{1.0f, 1084, 900, 1227, 615},
                      SizeCase{1.0f, 800, 400, 800, 401}, SizeCase{1.0f, 100, 100, 361, 181},
                      SizeCase{1.0f, 0, 0, 361, 181}, SizeCase{1.0f, 9000, 9000, 3252, 1629},
                      SizeCase{2.0f, 100, 100, 722, 362}, SizeCase{2.0f, 2168, 1086, 2168, 1086},
                      SizeCase{2.0f, 9000, 9000, 6504, 3258}));

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
