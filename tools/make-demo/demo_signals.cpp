#include "tools/make-demo/demo_signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrel::demo
{

namespace
{

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A small deterministic generator (the files must be the same on every run).
class Random
{
public:
    explicit Random(uint32_t seed) : mState(seed * 2654435761u + 1u) {}
    double Uniform() // 0..1
    {
        mState = mState * 1664525u + 1013904223u;
        return static_cast<double>(mState >> 8) / static_cast<double>(1u << 24);
    }
    double Between(double a, double b) { return a + (b - a) * Uniform(); }

private:
    uint32_t mState;
};

struct Vowel
{
    double f[3]; // formant frequencies, Hz
};

constexpr Vowel kVowels[] = {
    {{730, 1090, 2440}}, // a
    {{530, 1840, 2480}}, // e
    {{270, 2290, 3010}}, // i
    {{570, 840, 2410}},  // o
    {{300, 870, 2240}},  // u
};

// Spectral envelope of a vowel at frequency f: three resonances over a
// gently falling source slope.
double formantGain(const double formants[3], double f)
{
    constexpr double bandwidth[3] = {90.0, 110.0, 170.0};
    constexpr double weight[3] = {1.0, 0.6, 0.35};
    double g = 0.04;
    for (int k = 0; k < 3; ++k)
    {
        const double x = (f - formants[k]) / bandwidth[k];
        g += weight[k] / (1.0 + x * x);
    }
    return g;
}

struct Syllable
{
    double start; // seconds
    double length;
    double pitchHz;
    double glide; // semitones over the syllable
    int vowel;
};

std::vector<Syllable> makeSyllables(double seconds, Random& random)
{
    std::vector<Syllable> syllables;
    double t = 0.25;
    constexpr double kScale[] = {196.0, 220.0, 246.9, 261.6, 293.7, 329.6};
    while (t < seconds - 0.3)
    {
        // A phrase of 3 to 6 syllables, then a breath.
        const int count = 3 + static_cast<int>(random.Uniform() * 4.0);
        for (int i = 0; i < count && t < seconds - 0.3; ++i)
        {
            Syllable s;
            s.start = t;
            s.length = random.Between(0.16, 0.42);
            s.pitchHz = kScale[static_cast<int>(random.Uniform() * 6.0) % 6];
            s.glide = random.Between(-1.0, 1.0);
            s.vowel = static_cast<int>(random.Uniform() * 5.0) % 5;
            syllables.push_back(s);
            t += s.length + random.Between(0.05, 0.14);
        }
        t += random.Between(0.45, 0.8);
    }
    return syllables;
}

void normalisePeak(std::vector<double>& x, double peakDb)
{
    double peak = 0.0;
    for (double v : x)
        peak = std::max(peak, std::fabs(v));
    if (peak <= 0.0)
        return;
    const double gain = std::pow(10.0, peakDb / 20.0) / peak;
    for (double& v : x)
        v *= gain;
}

} // namespace

std::vector<double> MakeVoice(double sampleRate, double seconds, uint32_t seed)
{
    Random random(seed);
    const auto frames = static_cast<size_t>(std::max(0.0, seconds * sampleRate));
    std::vector<double> out(frames, 0.0);
    const double nyquistLimit = std::min(6000.0, 0.45 * sampleRate);

    for (const Syllable& s : makeSyllables(seconds, random))
    {
        const auto first = static_cast<size_t>(s.start * sampleRate);
        const auto count = static_cast<size_t>(s.length * sampleRate);
        const Vowel& from = kVowels[s.vowel];
        const Vowel& to = kVowels[(s.vowel + 1) % 5];
        std::vector<double> phase(64, 0.0);
        double noiseState = 0.0;
        for (size_t i = 0; i < count && first + i < frames; ++i)
        {
            const double t = static_cast<double>(i) / sampleRate;
            const double u = static_cast<double>(i) / static_cast<double>(count);
            // Pitch: a glide with vibrato that sets in after 100 ms.
            const double vibrato = t > 0.1 ? 0.4 * std::sin(kTwoPi * 5.5 * t) : 0.0;
            const double f0 = s.pitchHz * std::pow(2.0, (s.glide * u + vibrato) / 12.0);
            // The vowel moves towards the next one in the syllable's second half.
            double formants[3];
            const double morph = std::clamp((u - 0.5) * 2.0, 0.0, 1.0);
            for (int k = 0; k < 3; ++k)
                formants[k] = from.f[k] + (to.f[k] - from.f[k]) * morph;
            // Envelope: 25 ms attack, 60 ms release.
            const double env = std::min({1.0, t / 0.025, (s.length - t) / 0.06});
            double sample = 0.0;
            for (int h = 1; h < 64; ++h)
            {
                const double f = f0 * h;
                if (f > nyquistLimit)
                    break;
                phase[static_cast<size_t>(h)] += kTwoPi * f / sampleRate;
                sample += formantGain(formants, f) / h * std::sin(phase[static_cast<size_t>(h)]);
            }
            // A little breath: lowpassed noise shaped by the same envelope.
            noiseState = 0.7 * noiseState + 0.3 * random.Between(-1.0, 1.0);
            sample += 0.02 * noiseState;
            out[first + i] += std::max(0.0, env) * sample;
        }
    }
    normalisePeak(out, -6.0);
    return out;
}

std::vector<std::vector<double>> MakeMasker(double sampleRate, double seconds, uint32_t seed)
{
    Random random(seed);
    const auto frames = static_cast<size_t>(std::max(0.0, seconds * sampleRate));
    std::vector<std::vector<double>> out(2, std::vector<double>(frames, 0.0));
    // A wide, sustained chord (C major 9 over two octaves) covering the voice.
    constexpr double kChord[] = {130.8, 196.0, 246.9, 293.7, 329.6, 392.0, 493.9, 587.3};
    const double limit = std::min(9000.0, 0.45 * sampleRate);

    for (int ch = 0; ch < 2; ++ch)
    {
        auto& y = out[static_cast<size_t>(ch)];
        for (double note : kChord)
        {
            // Two detuned oscillators per note, slightly different per side.
            for (double detuneCents : {-7.0, 6.0})
            {
                const double f0 =
                    note * std::pow(2.0, (detuneCents + (ch == 0 ? -1.5 : 1.5)) / 1200.0);
                const double startPhase = random.Between(0.0, kTwoPi);
                for (int h = 1; f0 * h < limit; ++h)
                {
                    const double w = kTwoPi * f0 * h / sampleRate;
                    const double a = 1.0 / h;
                    // Advance by rotation: cheaper than a sine per sample.
                    double c = std::cos(startPhase * h), s = std::sin(startPhase * h);
                    const double cw = std::cos(w), sw = std::sin(w);
                    for (size_t i = 0; i < frames; ++i)
                    {
                        y[i] += a * s;
                        const double nc = c * cw - s * sw;
                        s = s * cw + c * sw;
                        c = nc;
                    }
                }
            }
        }
        // A pink-ish noise bed (three one-pole bands) fills the gaps between
        // the partials.
        double b0 = 0.0, b1 = 0.0, b2 = 0.0;
        double peak = 0.0;
        for (double v : y)
            peak = std::max(peak, std::fabs(v));
        for (size_t i = 0; i < frames; ++i)
        {
            const double white = random.Between(-1.0, 1.0);
            b0 = 0.997 * b0 + 0.029 * white;
            b1 = 0.985 * b1 + 0.032 * white;
            b2 = 0.950 * b2 + 0.048 * white;
            y[i] += 0.08 * peak * (b0 + b1 + b2 + 0.05 * white);
        }
        // A slow swell keeps it alive without ever letting go.
        for (size_t i = 0; i < frames; ++i)
            y[i] *= 0.85 + 0.15 * std::sin(kTwoPi * 0.25 * static_cast<double>(i) / sampleRate);
        // Gentle fades at the ends.
        const size_t fade = std::min(frames / 2, static_cast<size_t>(0.05 * sampleRate));
        for (size_t i = 0; i < fade; ++i)
        {
            const double g = static_cast<double>(i) / static_cast<double>(fade);
            y[i] *= g;
            y[frames - 1 - i] *= g;
        }
    }
    // Both sides to an RMS of -20 dBFS.
    double sum = 0.0;
    for (const auto& y : out)
        for (double v : y)
            sum += v * v;
    if (sum > 0.0)
    {
        const double rms = std::sqrt(sum / static_cast<double>(2 * std::max<size_t>(frames, 1)));
        const double gain = std::pow(10.0, -20.0 / 20.0) / rms;
        for (auto& y : out)
            for (double& v : y)
                v *= gain;
    }
    return out;
}

} // namespace ostrel::demo
