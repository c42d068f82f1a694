// MIDI controller parameter ids and the messages they turn into.
#include "vst3/midi_controller_ids.h"
#include "vst3/midi_controller_names.h"
#include "vst3/speaker_arrangement.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct MsgCase
{
    Steinberg::Vst::ParamID id;
    double value;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

TEST(MidiControllerParams, BecomeControlChangeAftertouchAndPitchBend)
{
    const MsgCase cases[] = {
        {0x10002 + 7, 1.0, 0xB0, 7, 127},       // CC 7, channel 1
        {0x10002 + 7, 0.5, 0xB0, 7, 63},        //
        {0x10002 + 128, 0.5, 0xD0, 63, 0},      // channel aftertouch
        {0x10002 + 129, 0.5, 0xE0, 0, 64},      // pitch bend centre: 8192
        {0x10002 + 129, 0.0, 0xE0, 0, 0},       // bottom
        {0x10002 + 129, 1.0, 0xE0, 127, 127},   // top, clamped to 16383
        {0x10002 + 130 + 1, 1.0, 0xB1, 1, 127}, // second channel's block
        {0x10002 + 7, 3.0, 0xB0, 7, 127},       // out-of-range values are clamped
    };
    for (const auto& c : cases)
    {
        const plugfw::MidiMsg m = plugfw::MidiMsgForControllerParam(c.id, c.value, 12);
        EXPECT_EQ(m.offset, 12);
        EXPECT_EQ(m.status, c.status) << std::hex << c.id;
        EXPECT_EQ(m.data1, c.data1) << std::hex << c.id;
        EXPECT_EQ(m.data2, c.data2) << std::hex << c.id;
    }
}

TEST(MidiControllerParams, NamesOfTheControllers)
{
    EXPECT_STREQ(plugfw::MidiControllerName(0), "BankSel.MSB");
    EXPECT_STREQ(plugfw::MidiControllerName(7), "MainVolume");
    EXPECT_STREQ(plugfw::MidiControllerName(31), "Contr. 31");
    EXPECT_STREQ(plugfw::MidiControllerName(66), "Sostenuto ");
    EXPECT_STREQ(plugfw::MidiControllerName(79), "SoundCont 10");
    EXPECT_STREQ(plugfw::MidiControllerName(95), "FX 5 Depth");
    EXPECT_STREQ(plugfw::MidiControllerName(120), "Contr. 120");
    EXPECT_STREQ(plugfw::MidiControllerName(127), "PolyModeOn");
    EXPECT_STREQ(plugfw::MidiControllerName(128), "");
}

TEST(SpeakerArrangements, WidthsAndBackAgain)
{
    const int widths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 16};
    for (int n : widths)
        EXPECT_EQ(plugfw::ChannelCountOf(plugfw::SpeakerArrangementFor(n)), n) << n;
    EXPECT_EQ(plugfw::SpeakerArrangementFor(1), 0x80000u);
    EXPECT_EQ(plugfw::SpeakerArrangementFor(2), 0x3u);
    EXPECT_EQ(plugfw::SpeakerArrangementFor(11), 0u);
    EXPECT_EQ(plugfw::SpeakerArrangementFor(0), 0u);
}

} // namespace
