#include "engine/filter_section.h"

#include "engine/circle.h"

namespace {

struct SineCosine {
    double sine;
    double cosine;
};

SineCosine sineCosine(double angle) { return {std::sin(angle), std::cos(angle)}; }

SineCosine designAngle(double f, double fs) {
    const double limited = limitedDesignFrequency(f, fs);
    const double w0 = (circle::twoPi * limited) / fs;
    return sineCosine(w0);
}

// Deliberately not the correctly rounded sqrt(2): this literal is part of the sound.
constexpr double butterworthDivisor = 1.414213562373095;
constexpr double peakingBandwidthDivisor = 1.7;
constexpr double peakingGainFactor = 0.8944271909999159;  // sqrt(0.8)

}  // namespace

double limitedDesignFrequency(double f, double fs) {
    const double limit = 0.49 * fs;
    double limited = f < limit ? f : limit;
    if (!(limited > 10.0)) limited = 10.0;
    return limited;
}

namespace {

// The second-order Butterworth pair: low-pass and high-pass differ only in the sign of the
// cosine in the numerator and of b1.
void designButterworth(FilterSection& section, double f, double fs, bool highPass) {
    const SineCosine sc = designAngle(f, fs);
    const double alpha = sc.sine / butterworthDivisor;
    const double a0 = alpha + 1.0;
    const double numerator = highPass ? 1.0 + sc.cosine : 1.0 - sc.cosine;
    section.b0 = (numerator * 0.5) / a0;
    section.b1 = (highPass ? -numerator : numerator) / a0;
    section.b2 = section.b0;
    section.a1 = (-2.0 * sc.cosine) / a0;
    section.a2 = (1.0 - alpha) / a0;
}

}  // namespace

void designLowPass(FilterSection& section, double f, double fs) {
    designButterworth(section, f, fs, false);
}

void designHighPass(FilterSection& section, double f, double fs) {
    designButterworth(section, f, fs, true);
}

void designPeaking(FilterSection& section, double f, double fs) {
    const SineCosine sc = designAngle(f, fs);
    const double alpha = sc.sine / peakingBandwidthDivisor;
    const double alphaTimesA = alpha * peakingGainFactor;
    const double alphaOverA = alpha / peakingGainFactor;
    const double a0 = alphaOverA + 1.0;
    section.b0 = (alphaTimesA + 1.0) / a0;
    section.b1 = (-2.0 * sc.cosine) / a0;
    section.b2 = (1.0 - alphaTimesA) / a0;
    section.a1 = (-2.0 * sc.cosine) / a0;
    section.a2 = (1.0 - alphaOverA) / a0;
}

void designCrossover(FilterSection (&lowPair)[2], FilterSection (&highPair)[2], double f,
                     double fs) {
    designLowPass(lowPair[0], f, fs);
    designLowPass(lowPair[1], f, fs);
    designHighPass(highPair[0], f, fs);
    designHighPass(highPair[1], f, fs);
}
