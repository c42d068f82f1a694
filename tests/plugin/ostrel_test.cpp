// The plug-in object: its configuration, the 27 parameters, the conversion
// of parameter values into engine settings, state restore, processing reset
// and the editor open/close bookkeeping.
#include "plugin/ostrel.h"

#include "editor_messages/product_message_tags.h"
#include "framework/iparam.h"
#include "link/peer_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using ostrel::Ostrel;
using plugfw::IParam;

// Records what the plug-in sends to the page and the host.
class RecordingOstrel : public Ostrel
{
public:
    void SendParamValueToPage(int idx, double value, bool isNormalised) override
    {
        page.push_back({idx, value});
        EXPECT_TRUE(isNormalised);
    }
    void EndHostEdit(int idx) override { endedGestures.push_back(idx); }
    // What the page asks for, as its messages do.
    void ForwardKeys() { Message(ostrel::kTagHostKeys, "1"); }
    void BeginPageGesture(int idx)
    {
        Message(ostrel::kTagParameter,
                R"({"paramIdx":)" + std::to_string(idx) + R"(,"gesture":"begin"})");
    }
    void Message(int tag, const std::string& text)
    {
        OnEditorMessage(tag, 0, static_cast<int>(text.size()), text.data());
    }

    std::vector<std::pair<int, double>> page;
    std::vector<int> endedGestures;
};

class OstrelTest : public ::testing::Test
{
protected:
    // The engine is a few MB: the object lives on the heap, as in a host.
    std::unique_ptr<RecordingOstrel> plugin = std::make_unique<RecordingOstrel>();

    IParam& Param(int idx) { return *plugin->GetParam(idx); }
    // Sets a real value and runs the handler, as a host change with a block does.
    void Apply(int idx, double value)
    {
        Param(idx).Set(value);
        plugin->OnParamChange(idx);
    }
    ostrel::SettingsSnapshot S() const { return plugin->Engine().settings().snapshot(); }
};

TEST(OstrelConfig, Record)
{
    const plugfw::Config c = ostrel::ostrelConfig();
    EXPECT_EQ(c.nParams, 27);
    EXPECT_EQ(c.nPresets, 1);
    EXPECT_STREQ(c.channelIOStr, "2-2 1-1 1.1-1 2.1-2 2.2-2");
    EXPECT_STREQ(c.pluginName, "Ostrel");
    EXPECT_STREQ(c.makerName, "Talmesh");
    EXPECT_EQ(c.version, 0x0001092D);
    EXPECT_EQ(c.uniqueId, 0x4F53544C);
    EXPECT_EQ(c.makerId, 0x544C4D53);
    EXPECT_EQ(c.latency, 1264);
    EXPECT_TRUE(c.hasEditor);
    EXPECT_TRUE(c.hostCanResizeEditor);
    EXPECT_EQ(c.editorWidth, 1084);
    EXPECT_EQ(c.editorHeight, 543);
}

TEST_F(OstrelTest, IdentityAndLayout)
{
    EXPECT_EQ(plugin->GetPluginVersionString(), "1.9.45");
    EXPECT_EQ(plugin->NParams(), 27);
    EXPECT_EQ(plugin->NIOConfigs(), 5);
    EXPECT_EQ(plugin->NChannels(plugfw::kInput), 4);
    EXPECT_EQ(plugin->NChannels(plugfw::kOutput), 2);
    EXPECT_EQ(plugin->GetLatency(), 1264);
    EXPECT_EQ(plugin->GetSidechainStartChannel(), 2);
    const char* labels[] = {"Main L", "Main R", "Sidechain L", "Sidechain R"};
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_STREQ(plugin->GetChannelLabel(plugfw::kInput, ch), labels[ch]);
}

struct ParamRow
{
    int idx;
    const char* name;
    int type;
    double min, max, step;
    const char* label;
    int displayType;
    const char* defaultText;
};

// The parameter table as the host and the page see it.
const ParamRow kTable[] = {
    {0, "Role", IParam::kTypeEnum, 0, 3, 1, "", 0, "Off"},
    {1, "Channel", IParam::kTypeInt, 1, 64, 1, "", 0, "1"},
    {2, "Depth", IParam::kTypeDouble, 0, 100, 0.1, "%", 0, "0.0"},
    {3, "Bypass", IParam::kTypeBool, 0, 1, 1, "", 0, "off"},
    {4, "Selectivity", IParam::kTypeDouble, 0, 100, 0.1, "%", 0, "11.0"},
    {5, "Listen", IParam::kTypeBool, 0, 1, 1, "", 0, "off"},
    {6, "Low Guard", IParam::kTypeDouble, 20, 500, 1, "Hz", 6, "20"},
    {7, "Sidechain", IParam::kTypeBool, 0, 1, 1, "", 0, "off"},
    {8, "Bell 1 Freq", IParam::kTypeDouble, 20, 20000, 0.1, "Hz", 6, "1000.0"},
    {9, "Bell 1 Q", IParam::kTypeDouble, 0.3, 10, 0.01, "", 0, "1.50"},
    {10, "Bell 1 Depth", IParam::kTypeDouble, 0, 100, 0.1, "%", 0, "0.0"},
    {11, "Bell 1 Active", IParam::kTypeBool, 0, 1, 1, "", 0, "off"},
    {12, "Bell 2 Freq", IParam::kTypeDouble, 20, 20000, 0.1, "Hz", 6, "1000.0"},
    {17, "Bell 3 Q", IParam::kTypeDouble, 0.3, 10, 0.01, "", 0, "1.50"},
    {22, "Bell 4 Depth", IParam::kTypeDouble, 0, 100, 0.1, "%", 0, "0.0"},
    {23, "Bell 4 Active", IParam::kTypeBool, 0, 1, 1, "", 0, "off"},
    {24, "Bell Listen", IParam::kTypeInt, 0, 4, 1, "", 0, "0"},
    {25, "High Guard", IParam::kTypeDouble, 2000, 20000, 1, "Hz", 6, "20000"},
    {26, "Priority", IParam::kTypeInt, 1, 8, 1, "", 0, "4"},
};

TEST_F(OstrelTest, ParameterTableAndDefaultTexts)
{
    for (const ParamRow& row : kTable)
    {
        SCOPED_TRACE(row.name);
        const IParam& p = Param(row.idx);
        EXPECT_STREQ(p.Name(), row.name);
        EXPECT_EQ(p.GetType(), row.type);
        EXPECT_DOUBLE_EQ(p.Min(), row.min);
        EXPECT_DOUBLE_EQ(p.Max(), row.max);
        EXPECT_DOUBLE_EQ(p.Step(), row.step);
        EXPECT_STREQ(p.Label(), row.label);
        EXPECT_EQ(p.GetShape().DisplayType(), row.displayType);
        EXPECT_EQ(p.FormatValue(p.Value(), false), row.defaultText);
        EXPECT_EQ(p.Flags() & ~IParam::Stepped, 0);
        EXPECT_EQ(p.UnitCode(), 21);
        EXPECT_STREQ(p.Group(), "");
    }
}

TEST_F(OstrelTest, EveryParameterStartsAtItsDefault)
{
    for (int i = 0; i < ostrel::kNumParams; ++i)
        EXPECT_EQ(Param(i).Value(), Param(i).DefaultValue()) << i;
    EXPECT_EQ(Param(1).Value(), 1.0);
    EXPECT_EQ(Param(26).Value(), 4.0);
}

TEST_F(OstrelTest, RoleTexts)
{
    const char* texts[] = {"Off", "Source", "Masker", "Self"};
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(Param(ostrel::kParamRole).FormatValue(r, false), texts[r]);
}

TEST_F(OstrelTest, TheEngineStartsAtTheTableDefaultsConverted)
{
    // A new engine holds the converted defaults before the host initialises
    // the controller, and the parameter handlers bring it to the same place.
    EXPECT_FLOAT_EQ(S().selectivity, 3.99f);
    EXPECT_FALSE(plugin->LastState().Dirty());
    plugin->OnParamReset();
    EXPECT_FLOAT_EQ(S().selectivity, 3.99f);
    EXPECT_EQ(S().bellListen, -1);
    EXPECT_FLOAT_EQ(S().depthBiasDb, -6.0f);
    EXPECT_EQ(S().priority, 4);
    EXPECT_FLOAT_EQ(S().highGuardHz, 20000.0f);
}

struct DepthCase
{
    double depth;
    float scaleDb;
    float biasDb;
};

class DepthConversion : public OstrelTest, public ::testing::WithParamInterface<DepthCase>
{
};

TEST_P(DepthConversion, ScaleAndBias)
{
    Apply(ostrel::kParamDepth, GetParam().depth);
    EXPECT_FLOAT_EQ(S().depthScaleDb, GetParam().scaleDb);
    EXPECT_FLOAT_EQ(S().depthBiasDb, GetParam().biasDb);
}

INSTANTIATE_TEST_SUITE_P(Edges, DepthConversion,
                         ::testing::Values(DepthCase{0.0, 0.0f, -6.0f},
                                           DepthCase{50.0, -24.0f, -21.0f},
                                           DepthCase{100.0, -48.0f, -36.0f},
                                           DepthCase{25.0, -12.0f, -13.5f},
                                           DepthCase{0.1, -0.048f, -6.03f}));

TEST_F(OstrelTest, DepthFactorIsComputedInSinglePrecision)
{
    Apply(ostrel::kParamDepth, 33.3);
    const float f = 33.3f * 0.01f;
    EXPECT_EQ(S().depthScaleDb, -48.0f * f);
    EXPECT_EQ(S().depthBiasDb, -(30.0f * f + 6.0f));
}

struct SettingCase
{
    int idx;
    double value;
    double expected;
    const char* what;
};

class SettingConversion : public OstrelTest, public ::testing::WithParamInterface<SettingCase>
{
protected:
    double Setting(const char* what)
    {
        const std::string w = what;
        const auto& s = S();
        if (w == "role")
            return s.role;
        if (w == "channelIndex")
            return s.channelIndex;
        if (w == "bypass")
            return s.bypass;
        if (w == "selectivity")
            return s.selectivity;
        if (w == "listen")
            return s.listen;
        if (w == "lowGuardHz")
            return s.lowGuardHz;
        if (w == "sidechainOn")
            return s.sidechainOn;
        if (w == "bellListen")
            return s.bellListen;
        if (w == "highGuardHz")
            return s.highGuardHz;
        if (w == "priority")
            return s.priority;
        ADD_FAILURE() << "unknown setting " << w;
        return 0;
    }
};

TEST_P(SettingConversion, ValueGivesSetting)
{
    const SettingCase& c = GetParam();
    Apply(c.idx, c.value);
    EXPECT_NEAR(Setting(c.what), c.expected, 1e-5) << c.what << " from " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingConversion,
    ::testing::Values(
        SettingCase{0, 0, 0, "role"}, SettingCase{0, 3, 3, "role"}, SettingCase{0, 2.6, 3, "role"},
        SettingCase{1, 1, 0, "channelIndex"}, SettingCase{1, 64, 63, "channelIndex"},
        SettingCase{1, 70, 63, "channelIndex"}, SettingCase{3, 1, 1, "bypass"},
        SettingCase{3, 0, 0, "bypass"}, SettingCase{4, 0, 3.0, "selectivity"},
        SettingCase{4, 100, 12.0, "selectivity"}, SettingCase{4, 11, 3.99, "selectivity"},
        SettingCase{4, 50, 7.5, "selectivity"}, SettingCase{5, 1, 1, "listen"},
        SettingCase{6, 137, 137, "lowGuardHz"}, SettingCase{7, 1, 1, "sidechainOn"},
        SettingCase{24, 0, -1, "bellListen"}, SettingCase{24, 1, 0, "bellListen"},
        SettingCase{24, 4, 3, "bellListen"}, SettingCase{25, 2000, 2000, "highGuardHz"},
        SettingCase{26, 1, 1, "priority"}, SettingCase{26, 8, 8, "priority"}));

TEST_F(OstrelTest, EachBellWritesItsOwnSettings)
{
    for (int k = 0; k < ostrel::kBellCount; ++k)
    {
        Apply(ostrel::bellParam(k, ostrel::kBellFreqOffset), 100.0 * (k + 1));
        Apply(ostrel::bellParam(k, ostrel::kBellQOffset), 0.5 + k);
        Apply(ostrel::bellParam(k, ostrel::kBellDepthOffset), 10.0 * (k + 1));
        Apply(ostrel::bellParam(k, ostrel::kBellActiveOffset), k % 2);
    }
    for (int k = 0; k < ostrel::kBellCount; ++k)
    {
        EXPECT_FLOAT_EQ(S().bellFreqHz[k], 100.0f * (k + 1)) << k;
        EXPECT_FLOAT_EQ(S().bellQ[k], 0.5f + k) << k;
        EXPECT_FLOAT_EQ(S().bellDepthPercent[k], 10.0f * (k + 1)) << k; // percent, unconverted
        EXPECT_EQ(S().bellActive[k], k % 2) << k;
    }
}

TEST_F(OstrelTest, OnlyEditorEditsMarkTheLastStateForSaving)
{
    // The host's changes (restores, automation) reach only the handler.
    Apply(ostrel::kParamDepth, 40);
    EXPECT_FALSE(plugin->LastState().Dirty());
    plugin->SetParamFromEditor(ostrel::kParamDepth, 0.41);
    EXPECT_TRUE(plugin->LastState().Dirty());
}

TEST_F(OstrelTest, HandlerIgnoresIndicesOutsideTheTable)
{
    plugin->OnParamReset();
    for (int i = 0; i < ostrel::kNumParams; ++i)
        Param(i).Set(Param(i).Max()); // values the handler would pick up if it ran for them
    plugin->OnParamChange(27);
    plugin->OnParamChange(-1);
    EXPECT_FALSE(plugin->LastState().Dirty());
    EXPECT_EQ(S().role, 0);
    EXPECT_EQ(S().channelIndex, 0);
    EXPECT_EQ(S().priority, 4);
    EXPECT_EQ(S().bellListen, -1);
    EXPECT_FLOAT_EQ(S().depthBiasDb, -6.0f);
    EXPECT_EQ(S().bellActive[3], 0);
}

TEST_F(OstrelTest, HostStateRestoreIsNotedAndAppliedToTheEngine)
{
    Apply(ostrel::kParamRole, 2);
    Apply(ostrel::kParamChannel, 9);
    plugfw::IByteChunk chunk;
    ASSERT_TRUE(plugin->SaveState(chunk));
    EXPECT_EQ(chunk.Size(), 216);

    auto other = std::make_unique<RecordingOstrel>();
    EXPECT_FALSE(other->LastState().HostRestored());
    EXPECT_EQ(other->LoadState(chunk, 0), 216);
    EXPECT_TRUE(other->LastState().HostRestored());
    EXPECT_EQ(other->Engine().settings().role, 2);
    EXPECT_EQ(other->Engine().settings().channelIndex, 8);
    EXPECT_FLOAT_EQ(other->Engine().settings().selectivity, 3.99f); // every setting re-derived
}

TEST_F(OstrelTest, ShortHostStateStillReDerivesEverySetting)
{
    plugfw::IByteChunk chunk;
    for (int i = 0; i < 26; ++i)
        chunk.Put(i == ostrel::kParamChannel ? 70.0 : Param(i).Value());
    EXPECT_EQ(plugin->LoadState(chunk, 0), -1);
    EXPECT_EQ(Param(ostrel::kParamChannel).Value(), 64.0);
    EXPECT_EQ(S().channelIndex, 63);
    EXPECT_EQ(S().priority, 4); // not in the chunk: kept, and its setting derived
}

TEST_F(OstrelTest, ResetProcessingSizesMonoScratchAndAsksForRefresh)
{
    EXPECT_EQ(plugin->MonoScratchSize(), 0u);
    plugin->ResetProcessing();
    EXPECT_EQ(plugin->MonoScratchSize(), 1u); // block size not known yet
    plugin->SetSampleRate(44100.0);
    plugin->SetBlockSize(256);
    plugin->ResetProcessing();
    EXPECT_TRUE(plugin->Page().RefreshDue());
    EXPECT_EQ(plugin->MonoScratchSize(), 256u);
    EXPECT_DOUBLE_EQ(plugin->Engine().sampleRate(), 44100.0);
}

TEST_F(OstrelTest, EditorOpenSendsEveryValueAndClearsKeyForwarding)
{
    Apply(ostrel::kParamDepth, 50.0);
    plugin->ForwardKeys();
    plugin->EditorOpened();
    ASSERT_EQ(plugin->page.size(), 27u);
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(plugin->page[i].first, i);
    EXPECT_DOUBLE_EQ(plugin->page[ostrel::kParamDepth].second, 0.5);
    EXPECT_DOUBLE_EQ(plugin->page[ostrel::kParamHighGuard].second, 1.0);
    EXPECT_TRUE(plugin->Page().IsOpen());
    EXPECT_TRUE(plugin->Page().RefreshDue());
    EXPECT_FALSE(plugin->Page().KeysForwarded());
}

TEST_F(OstrelTest, EditorCloseEndsOpenGesturesExactlyOnce)
{
    plugin->EditorOpened();
    plugin->ForwardKeys();
    plugin->BeginPageGesture(4);
    plugin->BeginPageGesture(26);
    plugin->EditorClosed();
    EXPECT_EQ(plugin->endedGestures, (std::vector<int>{4, 26}));
    EXPECT_FALSE(plugin->Gestures().Held(ostrel::GestureHolder::Page, 4));
    EXPECT_EQ(plugin->Gestures().IdleTicks(ostrel::GestureHolder::Page, 4), 0);
    EXPECT_FALSE(plugin->Page().IsOpen());
    EXPECT_FALSE(plugin->Page().KeysForwarded());
    plugin->EditorClosed();
    EXPECT_EQ(plugin->endedGestures.size(), 2u);
}

TEST_F(OstrelTest, EditorEditReachesTheEngine)
{
    plugin->SetParamFromEditor(ostrel::kParamPriority, 1.0);
    EXPECT_EQ(S().priority, 8);
    EXPECT_TRUE(plugin->LastState().Dirty());
}

} // namespace
