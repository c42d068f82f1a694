// The host state through getState/setState: the 27 parameter values as
// little-endian doubles, then the host-side bypass as a 32-bit integer, then
// records (among them a user-chosen editor size).
#include "bundle_fixture.h"

#include "pluginterfaces/gui/iplugview.h"

#include <chrono>

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

const std::vector<double> kDefaults = {0.0, 1.0, 0.0,    0.0,    11.0, 0.0, 20.0, 0.0,     1000.0,
                                       1.5, 0.0, 0.0,    1000.0, 1.5,  0.0, 0.0,  1000.0,  1.5,
                                       0.0, 0.0, 1000.0, 1.5,    0.0,  0.0, 0.0,  20000.0, 4.0};

class HostState : public ::testing::Test
{
protected:
    Instance plugin;
};

TEST_F(HostState, FreshInstanceSavesDefaultsAndNoBypass)
{
    const std::vector<uint8_t> state = plugin.GetState();
    ASSERT_EQ(state.size(), 220u);
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_EQ(DoubleAt(state, 8 * static_cast<size_t>(i)), kDefaults[static_cast<size_t>(i)])
            << "parameter " << i;
    EXPECT_EQ(Int32At(state, 216), 0);
}

TEST_F(HostState, RoundTripRestoresEveryValueAndTheHostBypass)
{
    std::vector<double> values = kDefaults;
    values[kRole] = 2.0;
    values[kChannel] = 7.0;
    values[kDepth] = 62.5;
    values[kLowGuard] = 180.0;
    values[kPriority] = 6.0;
    const int32_t bypass = 1;
    ASSERT_EQ(plugin.SetState(StateOf(values, &bypass)), kResultOk);

    Instance other;
    ASSERT_EQ(other.SetState(plugin.GetState()), kResultOk);
    const std::vector<uint8_t> copy = other.GetState();
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_EQ(DoubleAt(copy, 8 * static_cast<size_t>(i)), values[static_cast<size_t>(i)])
            << "parameter " << i;
    // The controller follows the restored values, the host bypass included.
    EXPECT_DOUBLE_EQ(plugin->Controller()->getParamNormalized(kRole), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(plugin->Controller()->getParamNormalized(kChannel), 6.0 / 63.0);
    EXPECT_DOUBLE_EQ(plugin->Controller()->getParamNormalized(kHostBypassId), 1.0);
}

TEST_F(HostState, StreamWithoutTheBypassRestoresValuesButAnswersFalse)
{
    std::vector<double> values = kDefaults;
    values[kDepth] = 33.3;
    values[kPriority] = 2.0;
    const std::vector<uint8_t> bytes = StateOf(values, nullptr);
    ASSERT_EQ(bytes.size(), 216u);
    EXPECT_EQ(plugin.SetState(bytes), kResultFalse);
    const std::vector<uint8_t> state = plugin.GetState();
    EXPECT_EQ(DoubleAt(state, 8 * kDepth), 33.3);
    EXPECT_EQ(DoubleAt(state, 8 * kPriority), 2.0);
}

TEST_F(HostState, StreamsLongerThanAnyStateAreRefusedUnread)
{
    std::vector<double> values = kDefaults;
    values[kDepth] = 12.5;
    const int32_t bypass = 0;
    ASSERT_EQ(plugin.SetState(StateOf(values, &bypass)), kResultOk);

    struct Case
    {
        size_t extra; // bytes after a whole state
        tresult expected;
    };
    // A little more than a state is still read (a later version's values);
    // a stream of megabytes is no state of ours and changes nothing.
    const Case cases[] = {{0, kResultOk}, {512, kResultOk}, {size_t{32} << 20, kResultFalse}};
    for (const Case& c : cases)
    {
        std::vector<double> other = kDefaults;
        other[kDepth] = c.expected == kResultOk ? 12.5 : 99.0;
        std::vector<uint8_t> bytes = StateOf(other, &bypass);
        bytes.resize(bytes.size() + c.extra, 0x55);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(plugin.SetState(bytes), c.expected) << c.extra;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.extra;
        EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 12.5) << c.extra;
    }
}

TEST_F(HostState, TruncatedChunkRestoresWholeValuesOnly)
{
    std::vector<double> values = kDefaults;
    values[kDepth] = 40.0;
    values[kPriority] = 8.0; // the last value, cut short below
    std::vector<uint8_t> bytes = StateOf(values, nullptr);
    bytes.resize(215);
    EXPECT_EQ(plugin.SetState(bytes), kResultFalse);
    const std::vector<uint8_t> state = plugin.GetState();
    EXPECT_EQ(DoubleAt(state, 8 * kDepth), 40.0);
    EXPECT_EQ(DoubleAt(state, 8 * kPriority), 4.0);
}

TEST_F(HostState, StoredValuesAreClampedAndSnappedToTheirSteps)
{
    std::vector<double> values = kDefaults;
    values[kChannel] = 70.0;
    values[kRole] = 2.6;
    values[kDepth] = -5.0;
    values[kHighGuard] = 1e9;
    const int32_t bypass = 0;
    ASSERT_EQ(plugin.SetState(StateOf(values, &bypass)), kResultOk);
    const std::vector<uint8_t> state = plugin.GetState();
    EXPECT_EQ(DoubleAt(state, 8 * kChannel), 64.0);
    EXPECT_EQ(DoubleAt(state, 8 * kRole), 3.0);
    EXPECT_EQ(DoubleAt(state, 8 * kDepth), 0.0);
    EXPECT_EQ(DoubleAt(state, 8 * kHighGuard), 20000.0);
}

TEST_F(HostState, ControllerStateCallsChangeNothing)
{
    std::vector<double> values = kDefaults;
    values[kDepth] = 90.0;
    const int32_t bypass = 0;
    std::vector<uint8_t> bytes = StateOf(values, &bypass);
    IPtr<MemoryStream> stream =
        owned(new MemoryStream(bytes.data(), static_cast<TSize>(bytes.size())));
    EXPECT_EQ(plugin->Controller()->setComponentState(stream), kResultOk);
    EXPECT_EQ(DoubleAt(plugin.GetState(), 8 * kDepth), 0.0);
}

// ---- The host bypass restored with the project ------------------------------

TEST(HostStateBypass, RestoredBypassProcessesBypassedAndIsSavedAgain)
{
    Instance plugin;
    plugin.Prepare();
    std::vector<double> values = kDefaults;
    values[kRole] = 3.0; // Self at full depth would change the signal
    values[kDepth] = 100.0;
    values[kSelectivity] = 0.0;
    const int32_t bypass = 1;
    ASSERT_EQ(plugin.SetState(StateOf(values, &bypass)), kResultOk);
    EXPECT_EQ(Int32At(plugin.GetState(), 216), 1) << "saved before any block";

    const auto in = TestSignal(2, 3 * kLatency);
    const auto out = plugin.Run(in);
    for (size_t c = 0; c < 2; ++c)
        for (size_t i = 0; i < out[c].size(); ++i)
            ASSERT_EQ(out[c][i], i < kLatency ? 0.0 : in[c][i - kLatency])
                << "channel " << c << " frame " << i;
    EXPECT_EQ(Int32At(plugin.GetState(), 216), 1);

    const int32_t off = 0;
    ASSERT_EQ(plugin.SetState(StateOf(values, &off)), kResultOk);
    EXPECT_EQ(Int32At(plugin.GetState(), 216), 0);
    EXPECT_EQ(plugin->Controller()->getParamNormalized(kHostBypassId), 0.0);
}

// ---- Short chunks: the host sees what the processor holds ------------------

struct ShortStateCase
{
    const char* label;
    size_t bytes;
    bool priorityRestored; // the last value fits whole
};

class ShortState : public ::testing::TestWithParam<ShortStateCase>
{
};

TEST_P(ShortState, ControllerFollowsEveryRestoredValueAndTheHostIsTold)
{
    const ShortStateCase& c = GetParam();
    Instance plugin;
    std::vector<double> values = kDefaults;
    values[kRole] = 2.0;
    values[kDepth] = 80.0;
    values[kPriority] = 7.0;
    std::vector<uint8_t> bytes = StateOf(values, nullptr);
    bytes.resize(c.bytes);
    plugin.Handler().ClearRecords();
    EXPECT_EQ(plugin.SetState(bytes), kResultFalse);

    Vst::IEditController* controller = plugin->Controller();
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kRole), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kDepth), 0.8);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kPriority),
                     c.priorityRestored ? 6.0 / 7.0 : 3.0 / 7.0);
    bool told = false;
    for (const auto& r : plugin.Handler().Records())
        told = told || (r.call == host::ComponentHandler::Call::Restart &&
                        (r.id & Vst::kParamValuesChanged) != 0);
    EXPECT_TRUE(told) << "a host that sees false must still learn the new values";
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortState,
                         ::testing::Values(ShortStateCase{"cut_in_the_last_value", 215, false},
                                           ShortStateCase{"without_the_bypass", 216, true},
                                           ShortStateCase{"half_the_bypass", 218, true}),
                         [](const auto& info) { return std::string(info.param.label); });

// The editor's size as the host sees it through a new view.
std::pair<int32, int32> EditorSizeOf(Instance& plugin)
{
    IPlugView* view = plugin->Controller()->createView("editor");
    ViewRect r;
    view->getSize(&r);
    view->release();
    return {r.getWidth(), r.getHeight()};
}

void ResizeEditor(Instance& plugin, int32 width, int32 height)
{
    IPlugView* view = plugin->Controller()->createView("editor");
    ViewRect r(0, 0, width, height);
    ASSERT_EQ(view->onSize(&r), kResultTrue);
    view->release();
}

// A record: four-letter tag, 32-bit size, body (little-endian).
std::vector<uint8_t> Record(const char* tag, const std::vector<int32_t>& values)
{
    std::vector<uint8_t> out(tag, tag + 4);
    auto put = [&out](int32_t v)
    {
        const auto u = static_cast<uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(u >> shift));
    };
    put(static_cast<int32_t>(values.size() * 4));
    for (int32_t v : values)
        put(v);
    return out;
}

TEST(HostStateEditorSize, AUserChosenSizeTravelsWithTheStateAndTheDesignSizeAddsNothing)
{
    Instance plugin;
    ResizeEditor(plugin, 1626, 815);
    const std::vector<uint8_t> state = plugin.GetState();
    ASSERT_EQ(state.size(), 220u + 4u + 16u); // the records' mark, then the size record
    Instance other;
    EXPECT_EQ(EditorSizeOf(other), std::make_pair(1084, 543));
    ASSERT_EQ(other.SetState(state), kResultOk);
    EXPECT_EQ(EditorSizeOf(other), std::make_pair(1626, 815));
    // Back at the design size the state is as short as ever.
    ResizeEditor(other, 1084, 543);
    EXPECT_EQ(other.GetState().size(), 220u);
}

struct SizeRecordCase
{
    const char* label;
    std::vector<uint8_t> records; // after the bypass (and the records' mark)
    std::pair<int32, int32> size;
    bool marked = true;
};

class HostStateSizeRecords : public ::testing::TestWithParam<SizeRecordCase>
{
};

TEST_P(HostStateSizeRecords, OlderAndForeignStatesStillLoad)
{
    const SizeRecordCase& c = GetParam();
    Instance plugin;
    ResizeEditor(plugin, 2168, 1086);
    const int32_t bypass = 0;
    std::vector<uint8_t> state = StateOf(kDefaults, &bypass);
    if (c.marked && !c.records.empty())
        state.insert(state.end(), {'S', 'R', 'E', 'C'});
    state.insert(state.end(), c.records.begin(), c.records.end());
    EXPECT_EQ(plugin.SetState(state), kResultOk) << c.label;
    EXPECT_EQ(EditorSizeOf(plugin), c.size) << c.label;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> Oversized()
{
    std::vector<uint8_t> r = Record("EdSz", {1626, 815});
    r[4] = 0x7f;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Records, HostStateSizeRecords,
    ::testing::Values(
        SizeRecordCase{"an older state: the design size", {}, {1084, 543}},
        SizeRecordCase{"the size record", Record("EdSz", {1626, 815}), {1626, 815}},
        SizeRecordCase{"after a record of a later version",
                       Join(Record("Nwer", {1, 2, 3}), Record("EdSz", {1626, 815})),
                       {1626, 815}},
        SizeRecordCase{"a size outside the bounds is held to them",
                       Record("EdSz", {20000, 10000}),
                       {3252, 1629}},
        SizeRecordCase{
            "a cut record is not read", Cut(Record("EdSz", {1626, 815}), 10), {1084, 543}},
        SizeRecordCase{"a record claiming more bytes than follow", Oversized(), {1084, 543}},
        SizeRecordCase{"records without their mark are none",
                       Record("EdSz", {1626, 815}),
                       {1084, 543},
                       false}),
    [](const ::testing::TestParamInfo<SizeRecordCase>& info)
    { return "Case" + std::to_string(info.index); });

} // namespace
} // namespace ostrel::test
