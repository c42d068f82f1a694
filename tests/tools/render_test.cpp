// ostrel-render and ostrel-make-demo as a user runs them: the demo tracks
// rendered through two instances in one process, the outputs measured from
// the written files, and the errors a user can make.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#ifndef OSTREL_TEST_RENDER
#error "OSTREL_TEST_RENDER must name the built render tool"
#endif

namespace
{

constexpr long kLatency = 1264;

struct Audio
{
    int rate = 0;
    std::vector<std::vector<double>> channels;
    long Frames() const { return channels.empty() ? 0 : static_cast<long>(channels[0].size()); }
};

Audio ReadAudio(const std::string& path)
{
    Audio a;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
    {
        ADD_FAILURE() << "cannot read " << path;
        return a;
    }
    std::vector<double> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_double(f, interleaved.data(), info.frames);
    sf_close(f);
    a.rate = info.samplerate;
    a.channels.assign(static_cast<size_t>(info.channels),
                      std::vector<double>(static_cast<size_t>(info.frames)));
    for (sf_count_t i = 0; i < info.frames; ++i)
        for (int c = 0; c < info.channels; ++c)
            a.channels[static_cast<size_t>(c)][static_cast<size_t>(i)] =
                interleaved[static_cast<size_t>(i * info.channels + c)];
    return a;
}

void WriteAudio(const std::string& path, const Audio& a)
{
    SF_INFO info{};
    info.samplerate = a.rate;
    info.channels = static_cast<int>(a.channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << path;
    std::vector<double> interleaved;
    for (long i = 0; i < a.Frames(); ++i)
        for (const auto& ch : a.channels)
            interleaved.push_back(ch[static_cast<size_t>(i)]);
    sf_writef_double(f, interleaved.data(), a.Frames());
    sf_close(f);
}

// Level change (dB, out against in, all channels) over frames [from, to).
double ChangeDb(const Audio& in, const Audio& out, long from, long to)
{
    double a = 0.0, b = 0.0;
    for (size_t c = 0; c < in.channels.size(); ++c)
        for (long i = from; i < to; ++i)
        {
            a += in.channels[c][static_cast<size_t>(i)] * in.channels[c][static_cast<size_t>(i)];
            b += out.channels[c][static_cast<size_t>(i)] * out.channels[c][static_cast<size_t>(i)];
        }
    return 10.0 * std::log10(b / a);
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Result
{
    int exitCode = -1;
    bool crashed = false;
    std::string out;
    std::string err;
};

// Each program gets a fresh data folder, so no user's files are touched.
class RenderTool : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/ostrel-render-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        const Result r = Run(std::string(OSTREL_TEST_MAKE_DEMO) + " " + dir + " --seconds 6");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    static void TearDownTestSuite()
    {
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    static Result Run(const std::string& command)
    {
        const std::string out = dir + "/stdout.txt";
        const std::string err = dir + "/stderr.txt";
        const int status = std::system((command + " >" + out + " 2>" + err).c_str());
        Result r;
        r.crashed = !WIFEXITED(status);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadText(out);
        r.err = ReadText(err);
        return r;
    }
    static Result Render(const std::string& args)
    {
        return Run(std::string(OSTREL_TEST_RENDER) + " " + args);
    }
    static std::string Path(const std::string& name) { return dir + "/" + name; }

    static std::string dir;
};

std::string RenderTool::dir;

TEST_F(RenderTool, TwoInstancesRenderTheDemoInOneProcess)
{
    const Result r = Render("--track " + Path("vocal.wav") + " --out " + Path("v.wav") +
                            " role=Source channel=3 --track " + Path("masker.wav") + " --out " +
                            Path("m.wav") + " role=Masker channel=3 depth=70");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("instances: 2 in one process, 2 with a run-loop timer"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("latency: 1264 samples (compensated)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("settings: Role=Masker Channel=3 Depth=70.0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("masker \"masker\" against source \"vocal\" (Channel 3)"),
              std::string::npos)
        << r.out;

    const Audio vocalIn = ReadAudio(Path("vocal.wav"));
    const Audio vocalOut = ReadAudio(Path("v.wav"));
    const Audio maskerIn = ReadAudio(Path("masker.wav"));
    const Audio maskerOut = ReadAudio(Path("m.wav"));
    ASSERT_EQ(vocalOut.Frames(), vocalIn.Frames());
    ASSERT_EQ(maskerOut.Frames(), maskerIn.Frames());
    EXPECT_EQ(vocalOut.channels.size(), 1u);
    EXPECT_EQ(maskerOut.channels.size(), 2u);
    EXPECT_EQ(vocalOut.rate, 48000);
    // A Source is never dipped: with the latency taken out it comes back as
    // it went in, sample for sample.
    for (long i = 0; i < vocalIn.Frames(); ++i)
        ASSERT_EQ(vocalOut.channels[0][static_cast<size_t>(i)],
                  vocalIn.channels[0][static_cast<size_t>(i)])
            << "frame " << i;
}

// An export that the host's main thread never interrupts, or only rarely,
// gives what real-time playback gives, to the bit: the Maskers of one Source
// share their dips in audio time.
TEST_F(RenderTool, AnExportWithoutMainThreadTicksSoundsLikePlayback)
{
    struct Export
    {
        const char* idle;
        const char* block;
        const char* summary;
    } runs[] = {{"", "512", "main thread: ticks every 20 ms of audio"},
                {"--idle-every 1000", "512", "main thread: ticks every 1000 ms of audio"},
                {"--idle-every never", "512", "main thread: never ticks during the render"},
                {"--idle-every never", "64", "main thread: never ticks during the render"}};
    std::vector<Audio> outputs;
    for (const Export& run : runs)
    {
        const std::string name = std::string("export") + std::to_string(outputs.size());
        const Result r = Render(
            std::string(run.idle) + " --block " + run.block + " --track " + Path("vocal.wav") +
            " --out " + Path(name + "v.wav") + " role=Source channel=6 priority=2 --track " +
            Path("masker.wav") + " --out " + Path(name + "a.wav") +
            " role=Masker channel=6 depth=100 --track " + Path("masker.wav") + " --out " +
            Path(name + "b.wav") + " role=Masker channel=6 depth=60");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(run.summary), std::string::npos) << r.out;
        outputs.push_back(ReadAudio(Path(name + "a.wav")));
        outputs.push_back(ReadAudio(Path(name + "b.wav")));
    }
    const Audio in = ReadAudio(Path("masker.wav"));
    EXPECT_LT(ChangeDb(in, outputs[0], 0, in.Frames()), -0.5) << "the Masker is dipped";
    for (size_t i = 2; i < outputs.size(); ++i)
        EXPECT_EQ(outputs[i].channels, outputs[i % 2].channels)
            << runs[i / 2].idle << " block " << runs[i / 2].block;
}

TEST_F(RenderTool, MaskerHearsOnlyTheSourceOfItsChannel)
{
    const std::string masker =
        " --track " + Path("masker.wav") + " role=Masker channel=3 depth=100";
    ASSERT_EQ(Render(masker + " --out " + Path("alone.wav")).exitCode, 0);
    ASSERT_EQ(Render("--track " + Path("vocal.wav") + " --out " + Path("v4.wav") +
                     " role=Source channel=4" + masker + " --out " + Path("other.wav"))
                  .exitCode,
              0);
    ASSERT_EQ(Render("--track " + Path("vocal.wav") + " --out " + Path("v3.wav") +
                     " role=Source channel=3" + masker + " --out " + Path("with.wav"))
                  .exitCode,
              0);
    const Audio alone = ReadAudio(Path("alone.wav"));
    const Audio other = ReadAudio(Path("other.wav"));
    const Audio with = ReadAudio(Path("with.wav"));
    ASSERT_EQ(alone.Frames(), with.Frames());
    // A Source on another channel changes nothing; one on its own channel
    // reaches the Masker through the process-wide registry.
    EXPECT_EQ(alone.channels, other.channels);
    EXPECT_NE(alone.channels, with.channels);
}

TEST_F(RenderTool, MaskerIsDippedWhileTheSourceSounds)
{
    // The vocal in alternating 1.5 s stretches of singing and silence.
    Audio gated = ReadAudio(Path("vocal.wav"));
    const long stretch = 72000;
    for (long i = 0; i < gated.Frames(); ++i)
        if ((i / stretch) % 2 == 1)
            gated.channels[0][static_cast<size_t>(i)] = 0.0;
    WriteAudio(Path("gated.wav"), gated);
    const Result r = Render("--track " + Path("gated.wav") + " --out " + Path("g.wav") +
                            " role=Source channel=5 --track " + Path("masker.wav") + " --out " +
                            Path("gm.wav") + " role=Masker channel=5 depth=100");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio in = ReadAudio(Path("masker.wav"));
    const Audio out = ReadAudio(Path("gm.wav"));
    ASSERT_EQ(in.Frames(), out.Frames());
    // The middle second of each stretch, away from attack and release.
    double singing = 0.0, silent = 0.0;
    int nSinging = 0, nSilent = 0;
    for (long start = 0; start + stretch <= in.Frames(); start += stretch)
    {
        const double change = ChangeDb(in, out, start + stretch / 6, start + stretch * 5 / 6);
        if ((start / stretch) % 2 == 0)
            singing += change, ++nSinging;
        else
            silent += change, ++nSilent;
    }
    ASSERT_GT(nSinging, 0);
    ASSERT_GT(nSilent, 0);
    singing /= nSinging;
    silent /= nSilent;
    // Only the bands the masker shares with the voice are dipped, so the
    // broadband drop is modest; with the source silent the masker is left
    // alone.
    EXPECT_LT(singing, silent - 0.5);
    EXPECT_NEAR(silent, 0.0, 0.25);
}

// The band summary printed under a masker line: the text after `label`
// ("while the source sounds: " or "while it is quiet: ") up to the line end.
std::string BandLine(const std::string& out, const std::string& label)
{
    const size_t at = out.find("  " + label);
    if (at == std::string::npos)
        return std::string();
    const size_t from = at + 2 + label.size();
    return out.substr(from, out.find('\n', from) - from);
}

// The number after `key` in `line` (NaN when missing).
double NumberAfter(const std::string& line, const std::string& key)
{
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return std::nan("");
    return std::strtod(line.c_str() + at + key.size(), nullptr);
}

// "... around 1.3 kHz" or "... around 640 Hz", in Hz (NaN when missing).
double DeepestDipHz(const std::string& line)
{
    const size_t at = line.find("around ");
    if (at == std::string::npos)
        return std::nan("");
    char* end = nullptr;
    const double v = std::strtod(line.c_str() + at + 7, &end);
    return std::string(end).rfind(" kHz", 0) == 0 ? 1000.0 * v : v;
}

TEST_F(RenderTool, SummaryNamesWhereTheMaskerIsDipped)
{
    // The demo's guitar competes with the voice around its formants: while
    // the voice sings, a band between 300 Hz and 4 kHz goes clearly down, by
    // more than the mid group and the whole track; in the pauses nothing does.
    const Result r = Render("--track " + Path("vocal.wav") + " --out " + Path("dv.wav") +
                            " role=Source channel=6 --track " + Path("masker.wav") + " --out " +
                            Path("dm.wav") + " role=Masker channel=6 depth=70");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string sings = BandLine(r.out, "while the source sounds: ");
    const std::string quiet = BandLine(r.out, "while it is quiet: ");
    ASSERT_FALSE(sings.empty()) << r.out;
    ASSERT_FALSE(quiet.empty()) << r.out;
    const double deepest = NumberAfter(sings, "deepest dip: ");
    const double mid = NumberAfter(sings, "300 Hz-4 kHz ");
    const double overall = NumberAfter(r.out, "change while the source sounds ");
    EXPECT_LT(deepest, -4.0) << sings;
    EXPECT_LE(deepest, mid) << sings;
    EXPECT_LT(mid, overall) << r.out;
    EXPECT_LT(overall, -1.0) << r.out;
    const double hz = DeepestDipHz(sings);
    EXPECT_GE(hz, 300.0) << sings;
    EXPECT_LE(hz, 4000.0) << sings;
    EXPECT_NE(quiet.find("deepest dip: 0.0 dB"), std::string::npos) << quiet;
    EXPECT_NEAR(NumberAfter(quiet, "300 Hz-4 kHz "), 0.0, 0.1) << quiet;

    // A Source that never sounds: the Masker is untouched, no band is dipped.
    Audio silent = ReadAudio(Path("vocal.wav"));
    for (auto& v : silent.channels[0])
        v = 0.0;
    WriteAudio(Path("silent.wav"), silent);
    const Result s = Render("--track " + Path("silent.wav") + " --out " + Path("sv.wav") +
                            " role=Source channel=7 --track " + Path("masker.wav") + " --out " +
                            Path("sm.wav") + " role=Masker channel=7 depth=100");
    ASSERT_EQ(s.exitCode, 0) << s.err;
    EXPECT_NE(BandLine(s.out, "while the source sounds: ").find("deepest dip: 0.0 dB"),
              std::string::npos)
        << s.out;
    EXPECT_NE(BandLine(s.out, "while it is quiet: ").find("deepest dip: 0.0 dB"), std::string::npos)
        << s.out;
    EXPECT_EQ(ReadAudio(Path("sm.wav")).channels, ReadAudio(Path("masker.wav")).channels);
}

TEST_F(RenderTool, OffPassesThroughAtAnyBlockSizeAndPrecision)
{
    const Audio in = ReadAudio(Path("masker.wav"));
    for (const std::string options : {"--block 64", "--block 1000 --precision 64", "--realtime"})
    {
        const Result r =
            Render(options + " --track " + Path("masker.wav") + " --out " + Path("off.wav"));
        ASSERT_EQ(r.exitCode, 0) << options << ": " << r.err;
        const Audio out = ReadAudio(Path("off.wav"));
        // The file holds 32-bit floats: the 24-bit input survives exactly.
        EXPECT_EQ(out.channels, in.channels) << options;
    }
}

TEST_F(RenderTool, WithoutCompensationTheLatencyStaysInTheFile)
{
    const Result r =
        Render("--no-compensation --track " + Path("vocal.wav") + " --out " + Path("late.wav"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("latency: 1264 samples (kept)"), std::string::npos);
    const Audio in = ReadAudio(Path("vocal.wav"));
    const Audio out = ReadAudio(Path("late.wav"));
    ASSERT_EQ(out.Frames(), in.Frames() + kLatency);
    for (long i = 0; i < kLatency; ++i)
        ASSERT_EQ(out.channels[0][static_cast<size_t>(i)], 0.0);
    for (long i = 0; i < in.Frames(); ++i)
        ASSERT_EQ(out.channels[0][static_cast<size_t>(i + kLatency)],
                  in.channels[0][static_cast<size_t>(i)]);
}

TEST_F(RenderTool, SidechainFromASecondFile)
{
    const Result r = Render("--track " + Path("masker.wav") + " --out " + Path("sc.wav") +
                            " --sidechain " + Path("vocal.wav") +
                            " role=Masker sidechain=on depth=100 --summary " + Path("summary.txt"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("buses: 2 in, 2 out, sidechain 1 from"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("against its sidechain"), std::string::npos) << r.out;
    EXPECT_EQ(ReadText(Path("summary.txt")), r.out);
    EXPECT_EQ(ReadAudio(Path("sc.wav")).Frames(), ReadAudio(Path("masker.wav")).Frames());
}

struct ErrorCase
{
    const char* label;
    std::string args;
    const char* message;
};

TEST_F(RenderTool, MistakesGiveAMessageAndAFailingExit)
{
    // A 44.1 kHz file (the demo tool makes its folder) and a file that is
    // not audio.
    ASSERT_EQ(
        Run(std::string(OSTREL_TEST_MAKE_DEMO) + " " + Path("r44") + " --rate 44100 --seconds 1")
            .exitCode,
        0);
    std::ofstream(Path("junk.wav")) << "this is not a sound file";

    const std::string vocal = Path("vocal.wav");
    const ErrorCase cases[] = {
        {"missing input", "--track " + Path("nothere.wav"), "no such file"},
        {"unknown parameter", "--track " + vocal + " colour=red", "unknown parameter 'colour'"},
        {"unknown value", "--track " + vocal + " role=Maskr", "unknown value 'Maskr' for Role"},
        {"value out of range", "--track " + vocal + " channel=65", "outside the range of Channel"},
        {"not a number", "--track " + vocal + " depth=deep", "unknown value 'deep' for Depth"},
        {"unreadable file", "--track " + Path("junk.wav"), "cannot read"},
        {"rate mismatch", "--track " + vocal + " --track " + Path("r44/masker.wav"),
         "sample rate mismatch"},
        {"sidechain rate mismatch", "--track " + vocal + " --sidechain " + Path("r44/vocal.wav"),
         "sample rate mismatch"},
        {"missing plug-in", "--plugin " + Path("none.vst3") + " --track " + vocal, "no plug-in at"},
        {"no track", "", "no track given"},
        {"setting before a track", "depth=3 --track " + vocal, "put it after --track"},
        {"unknown option", "--loud --track " + vocal, "unknown option '--loud'"},
        {"bad block size", "--block 0 --track " + vocal, "block size"},
        {"bad precision", "--precision 16 --track " + vocal, "precision must be 32 or 64"},
        {"bad idle rate", "--idle-every soon --track " + vocal, "--idle-every takes"},
        {"idle rate of zero", "--idle-every 0 --track " + vocal, "--idle-every takes"},
        {"unwritable output", "--track " + vocal + " --out " + Path("no/such/dir/x.wav"),
         "cannot write"},
    };
    for (const auto& c : cases)
    {
        const Result r = Render(c.args);
        EXPECT_FALSE(r.crashed) << c.label;
        EXPECT_NE(r.exitCode, 0) << c.label;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << ": " << r.err;
        EXPECT_NE(r.err.find("ostrel-render: "), std::string::npos) << c.label;
    }
}

} // namespace
