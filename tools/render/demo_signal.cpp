#include "tools/render/demo_signal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double beatSeconds = 0.5;  // 120 beats per minute
constexpr int beatsPerBar = 4;
constexpr int bars = 4;
constexpr double tailSeconds = 1.0;
constexpr double peakLevel = 0.7079457843841379;  // -3 dBFS

struct Chord {
    int bassNote;
    std::array<int, 3> voices;
};
// A minor, F, C, G as MIDI notes.
constexpr std::array<Chord, bars> progression = {{
    {33, {57, 60, 64}},
    {29, {53, 57, 60}},
    {36, {55, 60, 64}},
    {31, {55, 59, 62}},
}};

double noteFrequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

// A deterministic white noise source in -1..1.
struct Noise {
    uint32_t state = 0x9E3779B9u;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }
};

// Band-limited sawtooth: a naive ramp with the step smoothed over one sample each side.
struct Saw {
    double phase = 0.0;
    double next(double increment) {
        double value = 2.0 * phase - 1.0;
        if (phase < increment) {
            double t = phase / increment;
            value -= t + t - t * t - 1.0;
        } else if (phase > 1.0 - increment) {
            double t = (phase - 1.0) / increment;
            value -= t * t + t + t + 1.0;
        }
        phase += increment;
        if (phase >= 1.0) phase -= 1.0;
        return value;
    }
};

struct OnePoleLowpass {
    double coefficient;
    double state = 0.0;
    OnePoleLowpass(double cutoff, double rate) : coefficient(1.0 - std::exp(-2.0 * pi * cutoff / rate)) {}
    double next(double input) { return state += coefficient * (input - state); }
};

struct StereoBuffer {
    std::vector<double> left, right;
    void add(size_t frame, double value, double pan) {  // pan -1 left .. 1 right
        if (frame >= left.size()) return;
        left[frame] += value * std::sqrt(0.5 * (1.0 - pan));
        right[frame] += value * std::sqrt(0.5 * (1.0 + pan));
    }
};

void addKick(StereoBuffer& out, size_t start, double rate, Noise& noise) {
    double phase = 0.0;
    size_t length = static_cast<size_t>(0.4 * rate);
    for (size_t i = 0; i < length; ++i) {
        double t = i / rate;
        double frequency = 45.0 + 110.0 * std::exp(-t / 0.04);
        phase += 2.0 * pi * frequency / rate;
        double click = t < 0.002 ? 0.5 * noise.next() : 0.0;
        out.add(start + i, 0.95 * std::sin(phase) * std::exp(-t / 0.13) + click, 0.0);
    }
}

void addSnare(StereoBuffer& out, size_t start, double rate, Noise& noise) {
    size_t length = static_cast<size_t>(0.3 * rate);
    double previous = 0.0;
    for (size_t i = 0; i < length; ++i) {
        double t = i / rate;
        double white = noise.next();
        double bright = white - 0.5 * previous;  // tilt the noise towards the top
        previous = white;
        double body = std::sin(2.0 * pi * 190.0 * t) * std::exp(-t / 0.04);
        out.add(start + i, 0.45 * bright * std::exp(-t / 0.07) + 0.4 * body, -0.1);
    }
}

void addHat(StereoBuffer& out, size_t start, double rate, Noise& noise) {
    size_t length = static_cast<size_t>(0.08 * rate);
    double previous = 0.0;
    for (size_t i = 0; i < length; ++i) {
        double t = i / rate;
        double white = noise.next();
        out.add(start + i, 0.18 * (white - previous) * std::exp(-t / 0.018), 0.35);
        previous = white;
    }
}

void addBassNote(StereoBuffer& out, size_t start, size_t length, int note, double rate) {
    Saw saw;
    OnePoleLowpass tone(420.0, rate);
    double increment = noteFrequency(note) / rate;
    double subPhase = 0.0;
    for (size_t i = 0; i < length; ++i) {
        double t = i / rate;
        double envelope = std::min(1.0, t / 0.003) * std::exp(-t / 0.22);
        double release = std::min(1.0, (length - i) / (0.005 * rate));
        subPhase += 2.0 * pi * increment;
        double value = 0.5 * tone.next(saw.next(increment)) + 0.45 * std::sin(subPhase);
        out.add(start + i, 0.8 * value * envelope * release, 0.0);
    }
}

void addChord(StereoBuffer& out, size_t start, size_t length, const Chord& chord, double rate) {
    for (size_t v = 0; v < chord.voices.size(); ++v) {
        double frequency = noteFrequency(chord.voices[v]);
        for (double detune : {-0.004, 0.004}) {
            Saw saw;
            saw.phase = 0.31 * static_cast<double>(v) + (detune > 0 ? 0.5 : 0.0);
            OnePoleLowpass tone(2400.0, rate);
            double increment = frequency * (1.0 + detune) / rate;
            for (size_t i = 0; i < length; ++i) {
                double t = i / rate;
                double envelope = std::min(1.0, t / 0.02) * (0.75 + 0.25 * std::exp(-t / 0.3));
                double release = std::min(1.0, (length - i) / (0.15 * rate));
                double pan = detune < 0 ? -0.6 : 0.6;
                out.add(start + i, 0.09 * tone.next(saw.next(increment)) * envelope * release, pan);
            }
        }
    }
}

}  // namespace

std::vector<float> synthesizeDemo(int sampleRate) {
    const double rate = sampleRate;
    const size_t beat = static_cast<size_t>(beatSeconds * rate);
    const size_t totalBeats = static_cast<size_t>(bars) * beatsPerBar;
    const size_t frames = totalBeats * beat + static_cast<size_t>(tailSeconds * rate);

    StereoBuffer mix{std::vector<double>(frames), std::vector<double>(frames)};
    Noise noise;
    for (size_t b = 0; b < totalBeats; ++b) {
        const Chord& chord = progression[b / beatsPerBar];
        size_t start = b * beat;
        addKick(mix, start, rate, noise);
        if (b % 2 == 1) addSnare(mix, start, rate, noise);
        addHat(mix, start + beat / 2, rate, noise);
        // Eighth notes: root, root an octave up on the off-beat.
        addBassNote(mix, start, beat / 2, chord.bassNote, rate);
        addBassNote(mix, start + beat / 2, beat / 2, chord.bassNote + (b % 4 == 3 ? 7 : 12), rate);
        if (b % beatsPerBar == 0) addChord(mix, start, beat * beatsPerBar, chord, rate);
    }

    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
    const double gain = peak > 0.0 ? peakLevel / peak : 0.0;
    std::vector<float> interleaved(frames * demoChannels);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = static_cast<float>(mix.left[i] * gain);
        interleaved[2 * i + 1] = static_cast<float>(mix.right[i] * gain);
    }
    return interleaved;
}
