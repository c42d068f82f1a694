// What an open editor costs: a small host that loads the built bundle, plays
// a vocal-like Source and a guitar-like Masker in real time on an audio
// thread, opens the Masker's editor in an X window (its web view helper and
// the browser's processes start beside it), and after a warm-up reads the
// processor time of those processes over the measured seconds. With
// --editors 2 the Source's editor is open too, in a window beside it. Run
// under a virtual display with software rendering (bench/editor_cpu.sh).
//
//   ostrel-editor-cpu [--plugin Ostrel.vst3] [--seconds 20] [--warmup 5]
//                     [--size 1084x543] [--screenshot file.ppm] [--host-bypass]
//                     [--editors 1|2]
#include "tools/render/host/host_context.h"
#include "tools/render/host/parameter_changes.h"
#include "tools/render/host/plug_frame.h"
#include "tools/render/host/plugin_instance.h"
#include "tools/render/host/vst3_module.h"

#include "pluginterfaces/gui/iplugview.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib's macros must not meet the headers above.
#include "tests/vst3/x11_host_window.h"

using namespace Steinberg;
namespace host = ostrel::host;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

struct Options
{
    std::string plugin = OSTREL_DEFAULT_BUNDLE;
    double seconds = 20.0;
    double warmup = 5.0;
    unsigned width = 1084;
    unsigned height = 543;
    std::string screenshot;
    bool hostBypass = false;
    int editors = 1;
};

bool ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--plugin" && next)
            o.plugin = argv[++i];
        else if (a == "--seconds" && next)
            o.seconds = std::atof(argv[++i]);
        else if (a == "--warmup" && next)
            o.warmup = std::atof(argv[++i]);
        else if (a == "--size" && next && std::sscanf(argv[++i], "%ux%u", &o.width, &o.height) == 2)
            continue;
        else if (a == "--screenshot" && next)
            o.screenshot = argv[++i];
        else if (a == "--host-bypass")
            o.hostBypass = true;
        else if (a == "--editors" && next)
            o.editors = std::atoi(argv[++i]);
        else
            return false;
    }
    return o.seconds > 0.0 && o.warmup >= 0.0 && o.editors >= 1 && o.editors <= 2;
}

// Processor time (seconds) and proportional memory (kB) of one process.
struct Usage
{
    std::string name;
    double cpuSeconds = 0.0;
    long pssKb = 0;
};

std::map<int, Usage> Descendants(int root)
{
    // Parent of every process, then the tree below `root`.
    std::map<int, int> parentOf;
    std::map<int, std::string> nameOf;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return {};
    while (dirent* e = readdir(proc))
    {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        nameOf[pid] = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        parentOf[pid] = ppid;
    }
    closedir(proc);
    std::map<int, Usage> out;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& [pid, ppid] : parentOf)
    {
        bool below = false;
        for (int p = ppid, hops = 0; p > 0 && hops < 64;
             p = parentOf.count(p) ? parentOf[p] : 0, ++hops)
            if (p == root)
            {
                below = true;
                break;
            }
        if (!below)
            continue;
        Usage u;
        u.name = nameOf[pid];
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        std::string field;
        double utime = 0.0;
        double stime = 0.0;
        for (int i = 3; i <= 15 && rest >> field; ++i)
        {
            if (i == 14)
                utime = std::atof(field.c_str());
            if (i == 15)
                stime = std::atof(field.c_str());
        }
        u.cpuSeconds = (utime + stime) / tick;
        std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps_rollup");
        while (std::getline(smaps, line))
            if (line.rfind("Pss:", 0) == 0)
                u.pssKb = std::atol(line.c_str() + 4);
        out[pid] = u;
    }
    return out;
}

double OwnCpuSeconds()
{
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    double total = 0.0;
    for (int i = 3; i <= 15 && rest >> field; ++i)
        if (i == 14 || i == 15)
            total += std::atof(field.c_str());
    return total / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A voice-like Source (a sung vowel in syllables) and a strummed,
// guitar-like Masker (noise bursts through a resonant body), so the meters
// move all the time.
class Signals
{
public:
    void Next(std::vector<double>& source, std::vector<double>& masker)
    {
        for (int i = 0; i < kBlock; ++i, ++mT)
        {
            const double t = static_cast<double>(mT) / kRate;
            const double syllable = std::fmod(t, 0.42) < 0.3 ? 1.0 : 0.0;
            mVoiceEnv += 0.002 * (syllable - mVoiceEnv);
            double v = 0.0;
            for (int h = 1; h <= 20; ++h)
            {
                const double f = 170.0 * h;
                const double formant = std::exp(-std::pow((f - 700.0) / 300.0, 2)) +
                                       0.6 * std::exp(-std::pow((f - 1200.0) / 400.0, 2)) +
                                       0.3 * std::exp(-std::pow((f - 2600.0) / 600.0, 2));
                v += formant * std::sin(2.0 * std::numbers::pi * f * t);
            }
            source[static_cast<size_t>(i)] = 0.08 * mVoiceEnv * v;

            mSeed = mSeed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(mSeed) / 4294967296.0 - 0.5;
            if (std::fmod(t, 0.25) < 1.0 / kRate)
                mStrum = 1.0;
            mStrum *= 0.99985;
            // A two-pole body around 900 Hz.
            const double r = 0.995;
            const double w = 2.0 * std::numbers::pi * 900.0 / kRate;
            const double y = noise * mStrum + 2.0 * r * std::cos(w) * mY1 - r * r * mY2;
            mY2 = mY1;
            mY1 = y;
            masker[static_cast<size_t>(i)] = 0.02 * y + 0.05 * noise * mStrum;
        }
    }

private:
    long mT = 0;
    double mVoiceEnv = 0.0;
    double mStrum = 0.0;
    double mY1 = 0.0;
    double mY2 = 0.0;
    uint32_t mSeed = 12345;
};

void SetParam(host::ParameterChanges& changes, host::PluginInstance& plugin, Vst::ParamID id,
              double normalised)
{
    changes.Add(id, 0, normalised);
    plugin.Controller()->setParamNormalized(id, normalised);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o))
    {
        std::fprintf(stderr,
                     "usage: %s [--plugin Ostrel.vst3] [--seconds 20] [--warmup 5] "
                     "[--size WxH] [--screenshot file.ppm] [--host-bypass] [--editors 1|2]\n",
                     argv[0]);
        return 2;
    }

    // A data folder of its own: a user who has seen the first-run guide, and
    // no trace left in the real one.
    char folder[] = "/tmp/ostrel-editor-cpu-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string dataFolder = std::string(folder) + "/Talmesh";
    mkdir(dataFolder.c_str(), 0700);
    std::ofstream(dataFolder + "/Ostrel.onboarded") << "1";
    setenv("XDG_CONFIG_HOME", folder, 1);

    host::Vst3Module module;
    std::string error;
    if (!module.Load(o.plugin, error))
    {
        std::fprintf(stderr, "cannot load %s: %s\n", o.plugin.c_str(), error.c_str());
        return 1;
    }
    host::HostContext context("ostrel-editor-cpu");
    auto source = host::PluginInstance::Create(module.Factory(), 0, &context, error);
    auto masker =
        source ? host::PluginInstance::Create(module.Factory(), 0, &context, error) : nullptr;
    if (!masker)
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (auto* p : {source.get(), masker.get()})
        if (!p->SetBusLayout({}, error) || !p->Prepare(kRate, kBlock, false, error, Vst::kRealtime))
        {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }

    // Source and Masker on channel 1, Depth 70 %.
    host::ParameterChanges sourceChanges;
    host::ParameterChanges maskerChanges;
    SetParam(sourceChanges, *source, 0, 1.0 / 3.0);
    SetParam(maskerChanges, *masker, 0, 2.0 / 3.0);
    SetParam(maskerChanges, *masker, 2, 0.7);
    if (o.hostBypass)
        SetParam(maskerChanges, *masker, 0x10000, 1.0);

    // The Masker's editor, and the Source's beside it (not over it: what a
    // window hides is not painted).
    ostrel::test::X11HostWindow windows[2];
    for (int i = 0; i < o.editors; ++i)
        if (!windows[i].Open(i * static_cast<int>(o.width + 16), 0, o.width, o.height, 0x000000))
        {
            std::fprintf(stderr, "no X display\n");
            return 1;
        }
    ostrel::test::X11HostWindow& window = windows[0];

    // Audio in real time on its own thread.
    std::atomic<bool> playing{true};
    std::thread audio(
        [&]
        {
            Signals signals;
            std::vector<double> src(kBlock), msk(kBlock);
            std::vector<double> out0(kBlock), out1(kBlock), out2(kBlock), out3(kBlock);
            auto due = Clock::now();
            bool first = true;
            while (playing.load())
            {
                signals.Next(src, msk);
                const double* srcIn[] = {src.data(), src.data()};
                const double* mskIn[] = {msk.data(), msk.data()};
                double* srcOut[] = {out0.data(), out1.data()};
                double* mskOut[] = {out2.data(), out3.data()};
                source->Process(srcIn, nullptr, srcOut, kBlock, first ? &sourceChanges : nullptr);
                masker->Process(mskIn, nullptr, mskOut, kBlock, first ? &maskerChanges : nullptr);
                first = false;
                due += std::chrono::microseconds(static_cast<long>(1e6 * kBlock / kRate));
                std::this_thread::sleep_until(due);
            }
        });

    host::PluginInstance* edited[2] = {masker.get(), source.get()};
    IPlugView* views[2] = {};
    host::PlugFrame frames[2];
    for (int i = 0; i < o.editors; ++i)
    {
        IPlugView* view = edited[i]->Controller()->createView("editor");
        views[i] = view;
        view->setFrame(&frames[i]);
        if (o.width != 1084 || o.height != 543)
        {
            ViewRect r(0, 0, static_cast<int32>(o.width), static_cast<int32>(o.height));
            view->onSize(&r);
        }
        if (view->attached(reinterpret_cast<void*>(windows[i].Id()),
                           kPlatformTypeX11EmbedWindowID) != kResultTrue)
        {
            std::fprintf(stderr, "the editor did not attach\n");
            playing = false;
            audio.join();
            return 1;
        }
    }

    // The host's main thread: its run loops in real time.
    auto runFor = [&](double seconds)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        auto last = Clock::now();
        while (Clock::now() < end)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto now = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(now - last).count();
            last = now;
            context.RunLoop().Advance(ms);
            for (int i = 0; i < o.editors; ++i)
                frames[i].RunLoop().Advance(ms);
        }
    };

    runFor(o.warmup);
    const int self = static_cast<int>(getpid());
    const std::map<int, Usage> before = Descendants(self);
    const double ownBefore = OwnCpuSeconds();
    const auto start = Clock::now();
    runFor(o.seconds);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const std::map<int, Usage> after = Descendants(self);
    const double own = OwnCpuSeconds() - ownBefore;

    double total = 0.0;
    long pss = 0;
    std::string parts;
    for (const auto& [pid, u] : after)
    {
        const auto b = before.find(pid);
        const double used = u.cpuSeconds - (b != before.end() ? b->second.cpuSeconds : 0.0);
        total += used;
        pss += u.pssKb;
        char text[160];
        std::snprintf(text, sizeof text, "%s%s %.1f %%", parts.empty() ? "" : ", ", u.name.c_str(),
                      100.0 * used / elapsed);
        parts += text;
    }
    std::printf("%d editor%s open %.1f s with audio playing: helper and web processes %.1f %% of "
                "one core (%s), %.0f MB (PSS)\n",
                o.editors, o.editors > 1 ? "s" : "", elapsed, 100.0 * total / elapsed,
                parts.c_str(), static_cast<double>(pss) / 1024.0);
    std::printf("host process (audio of two instances, their idle work): %.1f %% of one core\n",
                100.0 * own / elapsed);

    if (!o.screenshot.empty())
    {
        unsigned w = 0;
        unsigned h = 0;
        const std::vector<uint32_t> pixels = window.Pixels(w, h);
        if (std::FILE* out = std::fopen(o.screenshot.c_str(), "wb"))
        {
            std::fprintf(out, "P6 %u %u 255\n", w, h);
            for (uint32_t p : pixels)
            {
                const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                              static_cast<unsigned char>(p >> 8),
                                              static_cast<unsigned char>(p)};
                std::fwrite(rgb, 1, 3, out);
            }
            std::fclose(out);
        }
    }

    for (int i = 0; i < o.editors; ++i)
    {
        views[i]->removed();
        views[i]->setFrame(nullptr);
        views[i]->release();
    }
    playing = false;
    audio.join();
    std::filesystem::remove_all(folder);
    return 0;
}
