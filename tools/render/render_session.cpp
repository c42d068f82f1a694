#include "tools/render/render_session.h"

#include "tools/render/band_change.h"
#include "tools/render/host/component_handler.h"
#include "tools/render/host/host_context.h"
#include "tools/render/host/plugin_instance.h"
#include "tools/render/host/utf8_path.h"
#include "tools/render/host/vst3_module.h"
#include "tools/render/parameter_setting.h"
#include "tools/render/wav_file.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>

using namespace Steinberg;

namespace ostrel::render
{

namespace
{

struct Track
{
    TrackOptions options;
    AudioData input;
    AudioData sidechain;
    AudioData output;
    std::unique_ptr<host::PluginInstance> instance;
    host::ComponentHandler handler;
    std::vector<ResolvedSetting> settings;
    host::BusLayout layout;
    long latency = 0;
};

class Failure
{
public:
    explicit Failure(std::string message) : mMessage(std::move(message)) {}
    const std::string& Message() const { return mMessage; }

private:
    std::string mMessage;
};

std::string formatDb(double db)
{
    if (!std::isfinite(db))
        return db < 0 ? "-inf" : "+inf";
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << db;
    return s.str();
}

std::string formatChange(double db)
{
    if (!std::isfinite(db))
        return "n/a";
    std::ostringstream s;
    s << std::showpos << std::fixed << std::setprecision(1) << db << " dB";
    return s.str();
}

void readTrackAudio(Track& track)
{
    std::string error;
    if (!ReadAudioFile(track.options.input, track.input, error))
        throw Failure(error);
    if (track.input.NumChannels() > 2)
        throw Failure("'" + track.options.input + "' has " +
                      std::to_string(track.input.NumChannels()) +
                      " channels; the plug-in takes mono or stereo");
    if (!track.options.sidechain.empty())
    {
        if (!ReadAudioFile(track.options.sidechain, track.sidechain, error))
            throw Failure(error);
        if (track.sidechain.NumChannels() > 2)
            throw Failure("sidechain '" + track.options.sidechain + "' has " +
                          std::to_string(track.sidechain.NumChannels()) +
                          " channels; the plug-in takes mono or stereo");
        if (track.sidechain.sampleRate != track.input.sampleRate)
            throw Failure("sample rate mismatch: '" + track.options.input + "' is " +
                          std::to_string(static_cast<long>(track.input.sampleRate)) + " Hz, '" +
                          track.options.sidechain + "' is " +
                          std::to_string(static_cast<long>(track.sidechain.sampleRate)) + " Hz");
    }
}

void tellTrackName(host::PluginInstance& instance, const std::string& name)
{
    FUnknownPtr<Vst::ChannelContext::IInfoListener> listener(instance.Controller());
    if (!listener)
        return;
    Vst::String128 text{};
    host::CopyToString128(name, text);
    int64 length = 0;
    while (length < 127 && text[length] != 0)
        ++length;
    IPtr<Vst::HostAttributeList> list = owned(new Vst::HostAttributeList);
    list->setInt(Vst::ChannelContext::kChannelNameLengthKey, length);
    list->setString(Vst::ChannelContext::kChannelNameKey, text);
    listener->setChannelContextInfos(list);
}

std::string shownValue(const Track& track, const char* parameterName)
{
    Vst::ParameterInfo info{};
    if (!track.instance->FindParameter(parameterName, info))
        return std::string();
    return track.instance->ValueText(info.id,
                                     track.instance->Controller()->getParamNormalized(info.id));
}

std::string formatHz(double hz)
{
    std::ostringstream s;
    if (hz < 1000.0)
        s << std::fixed << std::setprecision(0) << hz << " Hz";
    else
        s << std::fixed << std::setprecision(1) << hz / 1000.0 << " kHz";
    return s.str();
}

// "below 300 Hz -0.3 dB, 300 Hz-4 kHz -4.1 dB, above 4 kHz -0.2 dB; deepest
// dip: -7.5 dB around 1.3 kHz" (0.0 dB without a band going down).
std::string formatBands(const BandSummary& b)
{
    std::string text = "below 300 Hz " + formatChange(b.lowDb) + ", 300 Hz-4 kHz " +
                       formatChange(b.midDb) + ", above 4 kHz " + formatChange(b.highDb) +
                       "; deepest dip: ";
    if (b.deepestDb < 0.0)
        return text + formatDb(b.deepestDb) + " dB around " + formatHz(b.deepestHz);
    return text + "0.0 dB";
}

struct ChangeReport
{
    double whileActive = 0.0; // dB, NaN without such windows
    double whileQuiet = 0.0;
    BandSummary activeBands;
    BandSummary quietBands;
};

// Level change of `track` (out against in, dB), overall and per band, over
// the 20 ms windows in which `reference` is active (or quiet).
ChangeReport changeWhileActive(const Track& track, const AudioData& reference)
{
    const long window = std::max(1L, static_cast<long>(reference.sampleRate * 0.02));
    const long frames = std::min(track.input.NumFrames(), reference.NumFrames());
    std::vector<double> refLevel;
    for (long start = 0; start + window <= frames; start += window)
    {
        double sum = 0.0;
        for (const auto& ch : reference.channels)
            for (long i = start; i < start + window; ++i)
                sum += ch[static_cast<size_t>(i)] * ch[static_cast<size_t>(i)];
        refLevel.push_back(sum / static_cast<double>(window * reference.NumChannels()));
    }
    const double loudest =
        refLevel.empty() ? 0.0 : *std::max_element(refLevel.begin(), refLevel.end());
    // Active: within 30 dB of the loudest window and above -60 dBFS.
    const double threshold = std::max(loudest * 1e-3, 1e-6);
    // Quiet: no active window in the 300 ms before or the 100 ms after, so
    // that the plug-in's release after the source stops counts as neither.
    std::vector<char> active(refLevel.size());
    for (size_t w = 0; w < refLevel.size(); ++w)
        active[w] = refLevel[w] > threshold;
    auto quietAround = [&](size_t w)
    {
        const size_t from = w >= 15 ? w - 15 : 0;
        const size_t to = std::min(active.size(), w + 6);
        for (size_t k = from; k < to; ++k)
            if (active[k])
                return false;
        return true;
    };
    double inActive = 0.0, outActive = 0.0, inQuiet = 0.0, outQuiet = 0.0;
    std::vector<char> quiet(refLevel.size());
    for (size_t w = 0; w < refLevel.size(); ++w)
    {
        const long start = static_cast<long>(w) * window;
        double in = 0.0, out = 0.0;
        for (int c = 0; c < track.input.NumChannels(); ++c)
            for (long i = start; i < start + window; ++i)
            {
                const double x =
                    track.input.channels[static_cast<size_t>(c)][static_cast<size_t>(i)];
                const double y =
                    track.output.channels[static_cast<size_t>(c)][static_cast<size_t>(i)];
                in += x * x;
                out += y * y;
            }
        if (active[w])
        {
            inActive += in;
            outActive += out;
        }
        else if (quietAround(w))
        {
            quiet[w] = 1;
            inQuiet += in;
            outQuiet += out;
        }
    }
    const double nan = std::nan("");
    ChangeReport r;
    r.whileActive = inActive > 0.0 ? 10.0 * std::log10(std::max(outActive, 1e-30) / inActive) : nan;
    r.whileQuiet = inQuiet > 0.0 ? 10.0 * std::log10(std::max(outQuiet, 1e-30) / inQuiet) : nan;
    r.activeBands = SummariseBands(MeasureBandChanges(track.input, track.output, active, window));
    r.quietBands = SummariseBands(MeasureBandChanges(track.input, track.output, quiet, window));
    return r;
}

void render(const RenderOptions& options, std::ostream& report)
{
    // Declared in this order so that instances go before the host context
    // and the module they came from, whatever ends the run.
    host::Vst3Module module;
    // One host context for all instances: their timers share one run loop
    // that advances with the rendered audio.
    host::HostContext context("ostrel-render");
    std::vector<std::unique_ptr<Track>> tracks;
    for (const auto& t : options.tracks)
    {
        auto track = std::make_unique<Track>();
        track->options = t;
        readTrackAudio(*track);
        tracks.push_back(std::move(track));
    }
    const double sampleRate = tracks.front()->input.sampleRate;
    for (const auto& t : tracks)
        if (t->input.sampleRate != sampleRate)
            throw Failure("sample rate mismatch: '" + tracks.front()->options.input + "' is " +
                          std::to_string(static_cast<long>(sampleRate)) + " Hz, '" +
                          t->options.input + "' is " +
                          std::to_string(static_cast<long>(t->input.sampleRate)) + " Hz");

    std::string error;
    if (!module.Load(options.plugin, error))
        throw Failure(error);
    IPluginFactory* factory = module.Factory();
    int classIndex = -1;
    PClassInfo classInfo{};
    for (int32 i = 0; i < factory->countClasses(); ++i)
    {
        if (factory->getClassInfo(i, &classInfo) == kResultOk &&
            std::string(classInfo.category) == kVstAudioEffectClass)
        {
            classIndex = i;
            break;
        }
    }
    if (classIndex < 0)
        throw Failure("'" + module.LibraryPath() + "' offers no audio effect class");
    PFactoryInfo factoryInfo{};
    factory->getFactoryInfo(&factoryInfo);
    std::string version;
    FUnknownPtr<IPluginFactory2> factory2(factory);
    PClassInfo2 classInfo2{};
    if (factory2 && factory2->getClassInfo2(classIndex, &classInfo2) == kResultOk)
        version = classInfo2.version;

    FUnknownPtr<IPluginFactory3> factory3(factory);
    if (factory3)
        factory3->setHostContext(&context);

    report << "plug-in: " << classInfo.name << (version.empty() ? "" : " " + version) << " ("
           << factoryInfo.vendor << ") from " << module.LibraryPath() << "\n";
    report << "host: " << static_cast<long>(sampleRate) << " Hz, blocks of " << options.blockSize
           << " frames, " << (options.use64 ? "64" : "32") << "-bit samples, "
           << (options.realtime ? "realtime" : "offline")
           << ", run-loop timers every 20 ms of audio\n";

    for (auto& t : tracks)
    {
        t->instance = host::PluginInstance::Create(factory, classIndex, &context, error);
        if (!t->instance)
            throw Failure("track '" + t->options.name + "': " + error);
        t->instance->Controller()->setComponentHandler(&t->handler);
        tellTrackName(*t->instance, t->options.name);
        for (const auto& [name, value] : t->options.settings)
        {
            ResolvedSetting setting;
            if (!ResolveSetting(*t->instance, name, value, setting, error))
                throw Failure("track '" + t->options.name + "': " + error);
            t->instance->Controller()->setParamNormalized(setting.id, setting.normalised);
            t->settings.push_back(setting);
        }
        t->layout.mainIn = t->input.NumChannels();
        t->layout.out = t->input.NumChannels();
        t->layout.sidechainIn = t->options.sidechain.empty() ? 0 : t->sidechain.NumChannels();
        // A stereo sidechain beside a mono main input is taken as its mono mix.
        if (t->layout.sidechainIn > t->layout.mainIn)
        {
            auto& sc = t->sidechain.channels;
            for (size_t i = 0; i < sc[0].size(); ++i)
                sc[0][i] = 0.5 * (sc[0][i] + sc[1][i]);
            sc.resize(1);
            t->layout.sidechainIn = 1;
        }
        if (!t->instance->SetBusLayout(t->layout, error))
            throw Failure("track '" + t->options.name + "': " + error);
        if (!t->instance->Prepare(sampleRate, options.blockSize, options.use64, error,
                                  options.realtime ? Vst::kRealtime : Vst::kOffline))
            throw Failure("track '" + t->options.name + "': " + error);
        t->latency = static_cast<long>(t->instance->Processor()->getLatencySamples());
    }

    // Render every track in step.
    long longest = 0;
    long maxLatency = 0;
    for (const auto& t : tracks)
    {
        longest = std::max(longest, t->input.NumFrames());
        maxLatency = std::max(maxLatency, t->latency);
    }
    // Rendered past the end by the latency, so that nothing of the input is
    // left inside the plug-in.
    const long total = longest + maxLatency;
    const int block = options.blockSize;
    for (auto& t : tracks)
    {
        t->output.sampleRate = sampleRate;
        t->output.channels.assign(static_cast<size_t>(t->layout.out),
                                  std::vector<double>(static_cast<size_t>(total), 0.0));
    }
    std::vector<std::vector<double>> inBuf(2, std::vector<double>(static_cast<size_t>(block)));
    std::vector<std::vector<double>> scBuf(2, std::vector<double>(static_cast<size_t>(block)));
    std::vector<std::vector<double>> outBuf(2, std::vector<double>(static_cast<size_t>(block)));
    host::ParameterChanges firstChanges;
    const double blockMs = 1000.0 * block / sampleRate;
    // The host's main thread: every 20 ms of audio (catching up every timer
    // period, as a real-time host does), every `idleEveryMs` (one tick each
    // time it comes back), or never.
    const bool tickEveryTimer = options.idleEveryMs == 20.0;
    double audioMs = 0.0;
    double nextTickMs = options.idleEveryMs;
    for (long start = 0; start < total; start += block)
    {
        const int n = static_cast<int>(std::min<long>(block, total - start));
        for (auto& t : tracks)
        {
            auto fill =
                [&](const AudioData& src, std::vector<std::vector<double>>& dst, int channels)
            {
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < n; ++i)
                    {
                        const long f = start + i;
                        dst[static_cast<size_t>(c)][static_cast<size_t>(i)] =
                            f < src.NumFrames()
                                ? src.channels[static_cast<size_t>(c)][static_cast<size_t>(f)]
                                : 0.0;
                    }
            };
            fill(t->input, inBuf, t->layout.mainIn);
            if (t->layout.sidechainIn > 0)
                fill(t->sidechain, scBuf, t->layout.sidechainIn);
            const double* ins[2] = {inBuf[0].data(), inBuf[1].data()};
            const double* scs[2] = {scBuf[0].data(), scBuf[1].data()};
            double* outs[2] = {outBuf[0].data(), outBuf[1].data()};
            // The settings reach the processor with the first block.
            host::ParameterChanges* changes = nullptr;
            if (start == 0)
            {
                firstChanges.Clear();
                for (const auto& s : t->settings)
                    firstChanges.Add(s.id, 0, s.normalised);
                changes = &firstChanges;
            }
            t->instance->Process(ins, t->layout.sidechainIn > 0 ? scs : nullptr, outs, n, changes);
            for (int c = 0; c < t->layout.out; ++c)
                std::copy_n(outBuf[static_cast<size_t>(c)].begin(), n,
                            t->output.channels[static_cast<size_t>(c)].begin() + start);
        }
        audioMs += blockMs;
        if (tickEveryTimer)
        {
            context.RunLoop().Advance(blockMs);
        }
        else if (options.idleEveryMs > 0.0 && audioMs >= nextTickMs)
        {
            context.RunLoop().Advance(audioMs - context.RunLoop().NowMs(), false);
            while (nextTickMs <= audioMs)
                nextTickMs += options.idleEveryMs;
        }
    }

    for (auto& t : tracks)
    {
        const long skip = options.compensateLatency ? t->latency : 0;
        const long keep = t->input.NumFrames() + (options.compensateLatency ? 0 : t->latency);
        for (auto& ch : t->output.channels)
        {
            std::vector<double> cut(ch.begin() + skip, ch.begin() + skip + keep);
            ch.swap(cut);
        }
        if (!WriteWavFile(t->options.output, t->output, error))
            throw Failure(error);
    }

    report << "instances: " << tracks.size() << " in one process, "
           << context.RunLoop().TimerCount() << " with a run-loop timer, "
           << context.RunLoop().TimerFirings() << " timer ticks in "
           << static_cast<long>(1000.0 * static_cast<double>(total) / sampleRate)
           << " ms of audio\n";
    report << "main thread: ";
    if (options.idleEveryMs > 0.0)
        report << "ticks every " << options.idleEveryMs << " ms of audio (--idle-every "
               << options.idleEveryMs << ")\n";
    else
        report << "never ticks during the render (--idle-every never)\n";
    for (size_t i = 0; i < tracks.size(); ++i)
    {
        const Track& t = *tracks[i];
        report << "track " << (i + 1) << " \"" << t.options.name << "\": " << t.options.input
               << " -> " << t.options.output << "\n";
        report << "  buses: " << t.layout.mainIn << " in, " << t.layout.out << " out";
        if (t.layout.sidechainIn > 0)
            report << ", sidechain " << t.layout.sidechainIn << " from " << t.options.sidechain;
        report << "\n  settings:";
        if (t.settings.empty())
            report << " (defaults)";
        for (const auto& s : t.settings)
            report << " " << s.title << "=" << s.shown;
        report << "\n  latency: " << t.latency << " samples"
               << (options.compensateLatency ? " (compensated)" : " (kept)") << "\n";
        const double in = RmsDbfs(t.input);
        const double out = RmsDbfs(t.output);
        report << "  RMS in " << formatDb(in) << " dBFS, out " << formatDb(out) << " dBFS, change "
               << formatChange(out - in) << "\n";
    }

    // Before/after where it matters: each Masker against the Sources of its
    // Channel (when compensated, the output lines up with the input).
    if (options.compensateLatency)
    {
        for (const auto& m : tracks)
        {
            if (!m->options.sidechain.empty())
            {
                const ChangeReport c = changeWhileActive(*m, m->sidechain);
                report << "track \"" << m->options.name << "\" against its sidechain: change "
                       << "while the sidechain sounds " << formatChange(c.whileActive)
                       << ", while it is quiet " << formatChange(c.whileQuiet) << "\n"
                       << "  while the sidechain sounds: " << formatBands(c.activeBands) << "\n"
                       << "  while it is quiet: " << formatBands(c.quietBands) << "\n";
                continue;
            }
            if (shownValue(*m, "Role") != "Masker")
                continue;
            for (const auto& s : tracks)
            {
                if (s == m || shownValue(*s, "Role") != "Source" ||
                    shownValue(*s, "Channel") != shownValue(*m, "Channel"))
                    continue;
                const ChangeReport c = changeWhileActive(*m, s->input);
                report << "masker \"" << m->options.name << "\" against source \""
                       << s->options.name << "\" (Channel " << shownValue(*m, "Channel")
                       << "): change while the source sounds " << formatChange(c.whileActive)
                       << ", while it is quiet " << formatChange(c.whileQuiet) << "\n"
                       << "  while the source sounds: " << formatBands(c.activeBands) << "\n"
                       << "  while it is quiet: " << formatBands(c.quietBands) << "\n";
            }
        }
    }

    for (auto& t : tracks)
        t->instance.reset();
    if (factory3)
        factory3->setHostContext(nullptr);
}

} // namespace

int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err)
{
    std::ostringstream report;
    try
    {
        render(options, report);
    }
    catch (const Failure& failure)
    {
        err << "ostrel-render: " << failure.Message() << "\n";
        return 1;
    }
    catch (const std::exception& e)
    {
        err << "ostrel-render: " << e.what() << "\n";
        return 1;
    }
    out << report.str();
    if (!options.summaryFile.empty())
    {
        std::ofstream file(host::Utf8Path(options.summaryFile));
        file << report.str();
        if (!file)
        {
            err << "ostrel-render: cannot write the summary to '" << options.summaryFile << "'\n";
            return 1;
        }
    }
    return 0;
}

} // namespace ostrel::render
