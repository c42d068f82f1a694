// ostrel-make-demo: writes the demo tracks (vocal.wav, mono; masker.wav,
// stereo; 24-bit WAV) into a folder.
#include "tools/make-demo/demo_signals.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace
{

bool writeWav(const std::string& path, const std::vector<std::vector<double>>& channels,
              int sampleRate)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
    {
        std::cerr << "ostrel-make-demo: cannot write '" << path << "': " << sf_strerror(nullptr)
                  << "\n";
        return false;
    }
    const size_t frames = channels[0].size();
    std::vector<double> interleaved(frames * channels.size());
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels.size(); ++c)
            interleaved[f * channels.size() + c] = channels[c][f];
    const sf_count_t written =
        sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(frames));
    const bool ok = sf_close(file) == 0 && written == static_cast<sf_count_t>(frames);
    if (!ok)
        std::cerr << "ostrel-make-demo: writing '" << path << "' failed\n";
    return ok;
}

int usage()
{
    std::cerr << "usage: ostrel-make-demo OUT_DIR [--seconds S] [--rate HZ]\n"
                 "writes OUT_DIR/vocal.wav (mono, vocal-like Source) and\n"
                 "OUT_DIR/masker.wav (stereo, strummed guitar Masker)\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir;
    double seconds = 8.0;
    int rate = 48000;
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        if ((a == "--seconds" || a == "--rate") && i + 1 < argc)
        {
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (*end != 0 || !(v > 0.0) || v > (a == "--rate" ? 384000.0 : 600.0))
            {
                std::cerr << "ostrel-make-demo: bad value for " << a << "\n";
                return usage();
            }
            (a == "--rate" ? static_cast<void>(rate = static_cast<int>(v))
                           : static_cast<void>(seconds = v));
        }
        else if (a.empty() || a[0] == '-' || !dir.empty())
        {
            return usage();
        }
        else
        {
            dir = a;
        }
    }
    if (dir.empty())
        return usage();

    // The folder itself may be new (its parent must exist).
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
    {
        std::cerr << "ostrel-make-demo: cannot make folder '" << dir << "'\n";
        return 1;
    }
    const auto voice = ostrel::demo::MakeVoice(rate, seconds);
    const auto masker = ostrel::demo::MakeMasker(rate, seconds);
    if (!writeWav(dir + "/vocal.wav", {voice}, rate) ||
        !writeWav(dir + "/masker.wav", masker, rate))
        return 1;
    std::cout << "wrote " << dir << "/vocal.wav and " << dir << "/masker.wav (" << seconds
              << " s at " << rate << " Hz)\n";
    return 0;
}
