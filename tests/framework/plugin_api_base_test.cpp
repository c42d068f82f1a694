// Identity, the audio-to-main-thread queues and the timer tick.
#include "framework/plugin_api_base.h"
#include "framework/spsc_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{

plugfw::Config IdentityConfig()
{
    plugfw::Config c;
    c.nParams = 2;
    c.nPresets = 1;
    c.pluginName = "Plug";
    c.productName = "Product";
    c.makerName = "Maker";
    c.version = 0x0001092D;
    c.uniqueId = 0x4F53544C;
    c.makerId = 0x544C4D53;
    c.hasEditor = true;
    c.editorWidth = 1084;
    c.editorHeight = 543;
    c.editorMinWidth = 3252; // given the wrong way round: the smaller is the minimum
    c.editorMaxWidth = 361;
    c.editorMinHeight = 181;
    c.editorMaxHeight = 1629;
    return c;
}

class TickPlugin : public plugfw::PluginApiBase
{
public:
    TickPlugin() : PluginApiBase(IdentityConfig()) {}
    void OnMidiMsgUI(const plugfw::MidiMsg& msg) override
    {
        events.push_back("midi " + std::to_string(msg.status));
    }
    void OnSysexMsgUI(const plugfw::SysExData& msg) override
    {
        events.push_back("sysex " + std::to_string(msg.size));
    }
    void IdleTick() override { events.push_back("idle"); }

    std::vector<std::string> events;
};

TEST(ApiBaseIdentity, FieldsFromTheConfiguration)
{
    TickPlugin p;
    EXPECT_EQ(p.GetPluginName(), "Plug");
    EXPECT_EQ(p.GetProductName(), "Product");
    EXPECT_EQ(p.GetMakerName(), "Maker");
    EXPECT_EQ(p.GetPluginVersionString(), "1.9.45");
    EXPECT_EQ(p.GetUniqueId(), 0x4F53544C);
    EXPECT_EQ(p.GetMakerId(), 0x544C4D53);
    EXPECT_TRUE(p.HasEditor());
    EXPECT_EQ(p.EditorMinWidth(), 361);
    EXPECT_EQ(p.EditorMaxWidth(), 3252);
    EXPECT_EQ(p.EditorMinHeight(), 181);
    EXPECT_EQ(p.EditorMaxHeight(), 1629);
    EXPECT_EQ(p.NParams(), 2);
    EXPECT_EQ(p.NPresets(), 1);
}

TEST(ApiBaseTimer, TickDrainsMidiThenSysexThenRunsIdle)
{
    TickPlugin p;
    plugfw::SysExData sysex;
    sysex.size = 3;
    EXPECT_TRUE(p.SendSysexMsgFromProcessor(sysex));
    plugfw::MidiMsg a, b;
    a.status = 0x90;
    b.status = 0x80;
    EXPECT_TRUE(p.SendMidiMsgFromProcessor(a));
    EXPECT_TRUE(p.SendMidiMsgFromProcessor(b));
    p.TimerTick();
    EXPECT_EQ(p.events, (std::vector<std::string>{"midi 144", "midi 128", "sysex 3", "idle"}));
    p.events.clear();
    p.TimerTick();
    EXPECT_EQ(p.events, std::vector<std::string>{"idle"});
}

TEST(ApiBaseQueues, EachQueueHoldsOneLessThanItsEntries)
{
    TickPlugin p;
    int midi = 0, params = 0, sysex = 0;
    while (p.SendMidiMsgFromProcessor(plugfw::MidiMsg{}))
        ++midi;
    while (p.SendParamChangeFromProcessor(1, 0.5))
        ++params;
    while (p.SendSysexMsgFromProcessor(plugfw::SysExData{}))
        ++sysex;
    EXPECT_EQ(midi, 32);
    EXPECT_EQ(params, 512);
    EXPECT_EQ(sysex, 4);
    EXPECT_EQ(sizeof(plugfw::SysExData), 520u);
    EXPECT_EQ(sizeof(plugfw::MidiMsg), 8u);
}

TEST(SpscQueue, FullQueueDropsTheNewestEntry)
{
    plugfw::SpscQueue<int, 4> q;
    EXPECT_TRUE(q.Push(1));
    EXPECT_TRUE(q.Push(2));
    EXPECT_TRUE(q.Push(3));
    EXPECT_FALSE(q.Push(4)); // one entry is kept free
    EXPECT_EQ(q.Count(), 3);
    int v = 0;
    for (int expected : {1, 2, 3})
    {
        ASSERT_TRUE(q.Pop(v));
        EXPECT_EQ(v, expected);
    }
    EXPECT_FALSE(q.Pop(v));
}

TEST(SpscQueue, WrapsAroundInOrder)
{
    plugfw::SpscQueue<int, 3> q;
    int v = 0;
    for (int i = 0; i < 10; ++i)
    {
        ASSERT_TRUE(q.Push(i));
        ASSERT_TRUE(q.Pop(v));
        EXPECT_EQ(v, i);
    }
    EXPECT_EQ(q.Count(), 0);
}

TEST(SpscQueueConcurrency, EntriesArriveWholeAndInOrder)
{
    plugfw::SpscQueue<plugfw::ParamTuple, 33> q;
    constexpr int kEntries = 100000;
    std::thread producer(
        [&q]
        {
            for (int i = 0; i < kEntries; ++i)
                while (!q.Push({i, i * 0.5}))
                    std::this_thread::yield();
        });
    int expected = 0;
    bool intact = true;
    plugfw::ParamTuple t;
    while (expected < kEntries)
    {
        if (!q.Pop(t))
        {
            std::this_thread::yield();
            continue;
        }
        intact = intact && t.idx == expected && t.value == expected * 0.5;
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(intact);
    EXPECT_FALSE(q.Pop(t));
}

} // namespace
