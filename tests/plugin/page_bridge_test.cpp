// What the instance keeps of its page: the editor's life (open, refresh,
// keys), what the page already has, and the pace of the reports.
#include "plugin/page_bridge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using ostrel::PageBridge;

struct LifeCase
{
    const char* label;
    std::vector<std::string> steps; // open, close, load, keys, nokeys, refresh, refreshed
    bool open;
    bool refreshDue;
    bool keys;
};

class PageLife : public ::testing::TestWithParam<LifeCase>
{
};

TEST_P(PageLife, StepsLeaveTheBridgeAsExpected)
{
    const LifeCase& c = GetParam();
    PageBridge page;
    for (const std::string& step : c.steps)
    {
        if (step == "open")
            page.Opened();
        else if (step == "close")
            page.Closed();
        else if (step == "load")
            page.Loaded();
        else if (step == "keys" || step == "nokeys")
            page.ForwardKeys(step == "keys");
        else if (step == "refresh")
            page.WantRefresh();
        else if (step == "refreshed")
            page.Refreshed();
    }
    EXPECT_EQ(page.IsOpen(), c.open);
    EXPECT_EQ(page.RefreshDue(), c.refreshDue);
    EXPECT_EQ(page.KeysForwarded(), c.keys);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PageLife,
    ::testing::Values(
        LifeCase{"new", {}, false, false, false},
        LifeCase{"opened_wants_a_refresh", {"open"}, true, true, false},
        LifeCase{"refreshed", {"open", "refreshed"}, true, false, false},
        LifeCase{"keys_asked_for", {"open", "keys"}, true, true, true},
        LifeCase{"keys_given_back", {"open", "keys", "nokeys"}, true, true, false},
        LifeCase{
            "reopening_takes_the_keys_back", {"open", "keys", "load", "open"}, true, true, false},
        LifeCase{"closing_takes_the_keys_back",
                 {"open", "refreshed", "keys", "close"},
                 false,
                 false,
                 false},
        LifeCase{"reset_while_closed", {"refresh"}, false, true, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PageBridge, EachReportIsNewsOnceUntilANewPage)
{
    PageBridge page;
    using R = PageBridge::Report;
    EXPECT_TRUE(page.IsNews(R::Meters, "m1"));
    EXPECT_FALSE(page.IsNews(R::Meters, "m1"));
    EXPECT_TRUE(page.IsNews(R::Matrix, "m1")) << "each report has its own last text";
    EXPECT_TRUE(page.IsNews(R::Meters, "m2"));
    page.Opened();
    EXPECT_TRUE(page.IsNews(R::Meters, "m2"));
    EXPECT_TRUE(page.IsNews(R::Matrix, "m1"));
}

TEST(PageBridge, TheHeaderIsSentAgainToALoadedOrReopenedPage)
{
    PageBridge page;
    ostrel::SettingsView view;
    view.presetName = "Air";
    EXPECT_TRUE(page.IsNews(view));
    EXPECT_FALSE(page.IsNews(view));
    page.Loaded();
    EXPECT_TRUE(page.IsNews(view));
    page.Closed();
    EXPECT_TRUE(page.IsNews(view));
    view.modified = true;
    EXPECT_TRUE(page.IsNews(view));
}

// Over 40 ticks: 'm' meters only, 'b' meters and slow reports, '.' nothing.
std::string Pace(PageBridge& page)
{
    std::string out;
    for (int i = 0; i < 40; ++i)
    {
        page.Tick();
        EXPECT_FALSE(page.SlowReportsDue() && !page.MetersDue()) << "reports ride on meters";
        out += page.SlowReportsDue() ? 'b' : page.MetersDue() ? 'm' : '.';
    }
    return out;
}

constexpr const char* kFrontPace = "b....m....b....m....b....m....b....m....";
constexpr const char* kBehindPace = "b...................b...................";

TEST(PageBridge, MetersEveryFifthTickAndTheSlowReportsWithEverySecondOfThem)
{
    PageBridge page;
    page.Opened();
    EXPECT_EQ(Pace(page), kFrontPace);
    page.Opened();
    EXPECT_EQ(Pace(page), kFrontPace) << "a new page gets everything at once";
}

TEST(PageBridge, APageBehindAnotherEditorGetsEverythingAtAQuarterOfThePace)
{
    PageBridge first;
    PageBridge second;
    first.Opened();
    second.Opened();
    EXPECT_EQ(Pace(first), kBehindPace) << "the other opened since";
    EXPECT_EQ(Pace(second), kFrontPace);
    first.UserActed();
    EXPECT_EQ(Pace(first), kFrontPace);
    EXPECT_EQ(Pace(second), kBehindPace);
    first.Closed();
    EXPECT_EQ(Pace(second), kFrontPace) << "alone again";
}

TEST(PageBridge, PresetsAreDueWhenTheFilesGenerationMoves)
{
    PageBridge page;
    page.NotePresetsGeneration(0);
    EXPECT_FALSE(page.PresetsDue());
    page.NotePresetsGeneration(3);
    EXPECT_TRUE(page.PresetsDue());
    EXPECT_EQ(page.PresetsGenerationSeen(), 3u);
    page.Refreshed();
    page.NotePresetsGeneration(3);
    EXPECT_FALSE(page.PresetsDue());
}

} // namespace
