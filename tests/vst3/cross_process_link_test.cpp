// The link across host processes, with real processes: a host that runs
// each plug-in in a process of its own (this test program, starting
// ostrel-test-peer processes and stepping them block by block) links a
// Source and a Masker across them as in one process; processes of two hosts,
// or siblings that a shell started, do not link; a Source process killed
// with SIGKILL frees its channel and the Masker lets go of its dips; the
// user's preference, changed while they play, links or parts them within a
// second.
#include "bundle_fixture.h"

#include "engine/band_layout.h"
#include "engine/filter_banks.h"
#include "peer_process/peer_material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef OSTREL_TEST_PEER
#error "OSTREL_TEST_PEER must name the built peer process"
#endif

using namespace Steinberg;

namespace ostrel::test
{
namespace
{

constexpr int kChannel = 23;
// The name the peers' host gives itself: this program's, so that they take
// it for their host, as a plug-in process takes the host that started it.
constexpr const char* kThisHost = "test_vst3";

class Peer
{
public:
    Peer(const std::string& hostName, const char* role, int channel, bool viaShell = false)
        : mOut("/tmp/ostrel-peer-" + std::to_string(getpid()) + "-" + std::to_string(++sCount))
    {
        int toPeer[2];
        int fromPeer[2];
        // Close-on-exec: another peer must not keep this one's pipes open.
        if (pipe2(toPeer, O_CLOEXEC) != 0 || pipe2(fromPeer, O_CLOEXEC) != 0)
            return;
        const std::string channelText = std::to_string(channel);
        mPid = fork();
        if (mPid == 0)
        {
            dup2(toPeer[0], STDIN_FILENO);
            dup2(fromPeer[1], STDOUT_FILENO);
            for (int fd : {toPeer[0], toPeer[1], fromPeer[0], fromPeer[1]})
                close(fd);
            if (viaShell)
                // The shell stays the peer's parent (a command follows it).
                execl("/bin/sh", "sh", "-c", "\"$0\" \"$@\"; true", OSTREL_TEST_PEER,
                      OSTREL_TEST_BUNDLE, hostName.c_str(), role, channelText.c_str(), mOut.c_str(),
                      static_cast<char*>(nullptr));
            else
                execl(OSTREL_TEST_PEER, OSTREL_TEST_PEER, OSTREL_TEST_BUNDLE, hostName.c_str(),
                      role, channelText.c_str(), mOut.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toPeer[0]);
        close(fromPeer[1]);
        mTo = toPeer[1];
        mFrom = fromPeer[0];
    }
    ~Peer()
    {
        if (mPid > 0)
            Kill();
        std::remove(mOut.c_str());
    }

    // One block; false once the peer is gone.
    bool Step()
    {
        char byte = 'p';
        return write(mTo, &byte, 1) == 1 && read(mFrom, &byte, 1) == 1;
    }
    // Ends the peer and returns what it rendered.
    std::vector<double> Finish()
    {
        close(mTo);
        close(mFrom);
        int status = 0;
        waitpid(mPid, &status, 0);
        mPid = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::ifstream file(mOut, std::ios::binary);
        std::vector<double> samples;
        double x = 0.0;
        while (file.read(reinterpret_cast<char*>(&x), sizeof x))
            samples.push_back(x);
        return samples;
    }
    void Kill()
    {
        kill(mPid, SIGKILL);
        close(mTo);
        close(mFrom);
        waitpid(mPid, nullptr, 0);
        mPid = -1;
    }

private:
    static inline int sCount = 0;
    std::string mOut;
    pid_t mPid = -1;
    int mTo = -1;
    int mFrom = -1;
};

// The Masker's input, as its peer makes it.
std::vector<double> MaskerInput(size_t frames)
{
    peer::Material material(false);
    std::vector<double> x(frames);
    for (double& s : x)
        s = material.next();
    return x;
}

// Per-band level change of `output` against `input` over [from, to), in dB.
std::vector<double> BandChanges(const std::vector<double>& input, const std::vector<double>& output,
                                size_t from, size_t to)
{
    double edges[kEdgeCount];
    computeBandEdges(edges);
    BandPassBank filter[2];
    for (BandPassBank& f : filter)
    {
        f.design(edges, peer::kRate);
        f.clearState();
    }
    double before[kBandCount] = {};
    double after[kBandCount] = {};
    double y[kBandCount];
    for (size_t t = 0; t + kLatency < std::min(to, output.size()); ++t)
    {
        filter[0].step(input[t], y);
        for (int k = 0; k < kBandCount && t >= from; ++k)
            before[k] += y[k] * y[k];
        filter[1].step(output[t + kLatency], y);
        for (int k = 0; k < kBandCount && t >= from; ++k)
            after[k] += y[k] * y[k];
    }
    std::vector<double> change(kBandCount);
    for (int k = 0; k < kBandCount; ++k)
        change[static_cast<size_t>(k)] =
            10.0 * std::log10((after[k] + 1e-30) / (before[k] + 1e-30));
    return change;
}

double Deepest(const std::vector<double>& change)
{
    return *std::min_element(change.begin(), change.end());
}

constexpr int kBlocks = 3 * 48000 / peer::kBlock;

// Source and Masker peers stepped in turn for `blocks` blocks.
std::vector<double> RenderPair(const std::string& sourceHost, const std::string& maskerHost,
                               bool viaShell = false)
{
    Peer source(sourceHost, "source", kChannel, viaShell);
    Peer masker(maskerHost, "masker", kChannel, viaShell);
    for (int b = 0; b < kBlocks; ++b)
    {
        EXPECT_TRUE(source.Step());
        EXPECT_TRUE(masker.Step());
    }
    source.Finish();
    return masker.Finish();
}

TEST(LinkAcrossProcesses, AMaskerInAnotherProcessDipsAsInOne)
{
    // The same two tracks as instances of this program: one process.
    std::vector<double> inOne;
    {
        Instance source(kThisHost);
        Instance masker(kThisHost);
        for (Instance* i : {&source, &masker})
            i->Prepare(1, peer::kBlock);
        peer::Material voice(true);
        peer::Material pad(false);
        std::vector<double> in(peer::kBlock);
        for (int b = 0; b < kBlocks; ++b)
        {
            for (double& x : in)
                x = voice.next();
            host::ParameterChanges sourceSettings;
            sourceSettings.Add(kRole, 0, 1.0 / 3.0);
            sourceSettings.Add(kChannel, 0, (kChannel - 1) / 63.0);
            source.Run({in}, b == 0 ? &sourceSettings : nullptr);
            for (double& x : in)
                x = pad.next();
            host::ParameterChanges maskerSettings;
            maskerSettings.Add(kRole, 0, 2.0 / 3.0);
            maskerSettings.Add(kChannel, 0, (kChannel - 1) / 63.0);
            maskerSettings.Add(kDepth, 0, 1.0);
            const auto out = masker.Run({in}, b == 0 ? &maskerSettings : nullptr);
            inOne.insert(inOne.end(), out[0].begin(), out[0].end());
        }
    }
    const std::vector<double> inTwo = RenderPair(kThisHost, kThisHost);
    ASSERT_EQ(inTwo.size(), inOne.size());
    const std::vector<double> input = MaskerInput(inOne.size());
    const auto one = BandChanges(input, inOne, inOne.size() / 2, inOne.size());
    const auto two = BandChanges(input, inTwo, inOne.size() / 2, inOne.size());
    EXPECT_LT(Deepest(one), -3.0) << "the Masker dips in one process";
    for (int k = 0; k < kBandCount; ++k)
        EXPECT_NEAR(two[static_cast<size_t>(k)], one[static_cast<size_t>(k)], 1.0) << "band " << k;
}

TEST(LinkAcrossProcesses, ProcessesOfTwoHostsOrOfAShellDoNotLink)
{
    struct Case
    {
        const char* what;
        const char* sourceHost;
        const char* maskerHost;
        bool viaShell;
    } cases[] = {{"two hosts", "Host A", "Host B", false},
                 {"siblings a shell started", kThisHost, kThisHost, true}};
    for (const Case& c : cases)
    {
        const std::vector<double> out = RenderPair(c.sourceHost, c.maskerHost, c.viaShell);
        const std::vector<double> input = MaskerInput(out.size());
        EXPECT_GT(Deepest(BandChanges(input, out, out.size() / 2, out.size())), -0.5) << c.what;
    }
}

TEST(LinkAcrossProcesses, AKilledSourceFreesItsChannelAndTheMaskerLetsGo)
{
    Peer source(kThisHost, "source", kChannel);
    Peer masker(kThisHost, "masker", kChannel);
    const int second = 48000 / peer::kBlock;
    for (int b = 0; b < 2 * second; ++b)
    {
        ASSERT_TRUE(source.Step());
        ASSERT_TRUE(masker.Step());
    }
    source.Kill();
    // The Masker goes on alone; its idle ticks find the Source's process gone.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int alone = 0;
    while (alone < 6 * second || std::chrono::steady_clock::now() < until)
    {
        ASSERT_TRUE(masker.Step());
        ++alone;
        if (alone >= 6 * second)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // A new Source takes the channel at once (not 5 s later) and is followed.
    Peer next(kThisHost, "source", kChannel);
    for (int b = 0; b < 2 * second; ++b)
    {
        ASSERT_TRUE(next.Step());
        ASSERT_TRUE(masker.Step());
    }
    next.Finish();
    const std::vector<double> out = masker.Finish();
    const std::vector<double> input = MaskerInput(out.size());
    const size_t blockFrames = peer::kBlock;
    const size_t killedAt = 2 * second * blockFrames;
    const size_t nextAt = killedAt + static_cast<size_t>(alone) * blockFrames;
    EXPECT_LT(Deepest(BandChanges(input, out, killedAt / 2, killedAt)), -3.0) << "linked";
    EXPECT_GT(Deepest(BandChanges(input, out, killedAt + 3 * second * blockFrames, nextAt)), -0.5)
        << "dips released after the kill";
    EXPECT_LT(Deepest(BandChanges(input, out, nextAt + second * blockFrames, out.size())), -3.0)
        << "the new Source is followed";
}

// The user switches "Link across processes" while a Source and a Masker
// of two unrelated hosts play in processes of their own: always links them
// within a second, never parts them again; the Masker's dips come and go
// with it.
TEST(LinkAcrossProcesses, APreferenceChangedElsewhereIsFollowedWhilePlaying)
{
    namespace fs = std::filesystem;
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = saved != nullptr ? saved : "";
    const fs::path home = fs::temp_directory_path() / ("ostrel-xproc-" + std::to_string(getpid()));
    fs::create_directories(home / "Talmesh");
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const fs::path file = home / "Talmesh" / "Ostrel.link";
    auto prefer = [&file](const char* word)
    {
        std::ofstream(file.string() + ".tmp") << word;
        fs::rename(file.string() + ".tmp", file);
    };

    std::vector<double> out;
    size_t linkedAt = 0;
    size_t partedAt = 0;
    {
        Peer source("Host A", "source", kChannel);
        Peer masker("Host B", "masker", kChannel);
        const int second = 48000 / peer::kBlock;
        // In real time: the preference is read on the clock, not per block.
        auto play = [&](int blocks)
        {
            for (int b = 0; b < blocks; ++b)
            {
                const auto due = std::chrono::steady_clock::now() +
                                 std::chrono::microseconds(1000000 * peer::kBlock / 48000);
                ASSERT_TRUE(source.Step());
                ASSERT_TRUE(masker.Step());
                std::this_thread::sleep_until(due);
            }
        };
        play(second);
        prefer("always");
        linkedAt = static_cast<size_t>(second) * peer::kBlock;
        play(2 * second);
        prefer("never");
        partedAt = static_cast<size_t>(3 * second) * peer::kBlock;
        play(2 * second);
        source.Finish();
        out = masker.Finish();
    }
    if (saved != nullptr)
        setenv("XDG_CONFIG_HOME", savedHome.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(home);

    const std::vector<double> input = MaskerInput(out.size());
    const size_t second = 48000;
    EXPECT_GT(Deepest(BandChanges(input, out, 0, linkedAt)), -0.5) << "two hosts: not linked";
    EXPECT_LT(Deepest(BandChanges(input, out, linkedAt + second, partedAt)), -3.0)
        << "always: linked within a second";
    EXPECT_GT(Deepest(BandChanges(input, out, partedAt + second, out.size())), -0.5)
        << "never: parted within a second, the dips let go";
}

} // namespace
} // namespace ostrel::test
