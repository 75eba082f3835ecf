// velmora-aliasing: how much of the saturation folds back, at each oversampling factor and
// beside the ideal. A sine at -6 dBFS goes through the engine at 44.1 kHz for two seconds;
// the next 65536 frames are analysed with a Kaiser window (beta 25, side lobes far below
// anything measured). Everything within 60 Hz of a harmonic of the sine (the modulator's
// sidebands included) counts as that harmonic, everything else below the Nyquist frequency,
// apart from DC, as inharmonic: the table gives the inharmonic power over the fundamental's.
// The ideal at N is the engine itself run at N times the rate on the sine made at that rate,
// brought down to 44.1 kHz by sox's very-high-quality resampler (rate -v). The last columns
// give the largest difference between the harmonics (below 20 kHz, above -100 dB) of the
// factor and its ideal.
//
//   velmora-aliasing            prints the table in Markdown
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/oversampling.h"
#include "parameters/parameter_set.h"

namespace {

constexpr double hostRate = 44100.0;
constexpr int warmUpFrames = 2 * 44100;
constexpr int analysisFrames = 65536;
constexpr int totalFrames = warmUpFrames + analysisFrames;
constexpr double harmonicHalfWidth = 60.0;  // Hz
constexpr double harmonicCompareLimit = 0.45 * hostRate;
constexpr double frequencies[] = {1000.0, 2500.0, 5000.0, 10000.0, 15000.0};
constexpr float drives[] = {0.4f, 0.7f, 1.0f};
constexpr int factors[] = {1, 2, 4, 8};

BlockSettings settingsFor(float drive) {
    BlockSettings s{};
    for (int i = 0; i < parameterCount; ++i) s.parameters[i] = parameterDefaults[i];
    s.parameters[parameterDrive] = drive;
    s.hostBypass = false;
    return s;
}

std::vector<float> sine(double frequency, double rate, int frames) {
    std::vector<float> x(frames);
    for (int i = 0; i < frames; ++i)
        x[i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
    return x;
}

// The left output of the engine, both inputs fed the same signal, in blocks of 512.
std::vector<double> throughEngine(const std::vector<float>& x, double rate, int factor, float drive) {
    auto oversampler = std::make_unique<Oversampler>();
    auto engine = std::make_unique<EngineState>();
    oversamplerSetup(*oversampler);
    setOversamplingFactor(*oversampler, *engine, factor, rate);
    const BlockSettings settings = settingsFor(drive);
    std::vector<float> left(x.size()), right(x.size());
    for (size_t at = 0; at < x.size(); at += 512) {
        const int frames = static_cast<int>(std::min<size_t>(512, x.size() - at));
        const float* in[2] = {x.data() + at, x.data() + at};
        float* out[2] = {left.data() + at, right.data() + at};
        processOversampledBlock(*oversampler, *engine, rate, settings, in, out, frames);
    }
    return {left.begin(), left.end()};
}

// The engine at factor × 44.1 kHz on the sine made at that rate, taken down by sox.
std::vector<double> ideal(double frequency, int factor, float drive) {
    const double rate = hostRate * factor;
    const std::vector<double> high = throughEngine(sine(frequency, rate, totalFrames * factor), rate, 1, drive);
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string stem = (dir / ("velmora-aliasing-" + std::to_string(getpid()))).string();
    {
        std::ofstream out(stem + ".in", std::ios::binary);
        out.write(reinterpret_cast<const char*>(high.data()), static_cast<std::streamsize>(high.size() * sizeof(double)));
    }
    char command[1024];
    std::snprintf(command, sizeof command,
                  "sox -t raw -r %.0f -e floating-point -b 64 -c 1 '%s.in' "
                  "-t raw -e floating-point -b 64 '%s.out' rate -v %.0f",
                  rate, stem.c_str(), stem.c_str(), hostRate);
    if (std::system(command) != 0) {
        std::fprintf(stderr, "velmora-aliasing: sox failed (%s)\n", command);
        std::exit(1);
    }
    std::vector<double> low(totalFrames, 0.0);
    std::ifstream in(stem + ".out", std::ios::binary);
    in.read(reinterpret_cast<char*>(low.data()), static_cast<std::streamsize>(low.size() * sizeof(double)));
    std::filesystem::remove(stem + ".in");
    std::filesystem::remove(stem + ".out");
    return low;
}

struct Spectrum {
    double inharmonicDb;           // inharmonic power over the fundamental's
    std::vector<double> harmonicsDb;  // harmonic h (index h − 1) over the fundamental, below 20 kHz
};

Spectrum analyse(const std::vector<double>& y, double frequency) {
    std::vector<double> windowed(analysisFrames);
    for (int i = 0; i < analysisFrames; ++i)
        windowed[i] = y[warmUpFrames + i] * kaiserWindow(2.0 * i / (analysisFrames - 1) - 1.0, 25.0);
    const int bins = analysisFrames / 2 + 1;
    fftw_complex* spectrum = fftw_alloc_complex(bins);
    fftw_plan plan = fftw_plan_dft_r2c_1d(analysisFrames, windowed.data(), spectrum, FFTW_ESTIMATE);
    fftw_execute(plan);
    const double binWidth = hostRate / analysisFrames;
    const int harmonicCount = static_cast<int>(hostRate / 2.0 / frequency);
    std::vector<double> harmonic(harmonicCount + 1, 0.0);
    double inharmonic = 0.0;
    for (int k = 0; k < bins; ++k) {
        const double power = spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
        const double f = k * binWidth;
        const int nearest = static_cast<int>(std::lround(f / frequency));
        if (std::fabs(f - nearest * frequency) <= harmonicHalfWidth && nearest <= harmonicCount)
            harmonic[nearest] += power;  // harmonic 0 is DC, left out
        else
            inharmonic += power;
    }
    fftw_destroy_plan(plan);
    fftw_free(spectrum);
    Spectrum s{10.0 * std::log10(inharmonic / harmonic[1]), {}};
    for (int h = 1; h <= harmonicCount && h * frequency < harmonicCompareLimit; ++h)
        s.harmonicsDb.push_back(10.0 * std::log10(harmonic[h] / harmonic[1]));
    return s;
}

// The largest difference between two sets of harmonic levels, over those above -100 dB.
double harmonicDeviation(const Spectrum& a, const Spectrum& b) {
    double worst = 0.0;
    for (size_t h = 1; h < a.harmonicsDb.size(); ++h)
        if (a.harmonicsDb[h] > -100.0 || b.harmonicsDb[h] > -100.0)
            worst = std::max(worst, std::fabs(a.harmonicsDb[h] - b.harmonicsDb[h]));
    return worst;
}

}  // namespace

int main() {
    std::printf("| sine | drive | 1x | 2x | 2x ideal | 4x | 4x ideal | 8x | 8x ideal | harmonics 4x / 8x vs ideal |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    bool met = true;
    for (const double frequency : frequencies)
        for (const float drive : drives) {
            std::printf("| %.1f kHz | %.0f %% |", frequency / 1000.0, drive * 100.0);
            double deviation[2] = {};
            for (const int factor : factors) {
                const Spectrum own = analyse(throughEngine(sine(frequency, hostRate, totalFrames), hostRate, factor, drive), frequency);
                std::printf(" %.1f |", own.inharmonicDb);
                if (factor == 1) continue;
                const Spectrum best = analyse(ideal(frequency, factor, drive), frequency);
                std::printf(" %.1f |", best.inharmonicDb);
                if (factor >= 4) {
                    deviation[factor / 8] = harmonicDeviation(own, best);
                    met = met && (own.inharmonicDb <= best.inharmonicDb + 6.0 || own.inharmonicDb < -100.0) &&
                          deviation[factor / 8] <= 0.5;
                }
            }
            std::printf(" %.2f / %.2f dB |\n", deviation[0], deviation[1]);
            std::fflush(stdout);
        }
    std::printf("\nInharmonic power over the fundamental in dB. 4x and 8x within 6 dB of the ideal or "
                "below -100 dB, harmonics within 0.5 dB: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
