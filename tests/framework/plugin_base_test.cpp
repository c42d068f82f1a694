// Parameter chunk, state hooks, editor edits and the preset slot.
#include "framework/iparam.h"
#include "framework/plugin_api_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

using plugfw::IByteChunk;
using plugfw::IParam;

constexpr int kN = 27;

plugfw::Config TestConfig()
{
    plugfw::Config c;
    c.nParams = kN;
    c.nPresets = 1;
    c.pluginName = "Plug";
    return c;
}

// 27 parameters shaped like the product's: an enum, ints, doubles, bools.
class ChunkPlugin : public plugfw::PluginApiBase
{
public:
    ChunkPlugin() : PluginApiBase(TestConfig())
    {
        GetParam(0)->DefineEnum("Role", 0, 4, "", 0, "", {"Off", "Source", "Masker", "Self"});
        GetParam(1)->DefineInt("Channel", 1, 1, 64);
        for (int i = 2; i < kN; ++i)
            GetParam(i)->DefineDouble("D", 0.0, -1000.0, 1000.0, 0.1);
    }

    void OnParamChange(int idx) override { changes.push_back(idx); }
    void OnParamChangeUI(int idx) override { uiChanges.push_back(idx); }
    void SendParamValueToPage(int idx, double value, bool isNormalised) override
    {
        page.push_back({idx, value});
        EXPECT_TRUE(isNormalised);
    }
    void InformHostOfParamChange(int idx, double normalised) override
    {
        host.push_back({idx, normalised});
        // The host hears of the edit after the value is in place.
        EXPECT_DOUBLE_EQ(GetParam(idx)->Normalised(),
                         GetParam(idx)->ToNormalised(GetParam(idx)->FromNormalised(normalised)));
    }
    void OnPresetsModified() override { ++presetsModified; }

    std::vector<int> changes;
    std::vector<int> uiChanges;
    std::vector<std::pair<int, double>> page;
    std::vector<std::pair<int, double>> host;
    int presetsModified = 0;
};

IByteChunk ChunkOf(const std::vector<double>& values)
{
    IByteChunk chunk;
    for (double v : values)
        chunk.Put(v);
    return chunk;
}

std::vector<int> AllIndices()
{
    std::vector<int> v;
    for (int i = 0; i < kN; ++i)
        v.push_back(i);
    return v;
}

TEST(ByteChunk, DoublesAreLittleEndianIeee)
{
    IByteChunk chunk;
    chunk.Put(1.0);
    chunk.Put(int32_t(1));
    ASSERT_EQ(chunk.Size(), 12);
    const uint8_t expected[12] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(chunk.GetData(), expected, 12), 0);
    double d = 0;
    EXPECT_EQ(chunk.Get(d, 0), 8);
    EXPECT_DOUBLE_EQ(d, 1.0);
    int32_t i = 0;
    EXPECT_EQ(chunk.Get(i, 8), 12);
    EXPECT_EQ(i, 1);
}

TEST(ByteChunk, ReadsPastTheEndFailWithoutCopying)
{
    IByteChunk chunk;
    chunk.Put(int32_t(7));
    double d = 42.0;
    EXPECT_EQ(chunk.Get(d, 0), -1);
    EXPECT_DOUBLE_EQ(d, 42.0);
    int32_t i = 0;
    EXPECT_EQ(chunk.Get(i, -1), -1);
    EXPECT_EQ(chunk.Get(i, 1), -1);
    EXPECT_EQ(chunk.Get(i, 4), -1);
}

class ParamChunk : public ::testing::Test
{
protected:
    ChunkPlugin plugin;
};

TEST_F(ParamChunk, SerializeWritesEveryValueInIndexOrder)
{
    plugin.GetParam(0)->Set(2);
    plugin.GetParam(1)->Set(17);
    plugin.GetParam(26)->Set(-12.5);
    IByteChunk chunk;
    EXPECT_TRUE(plugin.SaveState(chunk));
    ASSERT_EQ(chunk.Size(), 216);
    double v = 0;
    chunk.Get(v, 0);
    EXPECT_DOUBLE_EQ(v, 2.0);
    chunk.Get(v, 8);
    EXPECT_DOUBLE_EQ(v, 17.0);
    chunk.Get(v, 208);
    EXPECT_DOUBLE_EQ(v, -12.5);
}

TEST_F(ParamChunk, FullChunkRestoresAllAndAnnouncesEach)
{
    std::vector<double> values(kN);
    for (int i = 0; i < kN; ++i)
        values[i] = i < 2 ? i + 1.0 : i * 10.0;
    IByteChunk chunk = ChunkOf(values);
    EXPECT_EQ(plugin.LoadState(chunk, 0), 216);
    for (int i = 2; i < kN; ++i)
        EXPECT_DOUBLE_EQ(plugin.GetParam(i)->Value(), i * 10.0);
    EXPECT_EQ(plugin.changes, AllIndices());
    EXPECT_EQ(plugin.uiChanges, AllIndices());
}

TEST_F(ParamChunk, ShortChunkRestoresWholeValuesAndStillAnnouncesAll)
{
    std::vector<double> values(kN, 5.0);
    IByteChunk chunk = ChunkOf(values);
    IByteChunk shortChunk;
    shortChunk.PutBytes(chunk.GetData(), 215);
    EXPECT_EQ(plugin.UnserializeParams(shortChunk, 0), -1);
    for (int i = 2; i < 26; ++i)
        EXPECT_DOUBLE_EQ(plugin.GetParam(i)->Value(), 5.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(26)->Value(), 0.0); // left as it was
    EXPECT_EQ(plugin.changes, AllIndices());
}

TEST_F(ParamChunk, ReadsFromTheGivenPosition)
{
    IByteChunk chunk;
    chunk.Put(int32_t(99));
    std::vector<double> values(kN, 3.0);
    for (double v : values)
        chunk.Put(v);
    chunk.Put(int32_t(1)); // trailing data is left for the caller
    EXPECT_EQ(plugin.UnserializeParams(chunk, 4), 220);
    EXPECT_DOUBLE_EQ(plugin.GetParam(5)->Value(), 3.0);
}

TEST_F(ParamChunk, RestoredValuesAreClampedAndSnapped)
{
    std::vector<double> values(kN, 0.0);
    values[0] = 2.6;   // Role: snaps to the nearest step
    values[1] = 70.0;  // Channel: above the range
    values[2] = 1e9;   // double: above the range
    values[3] = -0.04; // double: not stepped, kept
    EXPECT_EQ(plugin.LoadState(ChunkOf(values), 0), 216);
    EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 3.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(1)->Value(), 64.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(2)->Value(), 1000.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(3)->Value(), -0.04);
}

TEST_F(ParamChunk, NonFiniteStoredValueCannotPoisonAParameter)
{
    std::vector<double> values(kN, 0.0);
    values[4] = std::numeric_limits<double>::quiet_NaN();
    plugin.LoadState(ChunkOf(values), 0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(4)->Value(), -1000.0);
}

TEST_F(ParamChunk, SaveThenLoadRoundTripsExactly)
{
    plugin.GetParam(7)->Set(123.4);
    plugin.GetParam(0)->Set(3);
    IByteChunk chunk;
    plugin.SaveState(chunk);
    ChunkPlugin other;
    other.LoadState(chunk, 0);
    for (int i = 0; i < kN; ++i)
        EXPECT_EQ(other.GetParam(i)->Value(), plugin.GetParam(i)->Value()) << i;
}

TEST_F(ParamChunk, EditorEditSetsTellsHostAndAnnounces)
{
    plugin.SetParamFromEditor(1, 1.0);
    EXPECT_DOUBLE_EQ(plugin.GetParam(1)->Value(), 64.0);
    ASSERT_EQ(plugin.host.size(), 1u);
    EXPECT_EQ(plugin.host[0].first, 1);
    EXPECT_EQ(plugin.changes, std::vector<int>{1});
}

TEST_F(ParamChunk, EditorEditOutsideTheParametersChangesNothing)
{
    plugin.SetParamFromEditor(27, 0.5);
    plugin.SetParamFromEditor(-1, 0.5);
    EXPECT_TRUE(plugin.host.empty());
    EXPECT_TRUE(plugin.changes.empty());
}

TEST_F(ParamChunk, PresetSlotFirstCapturesThenRestores)
{
    EXPECT_STREQ(plugin.PresetName(0), "empty");
    plugin.GetParam(5)->Set(42.0);
    EXPECT_TRUE(plugin.RestorePreset(0));
    EXPECT_STREQ(plugin.PresetName(0), "user preset 1");
    EXPECT_EQ(plugin.presetsModified, 1);
    EXPECT_EQ(plugin.page.size(), size_t(kN)); // every value went to the page
    EXPECT_TRUE(plugin.changes.empty());       // capturing changes nothing

    plugin.GetParam(5)->Set(-7.0);
    EXPECT_TRUE(plugin.RestorePreset(0));
    EXPECT_DOUBLE_EQ(plugin.GetParam(5)->Value(), 42.0);
    EXPECT_EQ(plugin.changes, AllIndices());
    EXPECT_STREQ(plugin.PresetName(0), "user preset 1");
    EXPECT_EQ(plugin.CurrentPresetIdx(), 0);
}

TEST_F(ParamChunk, PresetIndexOutsideTheSlots)
{
    EXPECT_FALSE(plugin.RestorePreset(1));
    EXPECT_FALSE(plugin.RestorePreset(-1));
    EXPECT_STREQ(plugin.PresetName(1), "");
    EXPECT_EQ(plugin.presetsModified, 0);
}

} // namespace
