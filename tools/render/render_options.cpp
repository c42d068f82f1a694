#include "tools/render/render_options.h"

#include "tools/render/host/module_library.h"

#include <charconv>
#include <cstdlib>

namespace ostrel::render
{

namespace
{

bool parseInt(const std::string& text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < 1 || v > 1 << 20)
        return false;
    value = static_cast<int>(v);
    return true;
}

// A positive number of milliseconds, whatever the locale's decimal mark.
bool parseMs(const std::string& text, double& value)
{
    double v = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || !(v > 0.0) || v > 3.6e6)
        return false;
    value = v;
    return true;
}

} // namespace

std::string FileStem(const std::string& path)
{
    std::string name = path;
    for (size_t i = name.size(); i > 0; --i)
        if (host::IsPathSeparator(name[i - 1]))
        {
            name = name.substr(i);
            break;
        }
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name = name.substr(0, dot);
    return name;
}

std::string RenderUsage()
{
    return "usage: ostrel-render [options] --track IN.wav [track options] [NAME=VALUE ...]\n"
           "                     [--track IN2.wav ...]\n"
           "\n"
           "Renders each track through its own instance of the plug-in, all in one\n"
           "process and in step, so the instances find each other as in a host.\n"
           "\n"
           "options:\n"
           "  --plugin PATH       the VST 3 bundle (default: the one of this build)\n"
           "  --block N           host block size in frames (default 512)\n"
           "  --precision 32|64   sample size handed to the plug-in (default 32)\n"
           "  --realtime          realtime process mode (default offline)\n"
           "  --idle-every MS|never\n"
           "                      the host's main thread ticks every MS ms of audio, or never\n"
           "                      during the render, as in an export (default 20)\n"
           "  --no-compensation   keep the plug-in's latency in the output files\n"
           "  --out-dir DIR       folder for outputs without --out (default .)\n"
           "  --summary FILE      also write the summary to FILE\n"
           "track options (after --track):\n"
           "  --out OUT.wav       output file (default DIR/<name>.ostrel.wav)\n"
           "  --sidechain SC.wav  feed SC.wav to the plug-in's sidechain input\n"
           "  --name NAME         track name the plug-in is told (default: file name)\n"
           "  NAME=VALUE          set a parameter by name (case, spaces, '-' and '_'\n"
           "                      ignored) to a value as shown (Masker, on) or a plain\n"
           "                      number (3, 70, 1000), e.g. role=Masker channel=3 depth=70\n";
}

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions& options,
                        std::string& error)
{
    TrackOptions* track = nullptr;
    auto needValue = [&](size_t& i, std::string& out) -> bool
    {
        if (i + 1 >= args.size())
        {
            error = "'" + args[i] + "' needs a value";
            return false;
        }
        out = args[++i];
        return true;
    };

    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        std::string value;
        if (a == "-h" || a == "--help")
        {
            options.help = true;
        }
        else if (a == "--track")
        {
            if (!needValue(i, value))
                return false;
            options.tracks.push_back(TrackOptions{});
            track = &options.tracks.back();
            track->input = value;
        }
        else if (a == "--out" || a == "--sidechain" || a == "--name")
        {
            if (!track)
            {
                error = "'" + a + "' belongs to a track: put it after --track";
                return false;
            }
            if (!needValue(i, value))
                return false;
            (a == "--out"         ? track->output
             : a == "--sidechain" ? track->sidechain
                                  : track->name) = value;
        }
        else if (a == "--plugin")
        {
            if (!needValue(i, options.plugin))
                return false;
        }
        else if (a == "--block")
        {
            if (!needValue(i, value))
                return false;
            if (!parseInt(value, options.blockSize))
            {
                error = "block size '" + value + "' is not a positive whole number";
                return false;
            }
        }
        else if (a == "--precision")
        {
            if (!needValue(i, value))
                return false;
            if (value != "32" && value != "64")
            {
                error = "precision must be 32 or 64, not '" + value + "'";
                return false;
            }
            options.use64 = value == "64";
        }
        else if (a == "--realtime")
        {
            options.realtime = true;
        }
        else if (a == "--idle-every")
        {
            if (!needValue(i, value))
                return false;
            if (value == "never")
                options.idleEveryMs = -1.0;
            else if (!parseMs(value, options.idleEveryMs))
            {
                error =
                    "--idle-every takes a positive number of ms or 'never', not '" + value + "'";
                return false;
            }
        }
        else if (a == "--no-compensation")
        {
            options.compensateLatency = false;
        }
        else if (a == "--out-dir")
        {
            if (!needValue(i, options.outDir))
                return false;
        }
        else if (a == "--summary")
        {
            if (!needValue(i, options.summaryFile))
                return false;
        }
        else if (a.size() > 1 && a[0] == '-')
        {
            error = "unknown option '" + a + "'";
            return false;
        }
        else if (const auto eq = a.find('='); eq != std::string::npos && eq > 0)
        {
            if (!track)
            {
                error = "parameter setting '" + a + "' belongs to a track: put it after --track";
                return false;
            }
            track->settings.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        }
        else
        {
            error = "unexpected argument '" + a + "' (parameters are NAME=VALUE)";
            return false;
        }
    }
    if (!options.help && options.tracks.empty())
    {
        error = "no track given (--track IN.wav)";
        return false;
    }
    for (auto& t : options.tracks)
    {
        if (t.name.empty())
            t.name = FileStem(t.input);
        if (t.output.empty())
            t.output = options.outDir + "/" + FileStem(t.input) + ".ostrel.wav";
    }
    return true;
}

} // namespace ostrel::render
