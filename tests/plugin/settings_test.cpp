// The user's settings as a whole, through the plug-in's VST 3 side: a preset
// from the page and a switch between the settings slots A and B are one edit
// in the host (one group where the host's handler groups edits, else one
// complete gesture per parameter), and the preset's name, its modified mark
// and the slots live in the host's state.
#include "plugin/editor_page_fixture.h"

#include "editor_messages/product_message_tags.h"
#include "tools/render/host/component_handler.h"
#include "tools/render/host/host_context.h"

#include "public.sdk/source/common/memorystream.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using namespace Steinberg;
using ostrel_test::OstrelPageTest;
using ostrel_test::RecordingOstrel;
using Strings = std::vector<std::string>;
using Call = ostrel::host::ComponentHandler::Call;

// What the host's handler heard, as short texts: "group{", "begin 2",
// "perform 2 0.400000", "end 2", "}group", "dirty".
Strings Heard(const ostrel::host::ComponentHandler& handler)
{
    Strings out;
    for (const auto& r : handler.Records())
    {
        char text[64];
        switch (r.call)
        {
        case Call::Begin:
            std::snprintf(text, sizeof(text), "begin %u", r.id);
            break;
        case Call::Perform:
            std::snprintf(text, sizeof(text), "perform %u %f", r.id, r.value);
            break;
        case Call::End:
            std::snprintf(text, sizeof(text), "end %u", r.id);
            break;
        case Call::Restart:
            std::snprintf(text, sizeof(text), "restart %u", r.id);
            break;
        case Call::GroupStart:
            std::snprintf(text, sizeof(text), "group{");
            break;
        case Call::GroupFinish:
            std::snprintf(text, sizeof(text), "}group");
            break;
        case Call::Dirty:
            std::snprintf(text, sizeof(text), "dirty");
            break;
        }
        out.emplace_back(text);
    }
    return out;
}

struct Edit
{
    int id;
    double normalised;
};

// One edit of several parameters as the host should hear it.
Strings OneEdit(bool groups, const std::vector<Edit>& edits)
{
    Strings out;
    auto add = [&](const char* what, const Edit& e)
    {
        char text[64];
        if (std::string(what) == "perform")
            std::snprintf(text, sizeof(text), "perform %d %f", e.id, e.normalised);
        else
            std::snprintf(text, sizeof(text), "%s %d", what, e.id);
        out.emplace_back(text);
    };
    if (edits.empty())
        return out;
    if (!groups)
    {
        for (const Edit& e : edits)
        {
            add("begin", e);
            add("perform", e);
            add("end", e);
        }
        return out;
    }
    out.emplace_back("group{");
    for (const char* what : {"begin", "perform", "end"})
        for (const Edit& e : edits)
            add(what, e);
    out.emplace_back("}group");
    return out;
}

std::string Preset(const std::string& name, const std::string& values)
{
    return R"({"values":[)" + values + R"(],"preset":")" + name + R"("})";
}

class Settings : public OstrelPageTest, public ::testing::WithParamInterface<bool>
{
protected:
    bool Groups() const { return GetParam(); }

    // An instance as a host makes it (with a run loop that only the test
    // moves on), its handler grouping edits or not, its editor open and
    // refreshed.
    RecordingOstrel& Plugin()
    {
        contexts.push_back(std::make_unique<ostrel::host::HostContext>("tests", true));
        handlers.push_back(std::make_unique<ostrel::host::ComponentHandler>(Groups()));
        RecordingOstrel& p = NewInstance();
        EXPECT_EQ(p.initialize(contexts.back().get()), kResultOk);
        p.setComponentHandler(handlers.back().get());
        p.OpenEditor();
        p.Ticks(1);
        handlers.back()->ClearRecords();
        return p;
    }
    ostrel::host::ComponentHandler& Handler() { return *handlers.back(); }

    // What the page's header shows after the next tick.
    static nlohmann::json Shown(RecordingOstrel& p)
    {
        p.web->scripts.clear();
        p.ContentLoaded(); // the next tick sends the settings whatever they were
        p.Ticks(1);
        const auto messages = p.web->MessagesWithTag(kTagSettings);
        EXPECT_EQ(messages.size(), 1u);
        return messages.empty() ? nlohmann::json() : nlohmann::json::parse(messages.back().text);
    }

    static std::vector<uint8_t> GetState(RecordingOstrel& p)
    {
        IPtr<MemoryStream> stream = owned(new MemoryStream);
        EXPECT_EQ(p.getState(stream), kResultOk);
        const auto* data = reinterpret_cast<const uint8_t*>(stream->getData());
        return std::vector<uint8_t>(data, data + stream->getSize());
    }
    static tresult SetState(RecordingOstrel& p, std::vector<uint8_t> bytes)
    {
        IPtr<MemoryStream> stream =
            owned(new MemoryStream(bytes.data(), static_cast<TSize>(bytes.size())));
        return p.setState(stream);
    }

    // Destroyed after the instances (TearDown).
    std::vector<std::unique_ptr<ostrel::host::HostContext>> contexts;
    std::vector<std::unique_ptr<ostrel::host::ComponentHandler>> handlers;
};

struct ActionCase
{
    const char* label;
    std::function<void(RecordingOstrel&)> before; // what the user did earlier
    std::function<void(RecordingOstrel&)> action;
    std::vector<Edit> heard; // the one edit the action is for the host
};

const ActionCase kActions[] = {
    {"preset_of_three_sound_values_ignoring_role_and_listen",
     [](RecordingOstrel&) {},
     [](RecordingOstrel& p)
     { p.Message(kTagPreset, Preset("Lead", "2,40,4,25,26,3,5,1,0,2,6,80")); },
     {{2, 0.4}, {4, 0.25}, {6, 0.5}, {26, 2.0 / 7.0}}},
    {"preset_equal_to_the_settings",
     [](RecordingOstrel&) {},
     [](RecordingOstrel& p) { p.Message(kTagPreset, Preset("Same", "2,0,4,11")); },
     {}},
    {"switch_back_to_a_slot_with_other_settings",
     [](RecordingOstrel& p)
     {
         p.Message(kTagCompare, R"({"slot":1})");
         p.Message(kTagParameter, R"({"paramIdx":2,"value":40})");
         p.Message(kTagParameter, R"({"paramIdx":26,"value":3})");
     },
     [](RecordingOstrel& p) { p.Message(kTagCompare, R"({"slot":0})"); },
     {{2, 0.0}, {26, 3.0 / 7.0}}},
    {"switch_to_a_slot_never_used",
     [](RecordingOstrel& p) { p.Message(kTagParameter, R"({"paramIdx":2,"value":40})"); },
     [](RecordingOstrel& p) { p.Message(kTagCompare, R"({"slot":1})"); },
     {}},
};

TEST_P(Settings, OneActionOfTheUserIsOneEditForTheHost)
{
    for (const ActionCase& c : kActions)
    {
        RecordingOstrel& p = Plugin();
        c.before(p);
        Handler().ClearRecords();
        p.web->scripts.clear();
        c.action(p);
        Strings heard = Heard(Handler());
        std::erase(heard, "dirty");
        EXPECT_EQ(heard, OneEdit(Groups(), c.heard)) << c.label;
        // The page sees each new value once.
        EXPECT_EQ(p.web->ScriptsStartingWith("SPVFD(").size(), c.heard.size()) << c.label;
        for (const Edit& e : c.heard)
            EXPECT_NEAR(p.GetParam(e.id)->Normalised(), e.normalised, 1e-6) << c.label;
    }
}

TEST_P(Settings, PresetNameAndModifiedMarkFollowTheValues)
{
    RecordingOstrel& p = Plugin();
    p.Message(kTagPreset, Preset(R"(Lead \"A\")", "2,40,4,25"));
    EXPECT_EQ(Shown(p), nlohmann::json::parse(
                            R"({"t":"settings","slot":0,"preset":"Lead \"A\"","modified":0})"));
    // Parameters the preset does not hold leave it unmodified.
    p.Message(kTagParameter, R"({"paramIdx":5,"value":1})");
    p.Message(kTagParameter, R"({"paramIdx":26,"value":2})");
    EXPECT_EQ(Shown(p)["modified"], 0);
    // One it holds, by the page or by the host, marks it; back again clears it.
    p.Message(kTagParameter, R"({"paramIdx":2,"value":41})");
    EXPECT_EQ(Shown(p)["modified"], 1);
    p.setParamNormalized(2, 0.4);
    EXPECT_EQ(Shown(p)["modified"], 0);
    // A preset without a name lets go of the mark.
    p.Message(kTagPreset, Preset("", ""));
    EXPECT_EQ(Shown(p)["preset"], "");
}

TEST_P(Settings, ComparingKeepsEachSlotsSettingsAndPreset)
{
    RecordingOstrel& p = Plugin();
    p.Message(kTagPreset, Preset("Verse", "2,40"));
    p.Message(kTagCompare, R"({"slot":1})");
    EXPECT_EQ(Shown(p)["slot"], 1);
    EXPECT_EQ(Shown(p)["preset"], "Verse") << "B starts as a copy of A";
    p.Message(kTagPreset, Preset("Chorus", "2,70"));
    p.Message(kTagCompare, R"({"slot":0})");
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 40.0);
    EXPECT_EQ(Shown(p)["preset"], "Verse");
    p.Message(kTagCompare, R"({"slot":1})");
    EXPECT_DOUBLE_EQ(p.Plain(kParamDepth), 70.0);
    EXPECT_EQ(Shown(p)["preset"], "Chorus");

    // Copy B to A: switching back changes nothing audible.
    p.Message(kTagParameter, R"({"paramIdx":4,"value":50})");
    p.Message(kTagCompare, R"({"copy":1})");
    Handler().ClearRecords();
    p.Message(kTagCompare, R"({"slot":0})");
    Strings heard = Heard(Handler());
    std::erase(heard, "dirty");
    EXPECT_TRUE(heard.empty());
    EXPECT_DOUBLE_EQ(p.Plain(kParamSelectivity), 50.0);
    EXPECT_EQ(Shown(p)["preset"], "Chorus");
    EXPECT_EQ(Shown(p)["modified"], 0);

    // Role, Channel and the switches are not part of a slot.
    p.Message(kTagParameter, R"({"paramIdx":0,"value":2})");
    p.Message(kTagCompare, R"({"slot":1})");
    EXPECT_DOUBLE_EQ(p.Plain(kParamRole), 2.0);
}

TEST_P(Settings, ChangesBesideTheValuesMakeTheProjectDirty)
{
    RecordingOstrel& p = Plugin();
    p.Message(kTagPreset, Preset("Verse", ""));
    p.Message(kTagCompare, R"({"copy":1})");
    const Strings heard = Heard(Handler());
    EXPECT_EQ(heard, Groups() ? (Strings{"dirty", "dirty"}) : Strings{})
        << "only a handler that offers it hears of it";
}

TEST_P(Settings, SlotsAndPresetSurviveTheHostsStateAndOldStatesClearThem)
{
    RecordingOstrel& a = Plugin();
    a.Message(kTagPreset, Preset("Verse", "2,40"));
    a.Message(kTagCompare, R"({"slot":1})");
    a.Message(kTagParameter, R"({"paramIdx":2,"value":70})");
    const std::vector<uint8_t> state = GetState(a);
    ASSERT_GT(state.size(), 220u);

    RecordingOstrel& b = Plugin();
    ASSERT_EQ(SetState(b, state), kResultOk);
    EXPECT_DOUBLE_EQ(b.Plain(kParamDepth), 70.0);
    EXPECT_EQ(Shown(b),
              nlohmann::json::parse(R"({"t":"settings","slot":1,"preset":"Verse","modified":1})"));
    b.Message(kTagCompare, R"({"slot":0})");
    EXPECT_DOUBLE_EQ(b.Plain(kParamDepth), 40.0);
    EXPECT_EQ(Shown(b)["modified"], 0);
    EXPECT_EQ(GetState(b).size(), GetState(a).size()) << "saved again as it came";

    // What earlier versions read is where they read it; their states (and
    // states with a damaged tail) restore the values and no slots.
    for (const size_t length : {size_t{216}, size_t{220}, size_t{226}, state.size() - 3})
    {
        std::vector<uint8_t> bytes(state.begin(), state.begin() + static_cast<long>(length));
        EXPECT_EQ(SetState(b, bytes), length >= 220 ? kResultOk : kResultFalse) << length;
        EXPECT_DOUBLE_EQ(b.Plain(kParamDepth), 70.0) << length;
        EXPECT_EQ(Shown(b),
                  nlohmann::json::parse(R"({"t":"settings","slot":0,"preset":"","modified":0})"))
            << length;
        EXPECT_EQ(GetState(b).size(), 220u) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, Settings, ::testing::Bool(),
                         [](const auto& info)
                         { return info.param ? "GroupingEdits" : "WithoutGroups"; });

} // namespace
