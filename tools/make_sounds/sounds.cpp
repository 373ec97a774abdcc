// SPDX-License-Identifier: GPL-3.0-or-later
// Synthesizes the game's seven sounds as the bytes of 16-bit PCM .wav files at 44100 Hz. Everything is
// computed here; the output is the same on every run.
#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

namespace {

constexpr double rate = 44100;
constexpr double pi = std::numbers::pi;

using Mono = std::vector<double>;

std::size_t samplesFor(double seconds)
{
    return std::size_t(std::lround(seconds * rate));
}

double midiHertz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12);
}

// A raised-cosine ramp from 0 to 1 over [0, 1]: smooth at both ends, so no corner and no click.
double smoothRamp(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return 0.5 - 0.5 * std::cos(pi * x);
}

// Attack, exponential decay towards a sustain level, and a release that ends exactly at `length`.
double envelope(double t, double length, double attack, double decay, double sustain, double release)
{
    if (t < 0 || t >= length)
        return 0;
    double level = sustain + (1 - sustain) * std::exp(-t / decay);
    level *= smoothRamp(t / attack);
    if (t > length - release)
        level *= smoothRamp((length - t) / release);
    return level;
}

// Deterministic white noise in [-1, 1].
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state(seed) {}
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }

private:
    std::uint32_t state;
};

// A state-variable filter; its cutoff may change from sample to sample.
class Svf {
public:
    // Returns the band-pass output; lowPass and highPass hold the other two.
    double step(double input, double hertz, double q)
    {
        const double f = 2 * std::sin(pi * std::min(hertz, rate / 6) / rate);
        lowPass += f * band;
        highPass = input - lowPass - band / q;
        band += f * highPass;
        return band;
    }
    double lowPass = 0;
    double highPass = 0;

private:
    double band = 0;
};

// A band-limited pulse wave by its harmonics (duty 0.5 is a square), rolled off above `softAbove` hertz
// so that it sounds round rather than buzzy. The harmonics' weights and offsets are worked out once per tone.
class Pulse {
public:
    Pulse(double hertz, double duty, double softAbove)
    {
        for (int n = 1; n * hertz < 12000 && n <= 40; ++n) {
            const double weight = std::sin(pi * n * duty) * 2 / (pi * n);
            const double soften = 1 / (1 + std::pow(n * hertz / softAbove, 2));
            harmonics.push_back({weight * soften, pi * n * duty});
        }
    }

    double at(double phase) const
    {
        double value = 0;
        int n = 1;
        for (const Harmonic& h : harmonics)
            value += h.level * std::cos(2 * pi * n++ * phase - h.offset);
        return value;
    }

private:
    struct Harmonic {
        double level, offset;
    };
    std::vector<Harmonic> harmonics;
};

// A band-limited triangle wave, phase in cycles.
double triangle(double phase, double hertz)
{
    double value = 0;
    for (int n = 1; n * hertz < 8000; n += 2) {
        const double sign = ((n - 1) / 2) % 2 == 0 ? 1 : -1;
        value += sign * std::sin(2 * pi * n * phase) / (n * n);
    }
    return value * 8 / (pi * pi);
}

void normalize(Mono& samples, double peakDbfs)
{
    double peak = 0;
    for (const double s : samples)
        peak = std::max(peak, std::abs(s));
    if (peak == 0)
        return;
    const double gain = std::pow(10, peakDbfs / 20) / peak;
    for (double& s : samples)
        s *= gain;
}

// Removes any offset from zero, then makes sure the sound begins and ends at rest.
void finishEffect(Mono& samples)
{
    double previousIn = 0;
    double previousOut = 0;
    const double r = 1 - 2 * pi * 20 / rate;
    for (double& s : samples) {
        const double out = s - previousIn + r * previousOut;
        previousIn = s;
        previousOut = out;
        s = out;
    }
    const std::size_t fade = std::min(samples.size() / 4, samplesFor(0.006));
    for (std::size_t i = 0; i < fade; ++i)
        samples[samples.size() - 1 - i] *= smoothRamp(double(i) / double(fade));
    samples.front() = 0;
}

std::vector<std::uint8_t> wavBytes(const std::vector<Mono>& channels)
{
    const std::uint32_t frames = std::uint32_t(channels[0].size());
    const std::uint16_t channelCount = std::uint16_t(channels.size());
    const std::uint32_t dataBytes = frames * channelCount * 2;
    std::vector<std::uint8_t> out;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(std::uint8_t(value >> (8 * i)));
    };
    auto tag = [&](const char* text) {
        for (int i = 0; i < 4; ++i)
            out.push_back(std::uint8_t(text[i]));
    };
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(channelCount, 2);
    put(std::uint32_t(rate), 4);
    put(std::uint32_t(rate) * channelCount * 2, 4);
    put(channelCount * 2, 2);
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (const Mono& channel : channels)
            put(std::uint16_t(std::int16_t(std::lround(std::clamp(channel[i], -1.0, 1.0) * 32767))), 2);
    return out;
}

// モグラ: a short rising "bloop" as a mole moves.
Mono molePop()
{
    const double length = 0.09;
    Mono out(samplesFor(length));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / rate;
        const double hertz = 320 + 700 * (1 - std::exp(-t / 0.025));
        phase += hertz / rate;
        const double level = smoothRamp(t / 0.004) * std::exp(-t / 0.03) * smoothRamp((length - t) / 0.015);
        out[i] = level * (std::sin(2 * pi * phase) + 0.15 * std::sin(4 * pi * phase));
    }
    finishEffect(out);
    normalize(out, -4);
    return out;
}

// 打音: a solid wooden bonk: a falling low thump, a hollow wood-block ring and a soft strike.
Mono hitBonk()
{
    const double length = 0.3;
    Mono out(samplesFor(length));
    Noise noise(7);
    Svf strike;
    double thumpPhase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / rate;
        const double attack = smoothRamp(t / 0.0015);
        thumpPhase += (95 + 140 * std::exp(-t / 0.03)) / rate;
        const double thump = std::sin(2 * pi * thumpPhase) * std::exp(-t / 0.07);
        const double wood = (std::sin(2 * pi * 560 * t) * 0.55 + std::sin(2 * pi * 1330 * t) * 0.25) * std::exp(-t / 0.035);
        const double click = strike.step(noise.next(), 2500, 1.2) * std::exp(-t / 0.004);
        out[i] = attack * (thump + wood + 0.5 * click);
    }
    finishEffect(out);
    normalize(out, -4);
    return out;
}

// 空振: a whoosh of air: noise through a band that sweeps up and back down, swelling and fading.
Mono missWhoosh()
{
    const double length = 0.38;
    Mono out(samplesFor(length));
    Noise noise(11);
    Svf band, smoother;  // two stages, so that little hiss is left above the band
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double x = double(i) / double(out.size());
        const double centre = 500 + 2200 * std::sin(pi * std::pow(x, 0.8));
        const double level = std::pow(std::sin(pi * std::pow(x, 0.7)), 2);
        out[i] = level * smoother.step(band.step(noise.next(), centre, 2.0), centre, 1.0);
    }
    finishEffect(out);
    normalize(out, -5);
    return out;
}

// One soft chiptune note's samples: a rounded pulse with a little sine underneath.
Mono noteSamples(double length, double note, double volume, double duty, double sustain, double decay)
{
    const double hertz = midiHertz(note);
    const Pulse tone(hertz, duty, 2500);
    Mono out(samplesFor(length));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double t = double(k) / rate;
        const double level = envelope(t, length, 0.006, decay, sustain, 0.04);
        const double phase = hertz * t;
        out[k] = volume * level * (0.7 * tone.at(phase) + 0.3 * std::sin(2 * pi * phase));
    }
    return out;
}

// Adds samples from a start time on, as far as the track reaches.
void addAt(Mono& out, double start, const Mono& samples)
{
    const std::size_t first = samplesFor(start);
    for (std::size_t k = 0; k < samples.size() && first + k < out.size(); ++k)
        out[first + k] += samples[k];
}

void addNote(Mono& out, double start, double length, double note, double volume, double duty = 0.25,
             double sustain = 0.55, double decay = 0.12)
{
    addAt(out, start, noteSamples(length, note, volume, duty, sustain, decay));
}

// Samples worked out once for each set of parameters: a tune repeats its notes, and the page makes the tune
// on the player's own processor.
class Remembered {
public:
    const Mono& operator()(const std::vector<double>& parameters, const std::function<Mono()>& make)
    {
        auto [at, added] = made.try_emplace(parameters);
        if (added)
            at->second = make();
        return at->second;
    }

private:
    std::map<std::vector<double>, Mono> made;
};

// TIMEOUT: a short "that's it!" jingle: three falling notes, then a bright major chord that dies away.
Mono timeUpJingle()
{
    Mono out(samplesFor(1.45));
    const double step = 0.11;
    const double notes[] = {79, 76, 72, 67};  // G5 E5 C5 G4
    for (int i = 0; i < 4; ++i)
        addNote(out, i * step, step * 0.9, notes[i], 0.5);
    for (const double note : {72.0, 76.0, 79.0, 84.0})
        addNote(out, 4 * step + 0.03, 0.95, note, 0.3, 0.5, 0.0, 0.3);
    finishEffect(out);
    normalize(out, -4);
    return out;
}

// Adds one bell-like tone: nearly harmonic partials, the high ones dying first.
void addBell(Mono& out, double start, double hertz, double volume)
{
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{1, 1, 0.55}, {2.0, 0.35, 0.3}, {3.0, 0.12, 0.18}, {4.16, 0.08, 0.1}};
    const std::size_t first = samplesFor(start);
    for (std::size_t i = first; i < out.size(); ++i) {
        const double t = double(i - first) / rate;
        double value = 0;
        for (const Partial& p : partials)
            value += p.level * std::exp(-t / p.decay) * std::sin(2 * pi * hertz * p.ratio * t);
        out[i] += volume * smoothRamp(t / 0.003) * value;
    }
}

// その他: a friendly two-note chime, rising.
Mono aboutChime()
{
    Mono out(samplesFor(1.3));
    addBell(out, 0.0, midiHertz(79), 0.8);   // G5
    addBell(out, 0.16, midiHertz(84), 0.8);  // C6
    finishEffect(out);
    normalize(out, -4);
    return out;
}

// 禁止: a low "nuh-uh" buzz in two short pulses, two detuned tones beating against each other.
Mono forbiddenBuzz()
{
    Mono out(samplesFor(0.42));
    const Pulse low(110, 0.5, 900), high(116.5, 0.5, 900);
    for (const double start : {0.0, 0.22}) {
        const std::size_t first = samplesFor(start);
        const double length = 0.18;
        for (std::size_t k = 0; k < samplesFor(length); ++k) {
            const double t = double(k) / rate;
            const double level = envelope(t, length, 0.01, 1.0, 1.0, 0.03);
            out[first + k] += level * (low.at(110 * t) + high.at(116.5 * t));
        }
    }
    finishEffect(out);
    normalize(out, -5);
    return out;
}

// BGM: sixteen bars at 144 beats a minute, exactly 73500 samples a bar, so the loop is a whole number of
// bars. Everything is rendered onto a ring: what rings on past the end sounds again at the beginning,
// as it does when the loop repeats, so the seam is as smooth as any other place.
struct MelodyNote {
    double eighth;  // start within the bar, in eighths
    double eighths;
    int note;
};

std::vector<Mono> backgroundTune()
{
    constexpr double beat = 60.0 / 144;
    constexpr double eighth = beat / 2;
    constexpr double bar = 4 * beat;
    constexpr int bars = 16;
    const std::size_t loopSamples = std::size_t(bars) * 73500;

    // Note numbers: C4 = 60.
    const std::vector<std::vector<MelodyNote>> melody = {
        {{0, 2, 76}, {2, 2, 79}, {4, 2, 84}, {6, 1, 79}, {7, 1, 76}},  // C
        {{0, 3, 81}, {3, 1, 79}, {4, 2, 76}, {6, 2, 72}},              // Am
        {{0, 2, 77}, {2, 2, 81}, {4, 2, 84}, {6, 1, 81}, {7, 1, 77}},  // F
        {{0, 3, 79}, {3, 1, 77}, {4, 2, 74}, {6, 2, 71}},              // G
        {{0, 2, 76}, {2, 2, 79}, {4, 2, 84}, {6, 1, 79}, {7, 1, 76}},  // C
        {{0, 3, 81}, {3, 1, 83}, {4, 2, 84}, {6, 2, 81}},              // Am
        {{0, 2, 74}, {2, 2, 77}, {4, 2, 81}, {6, 2, 77}},              // Dm
        {{0, 2, 79}, {2, 2, 83}, {4, 4, 86}},                          // G
        {{0, 1, 81}, {1, 1, 84}, {2, 2, 81}, {4, 1, 77}, {5, 1, 81}, {6, 2, 84}},  // F
        {{0, 1, 83}, {1, 1, 86}, {2, 2, 83}, {4, 1, 79}, {5, 1, 83}, {6, 2, 86}},  // G
        {{0, 2, 88}, {2, 2, 86}, {4, 2, 83}, {6, 2, 79}},                          // Em
        {{0, 3, 81}, {3, 1, 83}, {4, 4, 84}},                                      // Am
        {{0, 2, 84}, {2, 1, 81}, {3, 1, 84}, {4, 2, 89}, {6, 2, 84}},              // F
        {{0, 2, 83}, {2, 1, 79}, {3, 1, 83}, {4, 2, 86}, {6, 2, 83}},              // G
        {{0, 2, 84}, {2, 2, 79}, {4, 2, 76}, {6, 2, 79}},                          // C
        {{0, 2, 74}, {2, 2, 79}, {4, 2, 83}, {6, 1, 86}, {7, 1, 83}},              // G, back to the top
    };
    // Root of each bar's chord and its triad (as note numbers around C4).
    const int roots[bars] = {48, 45, 41, 43, 48, 45, 50, 43, 41, 43, 40, 45, 41, 43, 48, 43};
    const std::vector<std::vector<int>> chords = {{60, 64, 67}, {57, 60, 64}, {57, 60, 65}, {59, 62, 67},
                                                  {60, 64, 67}, {57, 60, 64}, {57, 62, 65}, {59, 62, 67},
                                                  {57, 60, 65}, {59, 62, 67}, {59, 64, 67}, {57, 60, 64},
                                                  {57, 60, 65}, {59, 62, 67}, {60, 64, 67}, {59, 62, 67}};

    // Voices are rendered on a longer scratch track, then folded onto the ring.
    Mono lead(loopSamples + samplesFor(2)), harmony(lead.size()), bass(lead.size()), drums(lead.size());
    Remembered notes;
    auto addTuneNote = [&](Mono& out, double start, double length, int note, double volume, double duty) {
        addAt(out, start, notes({length, double(note), volume, duty},
                                [&] { return noteSamples(length, note, volume, duty, 0.55, 0.12); }));
    };
    for (int b = 0; b < bars; ++b) {
        const double barStart = b * bar;
        for (const MelodyNote& n : melody[b])
            addTuneNote(lead, barStart + n.eighth * eighth, n.eighths * eighth * 0.92, n.note, 0.5, 0.25);
        // Soft off-beat chord stabs.
        for (int e = 1; e < 8; e += 2)
            for (const int note : chords[b])
                addTuneNote(harmony, barStart + e * eighth, eighth * 0.5, note, 0.09, 0.5);
        // Bass: root, fifth, octave, fifth on the beats, short and round.
        const int pattern[] = {0, 7, 12, 7};
        for (int q = 0; q < 4; ++q) {
            const double hertz = midiHertz(roots[b] - 12 + pattern[q]);
            const double length = beat * 0.8;
            addAt(bass, barStart + q * beat, notes({hertz}, [&] {
                Mono samples(samplesFor(length));
                for (std::size_t k = 0; k < samples.size(); ++k) {
                    const double t = double(k) / rate;
                    samples[k] = 0.6 * envelope(t, length, 0.008, 0.2, 0.6, 0.05) * triangle(hertz * t, hertz);
                }
                return samples;
            }));
        }
    }
    // Drums: kick on beats one and three, a soft snare on two and four, a light hi-hat on every eighth.
    Noise noise(3);
    for (std::size_t beatIndex = 0; beatIndex < std::size_t(bars) * 4; ++beatIndex) {
        const std::size_t first = samplesFor(double(beatIndex) * beat);
        if (beatIndex % 2 == 0) {
            double phase = 0;
            for (std::size_t k = 0; k < samplesFor(0.16); ++k) {
                const double t = double(k) / rate;
                phase += (48 + 90 * std::exp(-t / 0.02)) / rate;
                drums[first + k] += 0.7 * smoothRamp(t / 0.002) * smoothRamp((0.16 - t) / 0.03) *
                                    std::exp(-t / 0.06) * std::sin(2 * pi * phase);
            }
        } else {
            Svf snare;
            for (std::size_t k = 0; k < samplesFor(0.14); ++k) {
                const double t = double(k) / rate;
                const double body = std::sin(2 * pi * 190 * t) * std::exp(-t / 0.03);
                const double rattle = snare.step(noise.next(), 1800, 1.6) * std::exp(-t / 0.045);
                drums[first + k] += 0.25 * smoothRamp(t / 0.002) * smoothRamp((0.14 - t) / 0.03) * (body + rattle);
            }
        }
        for (int half = 0; half < 2; ++half) {
            Svf hat;
            const std::size_t start = first + samplesFor(half * eighth);
            const double volume = half == 1 ? 0.06 : 0.035;
            for (std::size_t k = 0; k < samplesFor(0.05); ++k) {
                const double t = double(k) / rate;
                hat.step(noise.next(), 7000, 0.7);
                drums[start + k] += volume * smoothRamp(t / 0.001) * smoothRamp((0.05 - t) / 0.01) *
                                    std::exp(-t / 0.012) * hat.highPass;
            }
        }
    }
    // Mix to stereo with a little width (lead slightly left, harmony slightly right), then fold the tail.
    std::vector<Mono> stereo(2, Mono(loopSamples, 0.0));
    for (std::size_t i = 0; i < lead.size(); ++i) {
        const double centre = bass[i] + drums[i];
        const double left = centre + 0.58 * lead[i] + 0.42 * harmony[i];
        const double right = centre + 0.42 * lead[i] + 0.58 * harmony[i];
        stereo[0][i % loopSamples] += left;
        stereo[1][i % loopSamples] += right;
    }
    double peak = 0;
    for (const Mono& channel : stereo)
        for (const double s : channel)
            peak = std::max(peak, std::abs(s));
    // Quieter than the effects, which play on top of it.
    const double gain = std::pow(10, -9.0 / 20) / peak;
    for (Mono& channel : stereo)
        for (double& s : channel)
            s *= gain;
    return stereo;
}

}  // namespace

std::vector<std::uint8_t> soundWav(std::string_view fileName)
{
    struct Maker {
        std::string_view name;
        std::function<std::vector<Mono>()> make;
    };
    const Maker makers[] = {
        {"モグラ.wav", [] { return std::vector<Mono>{molePop()}; }},
        {"打音.wav", [] { return std::vector<Mono>{hitBonk()}; }},
        {"空振.wav", [] { return std::vector<Mono>{missWhoosh()}; }},
        {"TIMEOUT.wav", [] { return std::vector<Mono>{timeUpJingle()}; }},
        {"その他.wav", [] { return std::vector<Mono>{aboutChime()}; }},
        {"禁止.wav", [] { return std::vector<Mono>{forbiddenBuzz()}; }},
        {"BGM.wav", backgroundTune},
    };
    for (const Maker& maker : makers)
        if (maker.name == fileName)
            return wavBytes(maker.make());
    return {};
}
