// The host state through getState/setState: the 27 parameter values as
// little-endian doubles, then the host-side bypass as a 32-bit integer.
#include "bundle_fixture.h"

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

} // namespace
} // namespace ostrel::test
