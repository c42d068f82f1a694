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

namespace
{

// One resonance of the guitar body: centre, width (Hz) and weight per side
// (the two sides hear the body from slightly different places).
struct BodyResonance
{
    double hz;
    double bandwidth;
    double weight[2];
};

// An air mode and a top-plate mode low down, then the bright resonances that
// sit right in a voice's formant range and make the part compete with it.
constexpr BodyResonance kBody[] = {
    {105.0, 20.0, {0.25, 0.2}}, {215.0, 35.0, {0.35, 0.4}},  {640.0, 70.0, {0.5, 0.6}},
    {1000.0, 70.0, {2.6, 2.3}}, {2400.0, 150.0, {3.0, 3.3}}, {3600.0, 260.0, {1.0, 0.9}},
};

double bodyGain(double f, int side)
{
    double g = 0.08;
    for (const auto& r : kBody)
    {
        const double x = (f - r.hz) / r.bandwidth;
        g += r.weight[side] / (1.0 + x * x);
    }
    return g;
}

// Six-string voicings (Hz, 0 = string not played): G, Em, C, D.
constexpr double kChords[4][6] = {
    {98.0, 123.5, 146.8, 196.0, 246.9, 392.0},
    {82.4, 123.5, 164.8, 196.0, 246.9, 329.6},
    {0.0, 130.8, 164.8, 196.0, 261.6, 329.6},
    {0.0, 0.0, 146.8, 220.0, 293.7, 370.0},
};

// Eighth notes at 120 BPM, one bar a chord: down and up strokes, with the
// strength of each (0 = no stroke, the strings ring on).
constexpr double kPattern[8] = {1.0, 0.0, 0.8, 0.55, 0.0, 0.6, 0.9, 0.5};
constexpr double kEighth = 0.25;

// Adds one plucked string to both sides from `start` to `stop` (seconds):
// inharmonic partials shaped by the pluck point and the body, the higher
// ones dying faster, damped over 15 ms when the next stroke hits the string.
void addString(std::vector<std::vector<double>>& out, double sampleRate, double f0, double strength,
               double start, double stop, double startPhase)
{
    const auto frames = static_cast<long>(out[0].size());
    const auto first = static_cast<long>(start * sampleRate);
    const long last = std::min(frames, static_cast<long>((stop + 0.015) * sampleRate));
    const double limit = std::min(8000.0, 0.45 * sampleRate);
    const long damp = static_cast<long>(stop * sampleRate);
    constexpr double kPluckPoint = 0.17; // of the string length from the bridge
    constexpr double kStiffness = 8e-5;  // partials spread upwards
    for (int h = 1; h < 80; ++h)
    {
        const double f = f0 * h * std::sqrt(1.0 + kStiffness * h * h);
        if (f > limit)
            break;
        const double pluck =
            std::fabs(std::sin(std::numbers::pi * h * kPluckPoint)) / std::pow(h, 0.8);
        const double decaySeconds = 1.6 / (1.0 + 0.25 * (h - 1));
        const double decay = std::exp(-1.0 / (decaySeconds * sampleRate));
        const double damping = std::exp(-1.0 / (0.004 * sampleRate));
        const double amp[2] = {strength * pluck * bodyGain(f, 0),
                               strength * pluck * bodyGain(f, 1)};
        const double w = kTwoPi * f / sampleRate;
        const double cw = std::cos(w), sw = std::sin(w);
        // Partial phases spread quadratically: a softer peak than all in step.
        const double phase = startPhase * h * h;
        double c = std::cos(phase), s = std::sin(phase);
        double env = 1.0;
        for (long i = std::max(0L, first); i < last; ++i)
        {
            // 2 ms pick attack.
            const double attack =
                std::min(1.0, static_cast<double>(i - first) / (0.002 * sampleRate));
            const double v = env * attack * s;
            out[0][static_cast<size_t>(i)] += amp[0] * v;
            out[1][static_cast<size_t>(i)] += amp[1] * v;
            const double nc = c * cw - s * sw;
            s = s * cw + c * sw;
            c = nc;
            env *= i < damp ? decay : damping;
        }
    }
}

// A guitar track in a mix is compressed: peaks more than 6 dB over the
// track's RMS are reduced 4:1 (3 ms attack, 150 ms release, both sides
// alike), so the part sits at a steadier, competing level.
void compressStrokes(std::vector<std::vector<double>>& out, double sampleRate)
{
    const size_t frames = out[0].size();
    double sum = 0.0;
    for (const auto& y : out)
        for (double v : y)
            sum += v * v;
    if (frames == 0 || !(sum > 0.0))
        return;
    const double threshold = 2.0 * std::sqrt(sum / static_cast<double>(2 * frames));
    const double attack = 1.0 - std::exp(-1.0 / (0.003 * sampleRate));
    const double release = 1.0 - std::exp(-1.0 / (0.15 * sampleRate));
    double envelope = 0.0;
    for (size_t i = 0; i < frames; ++i)
    {
        const double peak = std::max(std::fabs(out[0][i]), std::fabs(out[1][i]));
        envelope += (peak - envelope) * (peak > envelope ? attack : release);
        if (envelope > threshold)
        {
            const double gain = std::pow(envelope / threshold, -0.75);
            out[0][i] *= gain;
            out[1][i] *= gain;
        }
    }
}

} // namespace

std::vector<std::vector<double>> MakeMasker(double sampleRate, double seconds, uint32_t seed)
{
    Random random(seed);
    const auto frames = static_cast<size_t>(std::max(0.0, seconds * sampleRate));
    std::vector<std::vector<double>> out(2, std::vector<double>(frames, 0.0));

    // When each string was last struck, so that the next stroke damps it.
    struct Ringing
    {
        double f0 = 0.0, strength = 0.0, start = -1.0, phase = 0.0;
    };
    Ringing strings[6];
    auto release = [&](Ringing& r, double at)
    {
        if (r.start >= 0.0 && r.f0 > 0.0)
            addString(out, sampleRate, r.f0, r.strength, r.start, at, r.phase);
        r.start = -1.0;
    };

    const auto strokes = static_cast<int>(seconds / kEighth);
    for (int n = 0; n < strokes; ++n)
    {
        const double strength = kPattern[n % 8];
        if (strength <= 0.0)
            continue;
        const auto& chord = kChords[(n / 8) % 4];
        const bool down = n % 2 == 0;
        // A stroke sweeps the strings over about 30 ms (down: low to high;
        // up strokes catch only the top four), a little late or early.
        const double at = n * kEighth + random.Between(-0.006, 0.006);
        for (int k = 0; k < 6; ++k)
        {
            const int string = down ? k : 5 - k;
            if (!down && string < 2)
                continue;
            if (chord[string] <= 0.0)
                continue;
            const double t = at + 0.006 * k;
            release(strings[string], t);
            // Up strokes favour the thin strings; each string a little uneven.
            strings[string] = {chord[string],
                               strength * random.Between(0.8, 1.0) *
                                   (down ? 1.0 : 0.5 + 0.1 * string),
                               t, random.Between(0.0, kTwoPi)};
        }
    }
    for (auto& r : strings)
        release(r, seconds);

    compressStrokes(out, sampleRate);

    // Gentle fades at the ends.
    const size_t fade = std::min(frames / 2, static_cast<size_t>(0.05 * sampleRate));
    for (auto& y : out)
        for (size_t i = 0; i < fade; ++i)
        {
            const double g = static_cast<double>(i) / static_cast<double>(fade);
            y[i] *= g;
            y[frames - 1 - i] *= g;
        }
    // Both sides to an RMS of -14 dBFS, loud enough to compete with the
    // voice, or less where a peak would pass -1 dBFS.
    double sum = 0.0;
    for (const auto& y : out)
        for (double v : y)
            sum += v * v;
    if (sum > 0.0)
    {
        const double rms = std::sqrt(sum / static_cast<double>(2 * std::max<size_t>(frames, 1)));
        double peak = 0.0;
        for (const auto& y : out)
            for (double v : y)
                peak = std::max(peak, std::fabs(v));
        const double gain =
            std::min(std::pow(10.0, -14.0 / 20.0) / rms, std::pow(10.0, -1.0 / 20.0) / peak);
        for (auto& y : out)
            for (double& v : y)
                v *= gain;
    }
    return out;
}

} // namespace ostrel::demo
