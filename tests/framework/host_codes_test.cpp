// Host identification from the host application's name.
#include "framework/host_codes.h"
#include "framework/plugin_api_base.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct HostCase
{
    const char* name;
    int code;
};

class HostCodes : public ::testing::TestWithParam<HostCase>
{
};

TEST_P(HostCodes, NameGivesCode)
{
    EXPECT_EQ(plugfw::HostCodeOf(GetParam().name), GetParam().code) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostCodes,
    ::testing::Values(HostCase{"REAPER", 1}, HostCase{"Cubase 13", 3},
                      HostCase{"WaveLab Elements 12", 32}, HostCase{"WaveLab Pro", 31},
                      HostCase{"Ardour 8", 28}, HostCase{"Mixbus", 45}, HostCase{"Studio One", 0},
                      HostCase{"", 0}, HostCase{"Bitwig Studio", 34},
                      HostCase{"VST3PluginTestHost", 27}, HostCase{"Blue Cat's VST Host", 44},
                      HostCase{"Standalone", 24}, HostCase{"Carla", 0},
                      // "live" matches inside other words and beats later entries
                      HostCase{"Olivetti Ardour", 9}, HostCase{"Live 12", 9},
                      // earlier entries beat "live"
                      HostCase{"Reaper Live", 1}, HostCase{"PreSonus Studio One", 26}));

TEST(HostCodesLength, OnlyTheFirst255CharactersCount)
{
    const std::string pad(250, 'x');
    EXPECT_EQ(plugfw::HostCodeOf(pad + "reaper"), 0);
    EXPECT_EQ(plugfw::HostCodeOf(pad + "bias"), 19);
}

TEST(HostIdentification, SetHostStoresNameCodeAndVersionThenNotifies)
{
    struct Plugin : plugfw::PluginApiBase
    {
        Plugin() : PluginApiBase(plugfw::Config{}) {}
        void OnHostIdentified() override { codeSeen = GetHost(); }
        int codeSeen = -2;
    } plugin;
    EXPECT_EQ(plugin.GetHost(), plugfw::kHostUninit);
    plugin.SetHost("ARDOUR", 0x00080000);
    EXPECT_EQ(plugin.GetHost(), plugfw::kHostArdour);
    EXPECT_EQ(plugin.codeSeen, plugfw::kHostArdour);
    EXPECT_EQ(plugin.GetHostName(), "ARDOUR");
    EXPECT_EQ(plugin.GetHostVersion(), 0x00080000);
}

} // namespace
