// A new instance starts from the user's last settings only when that cannot
// change the sound behind the host's back: at its first idle tick, with or
// without an editor, and only if neither the host nor the user has set a
// value since the instance was made. Every value it takes reaches the host
// as one edit; Role, Channel, Bypass and the listen switches are never taken.
#include "bundle_fixture.h"

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

using namespace Steinberg;
using Call = ostrel::host::ComponentHandler::Call;

namespace ostrel::test
{
namespace
{

using Strings = std::vector<std::string>;

struct Taken
{
    ParamId id;
    double normalised;
};

// What the stored settings change in a fresh instance (index order). Role,
// Channel, Bypass, Listen and Bell Listen are stored too, and stay.
const std::vector<Taken> kTaken = {{kDepth, 0.7},
                                   {kSelectivity, 0.03},
                                   {kLowGuard, 0.5},
                                   {kBell1Depth, 0.2},
                                   {kPriority, 2.0 / 7.0}};
const std::vector<Taken> kNotTaken = {{kRole, 2.0 / 3.0}, {kChannel, 0.5},    {kBypass, 1.0},
                                      {kListen, 1.0},     {kBellListen, 0.5}, {kSidechain, 0.0}};

Strings Heard(const host::ComponentHandler& handler)
{
    Strings out;
    for (const auto& r : handler.Records())
    {
        char text[64] = "other";
        if (r.call == Call::Begin)
            std::snprintf(text, sizeof(text), "begin %u", r.id);
        else if (r.call == Call::Perform)
            std::snprintf(text, sizeof(text), "perform %u %.6f", r.id, r.value);
        else if (r.call == Call::End)
            std::snprintf(text, sizeof(text), "end %u", r.id);
        else if (r.call == Call::GroupStart)
            std::snprintf(text, sizeof(text), "group{");
        else if (r.call == Call::GroupFinish)
            std::snprintf(text, sizeof(text), "}group");
        out.emplace_back(text);
    }
    return out;
}

std::string Text(const char* what, const Taken& t)
{
    char text[64];
    if (std::string(what) == "perform")
        std::snprintf(text, sizeof(text), "perform %u %.6f", t.id, t.normalised);
    else
        std::snprintf(text, sizeof(text), "%s %u", what, t.id);
    return text;
}

// The taken values as one edit: one group where the host groups edits, else
// a complete gesture per parameter.
Strings OneEdit(bool groups)
{
    Strings out;
    if (!groups)
    {
        for (const Taken& t : kTaken)
            for (const char* what : {"begin", "perform", "end"})
                out.push_back(Text(what, t));
        return out;
    }
    out.emplace_back("group{");
    for (const char* what : {"begin", "perform", "end"})
        for (const Taken& t : kTaken)
            out.push_back(Text(what, t));
    out.emplace_back("}group");
    return out;
}

struct LastStateCase
{
    const char* label;
    bool groups;                         // the host's handler offers edit groups
    bool runLoop;                        // the host offers a run loop (ticks on its main thread)
    std::function<void(Instance&)> host; // what the host does before the first tick
    bool taken;
};

const LastStateCase kCases[] = {
    {"untouched_grouping_host", true, true, [](Instance&) {}, true},
    {"untouched_plain_host", false, true, [](Instance&) {}, true},
    {"untouched_without_run_loop", true, false, [](Instance&) {}, true},
    {"host_echoes_the_value_it_has", true, true,
     [](Instance& p) { p->Controller()->setParamNormalized(kDepth, 0.0); }, true},
    {"host_set_a_value", true, true,
     [](Instance& p) { p->Controller()->setParamNormalized(kPriority, 1.0); }, false},
    {"host_restored_a_project", true, true,
     [](Instance& p)
     {
         const int32_t off = 0;
         p.SetState(StateOf(std::vector<double>(p.GetState().size() / 8, 0.0), &off));
     },
     false},
    {"automation_in_the_first_block", true, true,
     [](Instance& p)
     {
         p.Prepare();
         host::ParameterChanges changes;
         changes.Add(kDepth, 0, 0.5);
         p.Run(TestSignal(2, 256), &changes);
     },
     false},
};

class LastState : public ::testing::TestWithParam<LastStateCase>
{
protected:
    void SetUp() override
    {
        Bundle(); // the private data folder of this test program
        Instance fresh;
        std::vector<double> stored;
        for (int i = 0; i < kParamCount; ++i)
            stored.push_back(fresh->Controller()->getParamNormalized(static_cast<Vst::ParamID>(i)));
        for (const auto& list : {kTaken, kNotTaken})
            for (const Taken& t : list)
                stored[t.id] = t.normalised;
        CreateDataFolder();
        WriteFileAtomically(PathInDataFolder(kLastStateFileName), BuildLastStateText(stored));
    }
    void TearDown() override { std::filesystem::remove(PathInDataFolder(kLastStateFileName)); }
};

TEST_P(LastState, TakenOnlyByAnUntouchedInstanceAsOneEdit)
{
    const LastStateCase& c = GetParam();
    Instance p("ostrel-tests", c.runLoop, c.groups);
    Vst::IEditController* controller = p->Controller();
    c.host(p);
    std::vector<double> before;
    for (int i = 0; i < kParamCount; ++i)
        before.push_back(controller->getParamNormalized(static_cast<Vst::ParamID>(i)));

    if (c.runLoop)
    {
        p.Handler().ClearRecords();
        p.Context().RunLoop().Advance(20.0);
    }
    else
    {
        // The private tick takes them; the host hears at its next call.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (controller->getParamNormalized(kDepth) != kTaken[0].normalised &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(p.Handler().Records().empty()) << "no host call from the private thread";
        p.GetState();
    }

    EXPECT_EQ(Heard(p.Handler()), c.taken ? OneEdit(c.groups) : Strings{}) << c.label;
    for (const auto& r : p.Handler().Records())
        EXPECT_EQ(r.thread, std::this_thread::get_id());
    for (const Taken& t : kTaken)
        EXPECT_NEAR(controller->getParamNormalized(t.id), c.taken ? t.normalised : before[t.id],
                    1e-9)
            << "parameter " << t.id;
    for (const Taken& t : kNotTaken)
        EXPECT_EQ(controller->getParamNormalized(t.id), before[t.id]) << "parameter " << t.id;

    // Once: later ticks leave everything as it is.
    p.Handler().ClearRecords();
    p.Context().RunLoop().Advance(200.0);
    EXPECT_TRUE(Heard(p.Handler()).empty());
}

INSTANTIATE_TEST_SUITE_P(Hosts, LastState, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace ostrel::test
