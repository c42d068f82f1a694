// The page's resize corner: its request reaches the host through the view's
// frame as the allowed size nearest to it, and the web view follows the
// size the host then gives the view.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"

#include "pluginterfaces/gui/iplugview.h"

#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using namespace Steinberg;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;

// A host frame that grants every request by resizing the view at once, as
// most hosts do from inside resizeView.
class GrantingFrame : public IPlugFrame
{
public:
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override
    {
        requests.push_back(*newSize);
        return grant ? view->onSize(newSize) : kResultFalse;
    }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    std::vector<ViewRect> requests;
    bool grant = true;
};

class EditorResize : public OstrelPageTest
{
protected:
    void SetUp() override
    {
        OstrelPageTest::SetUp();
        plugin = &NewInstance();
        view = plugin->createView("editor");
        ASSERT_NE(view, nullptr);
        view->setFrame(&frame);
    }
    void TearDown() override
    {
        view->setFrame(nullptr);
        view->release();
        OstrelPageTest::TearDown();
    }
    std::pair<int32, int32> ViewSize()
    {
        ViewRect r;
        view->getSize(&r);
        return {r.getWidth(), r.getHeight()};
    }

    RecordingOstrel* plugin = nullptr;
    IPlugView* view = nullptr;
    GrantingFrame frame;
};

struct RequestCase
{
    const char* text;
    int requests;
    std::pair<int32, int32> size; // the view's size afterwards
};

class EditorResizeRequests : public EditorResize, public ::testing::WithParamInterface<RequestCase>
{
};

TEST_P(EditorResizeRequests, ThePageAsksTheHostForTheNearestAllowedSize)
{
    const RequestCase& c = GetParam();
    plugin->Message(kTagResize, c.text);
    ASSERT_EQ(static_cast<int>(frame.requests.size()), c.requests) << c.text;
    if (c.requests > 0)
    {
        EXPECT_EQ(frame.requests[0].getWidth(), c.size.first);
        EXPECT_EQ(frame.requests[0].getHeight(), c.size.second);
    }
    EXPECT_EQ(ViewSize(), c.size) << c.text;
    EXPECT_EQ(plugin->EditorWidth(), c.size.first);
}

INSTANTIATE_TEST_SUITE_P(Texts, EditorResizeRequests,
                         ::testing::Values(RequestCase{R"({"w":1626,"h":815})", 1, {1626, 815}},
                                           RequestCase{R"({"w":1500,"h":700})", 1, {1479, 741}},
                                           RequestCase{R"({"w":99999,"h":99999})", 1, {3252, 1629}},
                                           RequestCase{R"({"w":1,"h":1})", 1, {361, 181}},
                                           // The size it has already: nothing to ask.
                                           RequestCase{R"({"w":1084,"h":543})", 0, {1084, 543}},
                                           RequestCase{R"({"w":1626})", 0, {1084, 543}},
                                           RequestCase{R"({"h":815})", 0, {1084, 543}},
                                           RequestCase{"", 0, {1084, 543}}));

TEST_F(EditorResize, AHostThatRefusesLeavesTheSizeAlone)
{
    frame.grant = false;
    plugin->Message(kTagResize, R"({"w":1626,"h":815})");
    EXPECT_EQ(frame.requests.size(), 1u);
    EXPECT_EQ(ViewSize(), std::make_pair(1084, 543));
    view->setFrame(nullptr);
    plugin->Message(kTagResize, R"({"w":2168,"h":1086})");
    EXPECT_EQ(frame.requests.size(), 1u) << "no frame, nobody to ask";
}

TEST_F(EditorResize, ASizeTheConstraintWouldChangeLeavesTheViewAtTheSizeItReports)
{
    auto& web = plugin->OpenEditor();
    ViewRect r(0, 0, 1300, 700); // not of the design's proportions: a host that did not ask
    ASSERT_EQ(view->onSize(&r), kResultTrue);
    ViewRect checked(0, 0, 1300, 700);
    view->checkSizeConstraint(&checked);
    ViewRect reported;
    view->getSize(&reported);
    EXPECT_EQ(reported.getWidth(), checked.getWidth());
    EXPECT_EQ(reported.getHeight(), checked.getHeight());
    ASSERT_FALSE(web.bounds.empty());
    EXPECT_EQ(web.bounds.back(), "0 0 1320 661");
    EXPECT_EQ(ViewSize(), std::make_pair(1320, 661));
}

} // namespace
