// The render tool's audio files on this platform: written and read back by
// a UTF-8 name that the system's narrow code page could not spell, and a
// missing or foreign file refused with its name in the message.
#include "tools/render/host/utf8_path.h"
#include "tools/render/wav_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{

using ostrel::render::AudioData;

class AudioFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ostrel::host::Utf8Path(
                     "ostrel-audio-\xC3\xB8-" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                     // CTest runs the cases side by side: a folder each.
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string Path(const std::string& utf8Name) const
    {
        const std::u8string text = (folder / ostrel::host::Utf8Path(utf8Name)).u8string();
        return std::string(text.begin(), text.end());
    }

    std::filesystem::path folder;
};

TEST_F(AudioFiles, RoundTripThroughAUtf8Name)
{
    // "vöcal-ж-水.wav": Latin, Cyrillic and CJK in one name.
    const std::string path = Path("v\xC3\xB6"
                                  "cal-\xD0\xB6-\xE6\xB0\xB4.wav");
    AudioData out;
    out.sampleRate = 48000;
    out.channels = {{0.5, -0.25, 0.0}, {0.125, 1.0, -1.0}};
    std::string error;
    ASSERT_TRUE(ostrel::render::WriteWavFile(path, out, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(ostrel::host::Utf8Path(path)));
    AudioData in;
    ASSERT_TRUE(ostrel::render::ReadAudioFile(path, in, error)) << error;
    EXPECT_EQ(in.sampleRate, 48000);
    EXPECT_EQ(in.channels, out.channels);
}

TEST_F(AudioFiles, MissingAndForeignFilesAreRefusedByName)
{
    const std::string missing = Path("n\xC3\xB6ne.wav");
    const std::string foreign = Path("text.wav");
    std::ofstream(ostrel::host::Utf8Path(foreign)) << "plain text, no audio";
    struct Case
    {
        std::string path;
        const char* message;
    };
    for (const Case& c : {Case{missing, "no such file"}, Case{foreign, "cannot read"}})
    {
        AudioData audio;
        std::string error;
        EXPECT_FALSE(ostrel::render::ReadAudioFile(c.path, audio, error)) << c.path;
        EXPECT_NE(error.find("'" + c.path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

} // namespace
