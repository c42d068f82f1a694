// Cost of one idle tick of an instance, with its editor open (meters every
// tick, peer list and matrix every 8th: the figure is the average over the
// eight) and closed, with a number of other linked instances in the process.
#include "plugin/ostrel.h"

#include "framework/iparam.h"
#include "framework/iweb_view.h"
#include "plugin/ostrel_params.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

// An instance whose host has named its track.
class NamedOstrel : public ostrel::Ostrel
{
public:
    explicit NamedOstrel(const std::string& name)
    {
        mChannelContext.name = name;
        TrackInfoChanged();
    }
};

// Takes the scripts and only counts their bytes.
class CountingWebView : public plugfw::WebViewBackend
{
public:
    explicit CountingWebView(size_t& bytes) : mBytes(bytes) {}
    void EvaluateScript(const std::string& script) override { mBytes += script.size(); }

private:
    size_t& mBytes;
};

struct Session
{
    explicit Session(int peers)
    {
        // Keep the user's own files out of it.
        folder = std::filesystem::temp_directory_path() /
                 ("ostrel-idle-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);

        // Peers: Sources on channels 1.. and Maskers of them, attached by
        // their own idle ticks (no audio runs here).
        for (int i = 0; i < peers; ++i)
        {
            auto p = std::make_unique<NamedOstrel>("Track " + std::to_string(i));
            Set(*p, ostrel::kParamRole, i % 2 == 0 ? 1 : 2);
            Set(*p, ostrel::kParamChannel, i / 2 + 1);
            Set(*p, ostrel::kParamDepth, 40.0);
            others.push_back(std::move(p));
        }
        instance = std::make_unique<ostrel::Ostrel>();
        Set(*instance, ostrel::kParamRole, 2);
        for (int t = 0; t < 8; ++t)
        {
            for (auto& p : others)
                p->IdleTick();
            instance->IdleTick();
        }
    }

    ~Session()
    {
        instance.reset();
        others.clear();
        std::filesystem::remove_all(folder);
    }

    static void Set(ostrel::Ostrel& p, int index, double value)
    {
        p.GetParam(index)->Set(value);
        p.OnParamChange(index);
    }

    void OpenEditor()
    {
        instance->AttachWebViewBackend(std::make_unique<CountingWebView>(scriptBytes));
        instance->ContentLoaded();
        instance->IdleTick(); // the page's first refresh
    }

    std::filesystem::path folder;
    std::vector<std::unique_ptr<ostrel::Ostrel>> others;
    std::unique_ptr<ostrel::Ostrel> instance;
    size_t scriptBytes = 0;
};

void BM_IdleTickEditorOpen(benchmark::State& state)
{
    Session session(static_cast<int>(state.range(0)));
    session.OpenEditor();
    session.scriptBytes = 0;
    for (auto _ : state)
        session.instance->IdleTick();
    state.counters["script_bytes_per_tick"] = benchmark::Counter(
        static_cast<double>(session.scriptBytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_IdleTickEditorOpen)->Arg(0)->Arg(16)->Arg(63);

void BM_IdleTickEditorClosed(benchmark::State& state)
{
    Session session(static_cast<int>(state.range(0)));
    for (auto _ : state)
        session.instance->IdleTick();
}
BENCHMARK(BM_IdleTickEditorClosed)->Arg(0)->Arg(16);

} // namespace
